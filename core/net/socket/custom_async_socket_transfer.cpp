// Sending, receiving and closing.
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "net/socket/custom_async_socket.h"
#include "platform/error/winsock_errors.h"

namespace mv {

// --- Sending ----------------------------------------------------------------

int _TCustomAsyncSocket::Send(const void* data, int len) {
    if (state() != wsConnected) {
        SetPlatformError(wsa::kNotConn);
        SocketError("Send");
        return -1;
    }
    allSent_ = false;
    const int queued = len <= 0 ? 0 : QueueBytes(data, len);
    GuardList::Scope guard(guards_);
    TryToSend();
    if (guard.Destroyed()) return queued;
    if (allSent_ && OnDataSent) PostDataSent();
    return queued;
}

// OnDataSent comes later from the loop, never inside Send. Without a handler
// nothing is posted: the notice would find every byte sent and tell nobody.
// It carries only what names the connection: a whole message would be built,
// moved and destroyed for every command sent.
void _TCustomAsyncSocket::PostDataSent() {
    loop_.Post([this, handle = HSocket(), watch = ConnectionId(), alive = token_.Weak()] {
        if (alive.expired()) return;
        TSocketMessage msg;
        msg.handle = handle;
        msg.watch = watch;
        msg.event = kEvWrite;
        Dispatch(msg);
    });
}

int _TCustomAsyncSocket::SendStr(const std::string& text) {
    return Send(text.data(), static_cast<int>(text.size()));
}

int _TCustomAsyncSocket::QueueBytes(const void* data, int len) {
    const auto* p = static_cast<const uint8_t*>(data);
    int left = len;
    if (sendQueue_.empty()) sendQueue_.emplace_back(chunkSize_);
    while (left > 0) {
        const int32_t n = sendQueue_.back().Write(p, left);
        p += n;
        left -= n;
        if (left > 0) sendQueue_.emplace_back(chunkSize_);
    }
    return len;
}

void _TCustomAsyncSocket::DiscardSendQueue() {
    // One emptied chunk stays for the next connection, as the last chunk of a
    // drained queue does: a session that opens connection after connection
    // would otherwise allocate it for every one.
    if (sendQueue_.size() > 1) sendQueue_.erase(sendQueue_.begin() + 1, sendQueue_.end());
    if (!sendQueue_.empty()) sendQueue_.front().Remove(sendQueue_.front().Unread());
    allSent_ = true;
}

void _TCustomAsyncSocket::TryToSend() {
    if (HSocket() == INVALID_SOCKET || sendQueue_.empty()) return;
    for (;;) {
        _TBuffer& chunk = sendQueue_.front();
        int32_t len = 0;
        const uint8_t* p = chunk.Peek(len);
        if (p == nullptr) {
            if (sendQueue_.size() > 1) {
                sendQueue_.pop_front();
                continue;
            }
            allSent_ = true;  // the emptied last chunk stays for reuse
            return;
        }
        const int sent = SendRaw(p, len);
        if (sent >= 0 && sent < len) {
            // The network took only part of it: the rest goes on the next
            // writable notification, which must be asked for.
            chunk.Remove(sent);
            Notifier().SendWouldBlock();
            return;
        }
        if (sent > 0) {
            chunk.Remove(sent);
            continue;
        }
        const int err = lastError_;
        if (err == wsa::kWouldBlock) return;
        if (err == wsa::kInvalidArgument || err == wsa::kNotSocket || err == wsa::kConnReset ||
            err == wsa::kNotConn) {
            closeNotified_ = true;
            GuardList::Scope guard(guards_);
            Close();
            if (guard.Destroyed()) return;
            FireSessionClosed(static_cast<uint16_t>(err));
            return;
        }
        SetPlatformError(err);
        SocketError("TryToSend failed");
        return;
    }
}

int _TCustomAsyncSocket::SendRaw(const void* data, int len) {
    int flags = MSG_NOSIGNAL | (sendFlags_ == 1 ? MSG_OOB : 0);
    ssize_t n;
    if (socketType_ == 2) {
        n = sendto(HSocket(), data, static_cast<size_t>(len), flags, sin_.Get(), sin_.Size());
    } else {
        n = send(HSocket(), data, static_cast<size_t>(len), flags);
    }
    if (n < 0) {
        lastError_ = LastWsaError();
        if (lastError_ == wsa::kWouldBlock) Notifier().SendWouldBlock();
        return -1;
    }
    return static_cast<int>(n);
}

int _TCustomAsyncSocket::SendTo(const sockaddr* dest, int destLen, const void* data, int len) {
    const ssize_t n = sendto(HSocket(), data, static_cast<size_t>(len < 0 ? 0 : len),
                             MSG_NOSIGNAL | (sendFlags_ == 1 ? MSG_OOB : 0), dest,
                             static_cast<socklen_t>(destLen));
    if (n < 0) {
        lastError_ = LastWsaError();
        if (lastError_ == wsa::kWouldBlock) Notifier().SendWouldBlock();
        return -1;
    }
    return static_cast<int>(n);
}

void _TCustomAsyncSocket::Flush() {
    GuardList::Scope guard(guards_);
    while (HSocket() != INVALID_SOCKET) {
        TryToSend();
        if (guard.Destroyed() || allSent_) return;
        // Wait for the next writable notification (or anything else).
        Loop().ProcessMessages(true);
        if (guard.Destroyed()) return;
    }
}

// --- Receiving --------------------------------------------------------------

int _TCustomAsyncSocket::RecvRaw(void* buffer, int bufferSize) {
    if (HSocket() == INVALID_SOCKET) {
        lastError_ = wsa::kNotSocket;
        return -1;
    }
    const size_t wanted = static_cast<size_t>(bufferSize < 0 ? 0 : bufferSize);
    // After the end of a stream the kernel only answers 0 again: the read
    // that offers what was buffered before the close need not ask it.
    const bool ended = socketType_ == 1 && wanted > 0 && Notifier().PeerClosed();
    const ssize_t n = ended ? 0 : recv(HSocket(), buffer, wanted, MSG_DONTWAIT);
    const int err = n < 0 ? LastWsaError() : 0;
    // A stream receive that got less than it asked for emptied what was
    // waiting: the read loop need not ask the kernel again.
    streamDrained_ = n >= 0 && n < bufferSize;
    Notifier().Received(bufferSize, static_cast<int>(n), err);
    if (n < 0) {
        lastError_ = err;
        return -1;
    }
    return static_cast<int>(n);
}

int _TCustomAsyncSocket::Receive(void* buffer, int bufferSize) {
    const int n = RecvRaw(buffer, bufferSize);
    if (n > 0) readCount_ += n;
    return n;
}

int _TCustomAsyncSocket::RecvFromRaw(void* buffer, int bufferSize, sockaddr* from, int& fromLen) {
    if (HSocket() == INVALID_SOCKET) {
        lastError_ = wsa::kNotSocket;
        return -1;
    }
    Notifier().Received(0);
    auto len = static_cast<socklen_t>(fromLen);
    const ssize_t n =
        recvfrom(HSocket(), buffer, static_cast<size_t>(bufferSize < 0 ? 0 : bufferSize),
                 MSG_DONTWAIT, from, &len);
    fromLen = static_cast<int>(len);
    if (n < 0) {
        lastError_ = LastWsaError();
        return -1;
    }
    return static_cast<int>(n);
}

int _TCustomAsyncSocket::ReceiveFrom(void* buffer, int bufferSize, sockaddr* from, int& fromLen) {
    const int n = RecvFromRaw(buffer, bufferSize, from, fromLen);
    if (n > 0) readCount_ += n;
    return n;
}

std::string _TCustomAsyncSocket::ReceiveStr() {
    const int waiting = GetRcvdCount();
    if (waiting <= 0) return {};
    std::string text(static_cast<size_t>(waiting), '\0');
    const int n = Receive(text.data(), waiting);
    if (n <= 0) return {};
    text.resize(static_cast<size_t>(n));
    return text;
}

int _TCustomAsyncSocket::GetRcvdCount() {
    int count = 0;
    if (ioctl(HSocket(), FIONREAD, &count) != 0) {
        SetPlatformError(LastWsaError());
        SocketError("ioctlSocket");
        return -1;
    }
    return count;
}

void _TCustomAsyncSocket::DrainUntilClosed() {
    GuardList::Scope guard(guards_);
    while (HSocket() != INVALID_SOCKET && state() != wsClosed) {
        Loop().ProcessMessages(true);
        if (guard.Destroyed() || HSocket() == INVALID_SOCKET) return;
        int count = 0;
        if (ioctl(HSocket(), FIONREAD, &count) != 0) return;
        if (count > 0) {
            FireDataAvailable(0);
            if (guard.Destroyed()) return;
            continue;
        }
        char none;
        if (RecvRaw(&none, 0) < 0 && lastError_ != wsa::kWouldBlock) return;
    }
}

// --- Closing ----------------------------------------------------------------

void _TCustomAsyncSocket::CloseConnection(bool shutdownFirst, int error) {
    if (HSocket() == INVALID_SOCKET) {
        if (state() != wsClosed) {
            ChangeState(wsClosed);
            ResetSettings();
        }
        return;
    }
    if (state() == wsClosed) return;
    if (shutdownFirst) shutdown(HSocket(), SHUT_WR);
    const TSocket handle = HSocket();
    Notifier().Stop(true);
    // On this platform close() releases the descriptor even when it reports
    // an error, so it is never retried.
    close(handle);
    hSocket_ = INVALID_SOCKET;
    GuardList::Scope guard(guards_);
    ChangeState(wsClosed);
    if (guard.Destroyed()) return;
    if (!Destroying() && !closeNotified_ && OnSessionClosed) {
        closeNotified_ = true;
        FireSessionClosed(static_cast<uint16_t>(error));
        if (guard.Destroyed()) return;
    }
    // A handler that reconnected inside OnSessionClosed keeps its new socket.
    if (HSocket() != INVALID_SOCKET) return;
    try {
        ResetSettings();
    } catch (...) {
        // Resetting only assigns fields; the connection is closed and
        // reported already, which is what the caller needs.
    }
}

void _TCustomAsyncSocket::Close() {
    CloseConnection(true, 0);
}

void _TCustomAsyncSocket::Abort() {
    GuardList::Scope guard(guards_);
    CancelDnsLookup();
    if (guard.Destroyed()) return;
    DiscardSendQueue();
    if (state() == wsConnected && protoNumber_ == 6 && HSocket() != INVALID_SOCKET) {
        lingerOnOff_ = wsLingerOff;
        ApplyLinger();
    }
    CloseConnection(false, 0);
}

}  // namespace mv
