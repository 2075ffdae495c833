#include "net/line/line_socket.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/error/winsock_errors.h"

namespace mv {

namespace {

// Clears a flag when the scope ends, unless the object that owns it is gone.
class FlagScope {
  public:
    FlagScope(bool& flag, const GuardList::Scope& guard) : flag_(flag), guard_(guard) {
        flag_ = true;
    }
    ~FlagScope() {
        if (!guard_.Destroyed()) {
            flag_ = false;
        }
    }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    bool& flag_;
    const GuardList::Scope& guard_;
};

// Above this an emptied buffer gives its memory back.
constexpr size_t kKeptCapacity = size_t{64} * 1024;

}  // namespace

_TCustomLineSocket::_TCustomLineSocket(MessageLoop& loop) : _TCustomSocksSocket(loop) {}

// --- Properties -------------------------------------------------------------

void _TCustomLineSocket::SetLineMode(bool value) {
    if (value == lineMode_) {
        return;
    }
    lineMode_ = value;
    // What is left of a line stays at the front of the buffer, in order; the
    // held bytes are offered again under the new mode.
    pendingLine_ = 0;
    searchFrom_ = 0;
    if (Held() > 0) {
        PostRescan();
    }
}

void _TCustomLineSocket::SetLineEnd(const std::string& value) {
    if (value == lineEnd_) {
        return;
    }
    lineEnd_ = value;
    searchFrom_ = 0;
    if (lineMode_ && pendingLine_ == 0 && Held() > 0) {
        PostRescan();
    }
}

void _TCustomLineSocket::PostRescan() {
    if (rescanPosted_) {
        return;
    }
    rescanPosted_ = true;
    TSocketMessage msg;
    msg.kind = TSocketMessage::kRescan;
    msg.handle = HSocket();
    PostMessage(std::move(msg));
}

void _TCustomLineSocket::HandleMessage(TSocketMessage& msg) {
    if (msg.kind == TSocketMessage::kSocketEvent && msg.event == kEvClose && !OnSessionClosed &&
        msg.handle == HSocket() && msg.watch == ConnectionId() && HSocket() != INVALID_SOCKET &&
        state() != wsConnecting) {
        // Without a closed handler the layer below raises no closed event:
        // the rest is delivered here, after the data still buffered.
        GuardList::Scope guard(guards_);
        ReadLoop(0);
        if (guard.Destroyed() || msg.watch != ConnectionId() || !DeliverRest()) {
            return;
        }
    }
    if (msg.kind != TSocketMessage::kRescan) {
        _TCustomSocksSocket::HandleMessage(msg);
        return;
    }
    rescanPosted_ = false;
    // Under a running delivery the outer loop goes on with the held bytes.
    if (Held() == 0 || delivering_) {
        return;
    }
    if (!Splitting()) {
        DrainHeld();
        return;
    }
    GuardList::Scope guard(guards_);
    DeliverLines();
    if (!guard.Destroyed() && !Splitting() && Held() > 0) {
        PostRescan();
    }
}

void _TCustomLineSocket::ResetSettings() {
    _TCustomSocksSocket::ResetSettings();
    FreeBuffer();  // nothing of one connection reaches the next
}

void _TCustomLineSocket::FreeBuffer() {
    buffer_ = std::string();
    head_ = pendingLine_ = searchFrom_ = 0;
}

void _TCustomLineSocket::Consume(size_t n) {
    head_ += n;
    searchFrom_ = 0;
    if (head_ < buffer_.size()) {
        return;
    }
    if (buffer_.capacity() > kKeptCapacity) {
        buffer_ = std::string();
    } else {
        buffer_.clear();
    }
    head_ = 0;
}

// --- Receiving --------------------------------------------------------------

bool _TCustomLineSocket::FireDataAvailable(uint16_t error) {
    if (SocksHandshaking() || !Splitting()) {
        return _TCustomSocksSocket::FireDataAvailable(error);
    }
    GuardList::Scope guard(guards_);
    Fill();
    // A handler waiting inside a line handler: the outer delivery goes on.
    if (delivering_) {
        return true;
    }
    DeliverLines();
    if (guard.Destroyed()) {
        return true;
    }
    if (!Splitting()) {
        if (Held() > 0) {
            PostRescan();  // a handler switched line mode off
        }
    } else if (pendingLine_ == 0 && Held() >= kMaxHeld) {
        LineTooLong();
    }
    return true;
}

void _TCustomLineSocket::Fill() {
    if (HSocket() == INVALID_SOCKET) {
        return;
    }
    const int waiting = _TCustomSocksSocket::GetRcvdCount();
    if (waiting <= 0) {
        return;
    }
    if (head_ > 0) {
        buffer_.erase(0, head_);
        head_ = 0;
    }
    const size_t held = buffer_.size();
    const size_t n = std::min(static_cast<size_t>(waiting), kMaxHeld - held);
    if (n == 0) {
        return;  // full of unread lines: the peer waits until they are read
    }
    if (buffer_.capacity() < held + n) {
        buffer_.reserve(std::min(kMaxHeld, std::max(held + n, 2 * buffer_.capacity())));
    }
    buffer_.resize(held + n);
    const int got = _TCustomSocksSocket::RecvRaw(buffer_.data() + held, static_cast<int>(n));
    buffer_.resize(held + static_cast<size_t>(std::max(got, 0)));
}

void _TCustomLineSocket::DeliverLines() {
    GuardList::Scope guard(guards_);
    FlagScope running(delivering_, guard);
    while (Splitting()) {
        if (pendingLine_ == 0) {
            const std::string_view held(HeldData(), Held());
            const size_t pos = held.find(lineEnd_, searchFrom_);
            if (pos == std::string_view::npos) {
                // The next search starts where a line end split over two
                // reads can begin.
                searchFrom_ =
                    held.size() >= lineEnd_.size() ? held.size() - lineEnd_.size() + 1 : 0;
                return;
            }
            pendingLine_ = pos + lineEnd_.size();
        }
        const bool progressed = DeliverPending();
        if (guard.Destroyed() || !progressed) {
            return;
        }
    }
}

bool _TCustomLineSocket::DeliverPending() {
    GuardList::Scope guard(guards_);
    const size_t pendingBefore = pendingLine_;
    const size_t heldBefore = Held();
    const bool handled = _TCustomSocksSocket::FireDataAvailable(0);
    if (guard.Destroyed()) {
        return false;
    }
    if (!handled && Splitting() && pendingLine_ > 0) {
        // Without a handler a line is dropped, as unread data is.
        const size_t n = pendingLine_;
        pendingLine_ = 0;
        Consume(n);
        return true;
    }
    return pendingLine_ != pendingBefore || Held() != heldBefore;
}

void _TCustomLineSocket::DrainHeld() {
    GuardList::Scope guard(guards_);
    FlagScope running(delivering_, guard);
    while (!Splitting() && Held() > 0) {
        const size_t before = Held();
        const bool handled = _TCustomSocksSocket::FireDataAvailable(0);
        if (guard.Destroyed()) {
            return;
        }
        if (!handled) {
            Consume(Held());
            return;
        }
        if (Held() == before) {
            return;  // a pass that read nothing ends it
        }
    }
}

void _TCustomLineSocket::LineTooLong() {
    GuardList::Scope guard(guards_);
    if (OnLineTooLong) {
        OnLineTooLong(this);
        if (guard.Destroyed()) {
            return;
        }
    }
    if (!Splitting()) {
        if (Held() > 0) {
            PostRescan();  // the handler reads the rest raw
        }
        return;
    }
    FreeBuffer();
    CloseConnection(true, wsa::kMessageSize);
}

int _TCustomLineSocket::RecvRaw(void* buffer, int bufferSize) {
    if (bufferSize <= 0 || Held() == 0) {
        return _TCustomSocksSocket::RecvRaw(buffer, bufferSize);
    }
    size_t n = 0;
    if (!Splitting()) {
        n = std::min(Held(), static_cast<size_t>(bufferSize));
    } else if (pendingLine_ > 0) {
        n = std::min(pendingLine_, static_cast<size_t>(bufferSize));
        pendingLine_ -= n;
    } else {
        return 0;  // no complete line yet
    }
    std::memcpy(buffer, HeldData(), n);
    Consume(n);
    if (!delivering_) {
        // Read outside a delivery: the reading goes on, with what is held first.
        Notifier().Received();
        if (Splitting() && Held() > 0 && pendingLine_ == 0) {
            PostRescan();
        }
    }
    return static_cast<int>(n);
}

int _TCustomLineSocket::GetRcvdCount() {
    if (Splitting()) {
        if (pendingLine_ > 0) {
            return static_cast<int>(pendingLine_);
        }
        if (Held() > 0) {
            return 0;
        }
    } else if (Held() > 0) {
        return static_cast<int>(Held());
    }
    return _TCustomSocksSocket::GetRcvdCount();
}

// --- Closing ----------------------------------------------------------------

bool _TCustomLineSocket::DeliverRest() {
    GuardList::Scope guard(guards_);
    // A handler that closes from inside a delivery wants nothing more.
    if (delivering_ || Held() == 0) {
        return true;
    }
    if (!Splitting()) {
        DrainHeld();
        return !guard.Destroyed();
    }
    DeliverLines();
    if (guard.Destroyed()) {
        return false;
    }
    if (Splitting() && Held() > 0) {
        // The unterminated last line.
        FlagScope running(delivering_, guard);
        pendingLine_ = Held();
        while (Splitting() && pendingLine_ > 0 && DeliverPending()) {
        }
    }
    return !guard.Destroyed();
}

void _TCustomLineSocket::FireSessionClosed(uint16_t error) {
    if (!DeliverRest()) {
        return;
    }
    FreeBuffer();
    _TCustomSocksSocket::FireSessionClosed(error);
}

}  // namespace mv
