#include "net/socks/socks_proxy.h"

#include <array>

#include "net/socks/socks_reply.h"
#include "net/socks/socks_socket.h"

namespace mv {

void SocksProxy::ApplyTo(_TCustomSocksSocket& socket) const {
    socket.SetSocksServer(server);
    socket.SetSocksPort(port);
    socket.SetSocksLevel(level);
    socket.SetSocksUsercode(user);
    socket.SetSocksPassword(password);
    const bool level5 = level == "5";
    socket.SetSocksAuthentication(level5 && !user.empty() ? socksAuthenticateUsercode
                                                          : socksNoAuthentication);
    socket.SetSocksProxyAddress(found);
}

SocksProxyFault FindSocksProxyFault(const SocksProxy& proxy) {
    if (proxy.server.find_first_not_of(' ') == std::string::npos) return SocksProxyFault::kServer;
    const std::string& p = proxy.port;
    if (p.empty() || p.size() > 5 || p.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(p) < 1 || std::stoi(p) > 65535)
        return SocksProxyFault::kPort;
    if (proxy.level != "4" && proxy.level != "4A" && proxy.level != "4a" && proxy.level != "5")
        return SocksProxyFault::kLevel;
    return SocksProxyFault::kNone;
}

namespace {

constexpr int kFirstSocksError = socks_error::kLogic;
constexpr std::array<const char*, 18> kSocksErrorTexts = {
    "protocol error",  // 20001: the proxy answered out of turn
    "socks version error",
    "authentification method not acceptable",
    "general SOCKS server failure",
    "connection not allowed by ruleset",
    "network unreachable",
    "host unreachable",
    "connection refused",
    "time to live expired",
    "command not supported",
    "address type not supported",
    "unassigned error",
    "internal error",
    "error",  // 20014: not used by the handshake
    "authentication failed",
    "request rejected or failed",
    "target host name lookup failed",
    "proxy host name lookup failed",
};

}  // namespace

bool IsSocksError(int code) {
    return code >= kFirstSocksError &&
           code < kFirstSocksError + static_cast<int>(kSocksErrorTexts.size());
}

std::string SocksErrorText(int code) {
    if (!IsSocksError(code)) return {};
    return kSocksErrorTexts[static_cast<size_t>(code - kFirstSocksError)];
}

}  // namespace mv
