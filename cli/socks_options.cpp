#include "socks_options.h"

namespace mv::cli {

std::optional<SocksProxy> ParseSocksOptions(const ParsedArgs& parsed) {
    if (!parsed.Has("socks")) {
        for (const char* name : {"socks-level", "socks-user", "socks-password"}) {
            if (parsed.Has(name)) throw UsageError(std::string("--") + name + " needs --socks");
        }
        return std::nullopt;
    }
    const std::string address = *parsed.Value("socks");
    const auto colon = address.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == address.size())
        throw UsageError("--socks needs HOST:PORT");
    SocksProxy proxy;
    proxy.server = address.substr(0, colon);
    proxy.port = address.substr(colon + 1);
    proxy.level = parsed.ValueOr("socks-level", "5");
    if (proxy.level == "4a") proxy.level = "4A";
    switch (FindSocksProxyFault(proxy)) {
        case SocksProxyFault::kServer:
            throw UsageError("--socks needs HOST:PORT");
        case SocksProxyFault::kPort:
            throw UsageError("--socks: the port must be a number from 1 to 65535");
        case SocksProxyFault::kLevel:
            throw UsageError("--socks-level must be 4, 4A or 5");
        case SocksProxyFault::kNone:
            break;
    }
    if (parsed.Has("socks-password") && !parsed.Has("socks-user"))
        throw UsageError("--socks-password needs --socks-user");
    if (parsed.Has("socks-password") && proxy.level != "5")
        throw UsageError("--socks-password needs --socks-level 5");
    proxy.user = parsed.ValueOr("socks-user", "");
    proxy.password = parsed.ValueOr("socks-password", "");
    return proxy;
}

}  // namespace mv::cli
