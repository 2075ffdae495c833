// Resolving, connecting, binding, listening and adopting handles.
#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>

#include "net/socket/custom_async_socket.h"
#include "platform/error/winsock_errors.h"

namespace mv {

namespace {

// The few names the program itself uses, for systems whose protocol and
// service databases are missing (a minimal installation has none).
int BuiltInProtocol(const std::string& name) {
    if (strcasecmp(name.c_str(), "tcp") == 0) return 6;
    if (strcasecmp(name.c_str(), "udp") == 0) return 17;
    return -1;
}

int BuiltInService(const std::string& name) {
    if (strcasecmp(name.c_str(), "smtp") == 0) return 25;
    if (strcasecmp(name.c_str(), "domain") == 0) return 53;
    return -1;
}

// Decimal digits up to the first non-digit, leading blanks skipped.
int LeadingNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    long value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) &&
           value < 1000000) {
        value = value * 10 + (text[i] - '0');
        ++i;
    }
    return static_cast<int>(value);
}

bool StartsWithDigit(const std::string& text) {
    const auto p = text.find_first_not_of(' ');
    return p != std::string::npos && std::isdigit(static_cast<unsigned char>(text[p]));
}

// The protocol and service databases are files that the C library reads on
// every query; a busy checker resolves "tcp" and "smtp" thousands of times a
// second, so what they answered is kept (per thread: no locks).
thread_local std::unordered_map<std::string, int> t_protocols;
thread_local std::unordered_map<std::string, int> t_services;

int LookupProtocol(const std::string& name) {
    const auto cached = t_protocols.find(name);
    if (cached != t_protocols.end()) return cached->second;
    protoent entry{};
    protoent* found = nullptr;
    char buffer[1024];
    getprotobyname_r(name.c_str(), &entry, buffer, sizeof buffer, &found);
    const int number = found != nullptr ? found->p_proto : BuiltInProtocol(name);
    if (number >= 0) t_protocols.emplace(name, number);
    return number;
}

int LookupService(const std::string& name, const std::string& proto) {
    const std::string key = name + '/' + proto;
    const auto cached = t_services.find(key);
    if (cached != t_services.end()) return cached->second;
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    getservbyname_r(name.c_str(), proto.empty() ? nullptr : proto.c_str(), &entry, buffer,
                    sizeof buffer, &found);
    const int port =
        found != nullptr ? ntohs(static_cast<uint16_t>(found->s_port)) : BuiltInService(name);
    if (port >= 0) t_services.emplace(key, port);
    return port;
}

int ServicePort(const std::string& text, const std::string& proto, const char* what) {
    if (text.empty() || text.size() >= 32)
        throw ESocketException(std::string(what) + ": Invalid Port.");
    if (StartsWithDigit(text)) return LeadingNumber(text);
    const int port = LookupService(text, proto);
    if (port >= 0) return port;
    throw ESocketException(std::string(what) + ": Cannot convert port '" + text + "'");
}

}  // namespace

void _TCustomAsyncSocket::ResolveProto() {
    if (protoResolved_) return;
    const std::string& text = proto();
    if (text.empty() || text.size() >= 32)
        throw ESocketException("SocketResolveProto: Invalid Protocol.");
    if (StartsWithDigit(text)) {
        protoNumber_ = LeadingNumber(text);
    } else {
        protoNumber_ = LookupProtocol(text);
        if (protoNumber_ < 0)
            throw ESocketException("SocketResolveProto: Cannot convert protocol '" + text + "'");
    }
    socketType_ = protoNumber_ == 17 ? 2 : 1;
    protoResolved_ = true;
}

void _TCustomAsyncSocket::ResolvePort() {
    if (portResolved_) return;
    portNumber_ = ServicePort(port(), proto(), "SocketResolvePort");
    sin_.SetPort(static_cast<uint16_t>(portNumber_));
    portResolved_ = true;
}

void _TCustomAsyncSocket::ResolveLocalPort() {
    if (localPortResolved_) return;
    localPortNumber_ = ServicePort(LocalPort(), proto(), "SocketResolvePort");
    localPortResolved_ = true;
}

void _TCustomAsyncSocket::ResolveHost() {
    if (addrResolved_) return;
    sin_.SetHost(HostAddress(Addr()));
    addrResolved_ = true;
}

namespace {

// The first address of the family that the system's blocking lookup gives.
std::optional<SockAddr> BlockingLookup(const std::string& name, int family) {
    addrinfo hints{};
    hints.ai_family = family;
    addrinfo* result = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &result) != 0 || result == nullptr)
        return std::nullopt;
    sockaddr_storage found{};
    std::memcpy(&found, result->ai_addr, std::min<size_t>(result->ai_addrlen, sizeof found));
    freeaddrinfo(result);
    return SockAddr::FromSystem(found);
}

}  // namespace

SockAddr _TCustomAsyncSocket::HostAddress(const std::string& text) {
    if (text.empty() || text.size() > 256)
        throw ESocketException("SocketResolveHost: '" + text + "' Invalid Hostname.");
    // An IPv6 address always holds a colon, which no host name does.
    if (text.find(':') != std::string::npos) {
        const std::optional<SockAddr> v6 = SockAddr::FromNumeric(text);
        if (!v6 || !v6->IsIPv6())
            throw ESocketException("SocketResolveHost: '" + text + "' Invalid IP address.");
        return *v6;
    }
    if (StartsWithDigit(text)) {
        in_addr parsed{};
        if (text == "255.255.255.255") {
            parsed.s_addr = INADDR_BROADCAST;
        } else if (inet_aton(text.c_str(), &parsed) == 0 || parsed.s_addr == INADDR_NONE) {
            throw ESocketException("SocketResolveHost: '" + text + "' Invalid IP address.");
        }
        return SockAddr::FromIPv4(parsed);
    }
    std::optional<SockAddr> found = BlockingLookup(text, AF_INET);
    if (!found) found = BlockingLookup(text, AF_INET6);
    if (!found)
        throw ESocketException("SocketResolveHost: Cannot convert host address '" + text + "'");
    return *found;
}

int _TCustomAsyncSocket::ServicePortNumber(const std::string& text, const std::string& proto) {
    return ServicePort(text, proto, "SocketResolvePort");
}

void _TCustomAsyncSocket::ResolveAll() {
    ResolveProto();
    ResolvePort();
    ResolveLocalPort();
    ResolveHost();
}

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
