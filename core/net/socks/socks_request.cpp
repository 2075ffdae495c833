#include "net/socks/socks_request.h"

#include <algorithm>

namespace mv {

namespace {

void PutNetOrder16(std::string& out, uint16_t netOrder) {
    const auto* p = reinterpret_cast<const char*>(&netOrder);
    out.append(p, 2);
}

void PutCounted(std::string& out, const std::string& text) {
    const size_t n = std::min<size_t>(text.size(), 255);
    out.push_back(static_cast<char>(n));
    out.append(text, 0, n);
}

}  // namespace

std::string SocksMethodRequest(uint8_t method) {
    return std::string{5, 1, static_cast<char>(method)};
}

std::string SocksUsercodeRequest(const std::string& usercode, const std::string& password) {
    std::string out(1, static_cast<char>(kSocksUsercodeVersion));
    PutCounted(out, usercode);
    PutCounted(out, password);
    return out;
}

std::string Socks4ConnectRequest(uint16_t portNetOrder, uint32_t addrNetOrder,
                                 const std::string& usercode) {
    std::string out{4, 1};
    PutNetOrder16(out, portNetOrder);
    out.append(reinterpret_cast<const char*>(&addrNetOrder), 4);
    out += usercode;
    out.push_back('\0');
    return out;
}

std::string Socks4AConnectRequest(uint16_t portNetOrder, const std::string& usercode,
                                  const std::string& host) {
    std::string out{4, 1};
    PutNetOrder16(out, portNetOrder);
    out.append({0, 0, 0, 1});
    out += usercode;
    out.push_back('\0');
    out += host;
    out.push_back('\0');
    return out;
}

std::string Socks5ConnectRequest(const std::string& host, uint16_t portNetOrder) {
    std::string out{5, 1, 0, 3};
    PutCounted(out, host);
    PutNetOrder16(out, portNetOrder);
    return out;
}

std::string Socks5ConnectRequest(const in6_addr& address, uint16_t portNetOrder) {
    std::string out{5, 1, 0, 4};
    out.append(reinterpret_cast<const char*>(&address), sizeof address);
    PutNetOrder16(out, portNetOrder);
    return out;
}

}  // namespace mv
