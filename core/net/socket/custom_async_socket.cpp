// Construction, properties, events and notification handling of the
// asynchronous socket. Resolving is in custom_async_socket_resolve.cpp,
// connecting and listening in custom_async_socket_connect.cpp, sending,
// receiving and closing in custom_async_socket_transfer.cpp, name lookup in
// custom_async_socket_lookup.cpp.
#include "net/socket/custom_async_socket.h"

#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "net/socket/socket_error_text.h"
#include "platform/error/winsock_errors.h"
#include "platform/resolver/host_resolver.h"
#include "platform/text/text_trim.h"

namespace mv {

namespace {

std::vector<std::string> SplitBlanks(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(std::move(word));
    return words;
}

}  // namespace

_TCustomAsyncSocket::_TCustomAsyncSocket(MessageLoop& loop)
    : loop_(loop), notifier_(loop, [this](int fd, unsigned event, int error) {
          OnNotification(fd, event, error);
      }) {
    try {
        network_layer::Acquire();
    } catch (const std::exception& e) {
        throw ESocketException(e.what());
    }
    _TCustomAsyncSocket::ResetSettings();
}

_TCustomAsyncSocket::~_TCustomAsyncSocket() {
    destroying_ = true;
    try {
        _TCustomAsyncSocket::CancelDnsLookup();
    } catch (...) {
        // A destructor cannot report it; the lookup's answer is dropped
        // either way, since the socket is gone.
    }
    if (hSocket_ != INVALID_SOCKET) {
        notifier_.Stop(true);
        close(hSocket_);
        hSocket_ = INVALID_SOCKET;
    }
    network_layer::Release();
}

// --- Properties -------------------------------------------------------------

void _TCustomAsyncSocket::SetAddr(const std::string& value) {
    if (addrAssigned_ && value == addrText_) return;
    if (state_ != wsClosed) {
        RaiseError("Cannot change Addr if not closed");
        return;
    }
    addrText_ = TrimBlanks(value);
    addrAssigned_ = !addrText_.empty();
    addrResolved_ = false;
}

void _TCustomAsyncSocket::SetPort(const std::string& value) {
    if (portAssigned_ && value == portText_) return;
    if (state_ != wsClosed) {
        RaiseError("Cannot change Port if not closed");
        return;
    }
    portText_ = TrimBlanks(value);
    portAssigned_ = !portText_.empty();
    portResolved_ = false;
}

void _TCustomAsyncSocket::SetProto(const std::string& value) {
    if (protoAssigned_ && value == protoText_) return;
    if (state_ != wsClosed) {
        RaiseError("Cannot change Proto if not closed");
        return;
    }
    protoText_ = TrimBlanks(value);
    protoAssigned_ = !protoText_.empty();
    protoResolved_ = false;
}

void _TCustomAsyncSocket::SetLocalPort(const std::string& value) {
    if (state_ != wsClosed) {
        RaiseError("Cannot change LocalPort if not closed");
        return;
    }
    localPortText_ = value;
    localPortResolved_ = false;
}

void _TCustomAsyncSocket::SetLocalAddr(const std::string& value) {
    if (state_ != wsClosed) {
        RaiseError("Cannot change LocalAddr if not closed");
        return;
    }
    const std::string text = TrimBlanks(value);
    std::optional<SockAddr> v4;
    std::optional<SockAddr> v6;
    for (const std::string& word : SplitBlanks(text)) {
        const std::optional<SockAddr> address = SockAddr::FromNumeric(word);
        if (!address) throw ESocketException("SetLocalAddr: '" + word + "' Invalid IP address.");
        std::optional<SockAddr>& family = address->IsIPv6() ? v6 : v4;
        if (family)
            throw ESocketException("SetLocalAddr: '" + text +
                                   "' names two addresses of one family.");
        family = address;
    }
    localAddrText_ = text;
    localAddr4_ = v4;
    localAddr6_ = v6;
}

TSocketSendFlags _TCustomAsyncSocket::SendFlags() {
    if (sendFlags_ == 0) return wsSendNormal;
    if (sendFlags_ == 1) return wsSendUrgent;
    RaiseError("Invalid internal SendFlags");
    return wsSendNormal;
}

void _TCustomAsyncSocket::SetSendFlags(TSocketSendFlags value) {
    switch (value) {
        case wsSendNormal:
            sendFlags_ = 0;
            break;
        case wsSendUrgent:
            sendFlags_ = 1;
            break;
        default:
            RaiseError("Invalid SendFlags");
    }
}

// --- Settings and state -----------------------------------------------------

void _TCustomAsyncSocket::ResetSettings() {
    sin_ = SockAddr();
    addrAssigned_ = addrResolved_ = false;
    portAssigned_ = portResolved_ = false;
    protoText_ = "tcp";
    protoAssigned_ = true;
    protoResolved_ = false;
    protoNumber_ = 6;
    socketType_ = 1;
    localPortText_ = "0";
    localPortResolved_ = false;
    lingerOnOff_ = wsLingerOn;
    lingerTimeout_ = 0;
    hSocket_ = INVALID_SOCKET;
    state_ = wsClosed;
    allSent_ = true;
    paused_ = false;
    readCount_ = 0;
    closeNotified_ = false;
    flushTimeout_ = 60;
}

void _TCustomAsyncSocket::ChangeState(TSocketState newState) {
    const TSocketState old = state_;
    state_ = newState;
    FireChangeState(old, newState);
}

SocketKind _TCustomAsyncSocket::Kind() const {
    if (state_ == wsListening && socketType_ == 1) return SocketKind::kListening;
    return socketType_ == 2 ? SocketKind::kDatagram : SocketKind::kStream;
}

void _TCustomAsyncSocket::Select(unsigned events, bool connecting) {
    if (hSocket_ != INVALID_SOCKET) notifier_.Select(hSocket_, Kind(), events, connecting);
}

// --- Errors -----------------------------------------------------------------

void _TCustomAsyncSocket::SocketError(const std::string& function) {
    const int e = platformError_;
    const std::string message =
        "Error " + WsaErrorNumberText(e) + " in function " + function + "\r\n" + SocketErrorText(e);
    if ((e == 10054 || e == 10057) && hSocket_ != INVALID_SOCKET) {
        notifier_.Stop(true);
        close(hSocket_);
        hSocket_ = INVALID_SOCKET;
        if (state_ != wsClosed) {
            GuardList::Scope guard(guards_);
            ChangeState(wsClosed);
            if (guard.Destroyed()) return;
        }
    }
    lastError_ = e;
    raiseCode_ = e;
    RaiseError(message);
}

void _TCustomAsyncSocket::RaiseError(const std::string& message) {
    const int code = raiseCode_;
    raiseCode_ = 0;
    if (OnError) {
        FireError();
        return;
    }
    throw ESocketException(message, code);
}

void _TCustomAsyncSocket::RaiseErrorFmt(const char* format, const std::string& text, int number) {
    // The formats of this component take a text and/or a number in that order.
    char buffer[512];
    if (text.empty()) {
        std::snprintf(buffer, sizeof buffer, format, number);
    } else {
        std::snprintf(buffer, sizeof buffer, format, text.c_str(), number);
    }
    RaiseError(buffer);
}

void _TCustomAsyncSocket::HandleBackgroundError(const std::exception& e) {
    bool canClose = true;
    if (OnBgException) {
        GuardList::Scope guard(guards_);
        try {
            OnBgException(this, e, canClose);
        } catch (...) {
            // A failing handler of a failure has no one left to tell: the
            // socket goes on to close as the error asks.
        }
        if (guard.Destroyed()) return;
    }
    if (canClose) {
        try {
            Abort();
        } catch (...) {
            // Abort only closes the handle; if even that fails there is
            // nothing more this socket can do.
        }
    }
}

// --- Events -----------------------------------------------------------------

bool _TCustomAsyncSocket::FireDataAvailable(uint16_t error) {
    if (!OnDataAvailable) return false;
    OnDataAvailable(this, error);
    return true;
}

void _TCustomAsyncSocket::FireSessionAvailable(uint16_t error) {
    if (OnSessionAvailable) OnSessionAvailable(this, error);
}

void _TCustomAsyncSocket::FireSessionConnected(uint16_t error) {
    if (OnSessionConnected) OnSessionConnected(this, error);
}

void _TCustomAsyncSocket::FireSessionClosed(uint16_t error) {
    if (OnSessionClosed) OnSessionClosed(this, error);
}

void _TCustomAsyncSocket::FireDataSent(uint16_t error) {
    if (OnDataSent) OnDataSent(this, error);
}

void _TCustomAsyncSocket::FireChangeState(TSocketState oldState, TSocketState newState) {
    if (OnChangeState) OnChangeState(this, oldState, newState);
}

void _TCustomAsyncSocket::FireDnsLookupDone(uint16_t error) {
    if (OnDnsLookupDone) OnDnsLookupDone(this, error);
}

void _TCustomAsyncSocket::FireError() {
    if (OnError) OnError(this);
}

// --- Notifications ----------------------------------------------------------

void _TCustomAsyncSocket::OnNotification(int fd, unsigned event, int error) {
    TSocketMessage msg;
    msg.kind = TSocketMessage::kSocketEvent;
    msg.handle = fd;
    msg.watch = ConnectionId();
    msg.event = event;
    msg.error = error;
    Dispatch(msg);
}

void _TCustomAsyncSocket::PostMessage(TSocketMessage msg) {
    loop_.Post([this, msg = std::move(msg), alive = token_.Weak()]() mutable {
        if (!alive.expired()) Dispatch(msg);
    });
}

void _TCustomAsyncSocket::Dispatch(TSocketMessage& msg) {
    GuardList::Scope guard(guards_);
    try {
        HandleMessage(msg);
    } catch (const Exception& e) {
        if (!guard.Destroyed()) HandleBackgroundError(e);
    }
}

void _TCustomAsyncSocket::HandleMessage(TSocketMessage& msg) {
    switch (msg.kind) {
        case TSocketMessage::kSocketEvent:
            HandleSocketEvent(msg);
            break;
        case TSocketMessage::kLookupDone:
        case TSocketMessage::kReverseLookupDone:
            HandleLookupDone(msg);
            break;
        case TSocketMessage::kRescan:
        case TSocketMessage::kSocksLookupDone:
            break;  // only the line layer and the proxy layer post these
    }
}

void _TCustomAsyncSocket::HandleSocketEvent(TSocketMessage& msg) {
    // A notice of a connection that has since been closed is stale, even when
    // the new connection's descriptor carries the same number.
    if (msg.handle != hSocket_ || msg.watch != ConnectionId() || paused_) return;
    const auto error = static_cast<uint16_t>(msg.error);
    GuardList::Scope guard(guards_);
    // After a handler: false when it closed this connection (and perhaps
    // opened another one).
    auto same = [&] { return !guard.Destroyed() && ConnectionId() == msg.watch; };
    switch (msg.event) {
        case kEvConnect:
            ChangeState(wsConnected);
            if (guard.Destroyed()) return;
            FireSessionConnected(error);
            if (error != 0 && same() && state_ != wsClosed) Close();
            break;
        case kEvRead:
            ReadLoop(msg.error);
            break;
        case kEvWrite:
            TryToSend();
            if (same() && allSent_) FireDataSent(error);
            break;
        case kEvAccept:
            FireSessionAvailable(error);
            break;
        case kEvClose:
            if (state_ == wsConnecting) return;  // the connect notification tells
            ReadLoop(0);                         // data still buffered goes first
            if (!same()) return;
            if (OnSessionClosed && !closeNotified_) {
                closeNotified_ = true;
                FireSessionClosed(error);
                if (!same()) return;
            }
            if (state_ != wsClosed) Close();
            break;
        default:
            break;
    }
}

void _TCustomAsyncSocket::ReadLoop(int error) {
    GuardList::Scope guard(guards_);
    const uint64_t connection = ConnectionId();
    try {
        for (;;) {
            lastError_ = 0;
            streamDrained_ = false;
            const int readsBefore = readCount_;
            const bool handled = FireDataAvailable(static_cast<uint16_t>(error));
            if (guard.Destroyed() || ConnectionId() != connection || hSocket_ == INVALID_SOCKET)
                return;
            if (!handled) {
                char sink[1024];
                if (Receive(sink, sizeof sink) < 0 && lastError_ == wsa::kWouldBlock) {
                    lastError_ = 0;
                    break;
                }
            }
            if (lastError_ != 0) break;
            // A handler that read nothing would make this loop run for ever; the
            // next readable notification comes once it reads.
            if (handled && readCount_ == readsBefore) break;
            if (socketType_ == 1 && streamDrained_) break;
            if (GetRcvdCount() <= 0) break;
        }
    } catch (const Exception&) {
        // An exception inside the loop ends the loop.
    }
}

}  // namespace mv
