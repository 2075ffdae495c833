// Connecting, binding, listening and adopting handles.
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "net/socket/custom_async_socket.h"
#include "platform/error/winsock_errors.h"

namespace mv {

// Discards the send queue and creates the descriptor for the resolved
// protocol; a failure is reported under `function` and gives -1.
int _TCustomAsyncSocket::OpenHandle(const char* function) {
    DiscardSendQueue();
    const int type = socketType_ == 2 ? SOCK_DGRAM : SOCK_STREAM;
    const int fd = socket(sin_.Family(), type | SOCK_NONBLOCK | SOCK_CLOEXEC, protoNumber_);
    if (fd < 0) {
        SetPlatformError(LastWsaError());
        SocketError(function);
    }
    return fd;
}

void _TCustomAsyncSocket::Connect() {
    if (HSocket() != INVALID_SOCKET && state() != wsClosed) {
        RaiseError("Connect: Socket already in use");
        return;
    }
    if (!portAssigned_) return RaiseError("Connect: No Port Specified");
    if (!addrAssigned_) return RaiseError("Connect: No IP Address Specified");
    if (!protoAssigned_) return RaiseError("Connect: No Protocol Specified");
    try {
        ResolveAll();
    } catch (const Exception& e) {
        RaiseError(std::string("connect: ") + e.what());
        return;
    }
    const int fd = OpenHandle("Connect (socket)");
    if (fd < 0) return;
    hSocket_ = fd;
    GuardList::Scope guard(guards_);
    ChangeState(wsOpened);
    if (guard.Destroyed() || hSocket_ != fd) return;
    const int one = 1;
    if (socketType_ == 2) {
        BindLocal();
        if (hSocket_ != fd) return;
        if (!sin_.IsIPv6() && sin_.V4().sin_addr.s_addr == INADDR_BROADCAST &&
            setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one) != 0) {
            SetPlatformError(LastWsaError());
            return SocketError("setsockopt(SO_BROADCAST)");
        }
    } else {
        if (localPortNumber_ != 0 || (sin_.IsIPv6() ? localAddr6_ : localAddr4_)) BindLocal();
        if (hSocket_ != fd) return;
        ApplyLinger();
        if (setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one) != 0) {
            SetPlatformError(LastWsaError());
            return SocketError("setsockopt(SO_KEEPALIVE)");
        }
        if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0) {
            SetPlatformError(LastWsaError());
            return SocketError("setsockopt(SO_REUSEADDR)");
        }
    }
    if (hSocket_ != fd) return;
    Select(kEvAll, socketType_ == 1);
    if (socketType_ == 2) {
        ChangeState(wsConnected);
        if (guard.Destroyed()) return;
        FireSessionConnected(0);
        return;
    }
    if (::connect(fd, sin_.Get(), sin_.Size()) == 0 || errno == EINPROGRESS) {
        Notifier().ConnectStarted();
        ChangeState(wsConnecting);
        return;
    }
    const int err = LastWsaError();
    if (err == wsa::kConnRefused || err == wsa::kNetUnreach || err == wsa::kHostUnreach ||
        err == wsa::kHostDown || err == wsa::kTimedOut) {
        // An outcome the network decides: report it through the connect
        // notification, as a connect that fails later would be.
        ChangeState(wsConnecting);
        if (!guard.Destroyed()) Notifier().ConnectFailedLater(err);
        return;
    }
    Select(0);  // nothing is under way on this handle
    lastError_ = err;
    SetPlatformError(err);
    SocketError("Connect");
}

void _TCustomAsyncSocket::BindLocal() {
    // The connection's family decides which source address applies; without
    // one, any address of that family.
    const std::optional<SockAddr>& source = sin_.IsIPv6() ? localAddr6_ : localAddr4_;
    SockAddr local = source          ? *source
                     : sin_.IsIPv6() ? SockAddr::FromIPv6(in6addr_any)
                                     : SockAddr::FromIPv4(in_addr{INADDR_ANY});
    local.SetPort(static_cast<uint16_t>(localPortNumber_));
    if (bind(HSocket(), local.Get(), local.Size()) != 0) {
        RaiseErrorFmt("winsock.bind failed, error #%d", "", LastWsaError());
        return;
    }
    sockaddr_storage bound{};
    socklen_t len = sizeof bound;
    if (getsockname(HSocket(), reinterpret_cast<sockaddr*>(&bound), &len) != 0) {
        RaiseErrorFmt("winsock.getsockname failed, error #%d", "", LastWsaError());
        return;
    }
    localPortNumber_ = SockAddr::FromSystem(bound).Port();
    localPortText_ = std::to_string(localPortNumber_);
}

void _TCustomAsyncSocket::ApplyLinger() {
    if (lingerOnOff_ == wsLingerNoSet) return;
    if (HSocket() == INVALID_SOCKET) {
        RaiseError("Cannot set linger option at this time");
        return;
    }
    linger value{};
    value.l_onoff = lingerOnOff_ == wsLingerOn ? 1 : 0;
    value.l_linger = lingerTimeout_;
    if (setsockopt(HSocket(), SOL_SOCKET, SO_LINGER, &value, sizeof value) != 0) {
        SetPlatformError(LastWsaError());
        SocketError("setsockopt(SO_LINGER)");
    }
}

void _TCustomAsyncSocket::Listen() {
    if (!portAssigned_) {
        SetPlatformError(wsa::kInvalidArgument);
        return SocketError("listen: port not assigned");
    }
    if (!protoAssigned_) {
        SetPlatformError(wsa::kInvalidArgument);
        return SocketError("listen: protocol not assigned");
    }
    if (!addrAssigned_) {
        SetPlatformError(wsa::kInvalidArgument);
        return SocketError("listen: address not assigned");
    }
    try {
        ResolveProto();
        ResolvePort();
        ResolveHost();
    } catch (const Exception& e) {
        RaiseError(std::string("listen: ") + e.what());
        return;
    }
    const int fd = OpenHandle("socket");
    if (fd < 0) return;
    hSocket_ = fd;
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(fd, sin_.Get(), sin_.Size()) != 0) {
        SetPlatformError(LastWsaError());
        close(fd);
        hSocket_ = INVALID_SOCKET;
        return SocketError("Bind");
    }
    GuardList::Scope guard(guards_);
    ChangeState(wsBound);
    if (guard.Destroyed()) return;
    if (socketType_ == 2) {
        ChangeState(wsListening);
        ChangeState(wsConnected);
        if (guard.Destroyed()) return;
        Select(kEvRead | kEvWrite | kEvAccept | kEvClose);
        FireSessionConnected(0);
        return;
    }
    if (listen(fd, 5) != 0) {
        SetPlatformError(LastWsaError());
        return SocketError("Listen");
    }
    ChangeState(wsListening);
    if (guard.Destroyed()) return;
    Select(kEvRead | kEvWrite | kEvAccept | kEvClose);
}

TSocket _TCustomAsyncSocket::Accept() {
    if (state() != wsListening) {
        SetPlatformError(wsa::kInvalidArgument);
        SocketError("not a listening socket");
        return INVALID_SOCKET;
    }
    sockaddr_storage peer{};
    socklen_t len = sizeof peer;
    const int fd =
        accept4(HSocket(), reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    Notifier().Accepted();
    if (fd < 0) {
        SetPlatformError(LastWsaError());
        SocketError("Accept");
        return INVALID_SOCKET;
    }
    acceptedHandle_ = fd;
    return fd;
}

void _TCustomAsyncSocket::Dup(TSocket newHSocket) {
    if (newHSocket == 0 || newHSocket == INVALID_SOCKET) {
        SetPlatformError(wsa::kInvalidArgument);
        return SocketError("Dup");
    }
    if (HSocket() != INVALID_SOCKET) {
        Notifier().Stop(true);
        if (close(HSocket()) != 0) {
            SetPlatformError(LastWsaError());
            hSocket_ = INVALID_SOCKET;
            return SocketError("Dup (closesocket)");
        }
        hSocket_ = INVALID_SOCKET;
    }
    hSocket_ = newHSocket;
    socketType_ = 1;
    ApplyLinger();
    ChangeState(wsConnected);
    Select(kEvRead | kEvWrite | kEvConnect | kEvClose);
}

void _TCustomAsyncSocket::Shutdown(int how) {
    if (HSocket() != INVALID_SOCKET) shutdown(HSocket(), how);
}

void _TCustomAsyncSocket::Pause() {
    paused_ = true;
    Select(0);
}

void _TCustomAsyncSocket::Resume() {
    paused_ = false;
    Select(kEvRead | kEvWrite | kEvConnect | kEvClose);
}

std::string _TCustomAsyncSocket::GetPeerAddr() {
    if (state() != wsConnected) return "error";
    sockaddr_storage peer{};
    socklen_t len = sizeof peer;
    if (getpeername(HSocket(), reinterpret_cast<sockaddr*>(&peer), &len) != 0) {
        SetPlatformError(LastWsaError());
        SocketError("GetPeerName");
        return "error";
    }
    return SockAddr::FromSystem(peer).HostText();
}

int _TCustomAsyncSocket::GetPeerName(sockaddr_storage& name, int& nameLen) {
    if (state() != wsConnected) return -1;
    auto len = static_cast<socklen_t>(nameLen);
    const int rc = getpeername(HSocket(), reinterpret_cast<sockaddr*>(&name), &len);
    nameLen = static_cast<int>(len);
    if (rc != 0) lastError_ = LastWsaError();
    return rc;
}

int _TCustomAsyncSocket::GetSockName(sockaddr_storage& name, int& nameLen) {
    auto len = static_cast<socklen_t>(nameLen);
    const int rc = getsockname(HSocket(), reinterpret_cast<sockaddr*>(&name), &len);
    nameLen = static_cast<int>(len);
    if (rc != 0) lastError_ = LastWsaError();
    return rc;
}

std::string _TCustomAsyncSocket::GetXPort() {
    if (state() != wsBound && state() != wsConnected && state() != wsListening) return "error";
    sockaddr_storage local{};
    socklen_t len = sizeof local;
    if (getsockname(HSocket(), reinterpret_cast<sockaddr*>(&local), &len) != 0) return "error";
    return std::to_string(SockAddr::FromSystem(local).Port());
}

}  // namespace mv
