// Resolving the texts of a socket (protocol, ports, address) into the
// numbers and the address its system calls take.
#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>

#include "net/socket/custom_async_socket.h"

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

}  // namespace mv
