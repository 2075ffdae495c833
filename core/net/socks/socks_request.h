// The requests a SOCKS client sends to its proxy, as bytes: the method
// selection and the user-code exchange of level 5, and the connect request of
// levels 4, 4A and 5. Pure functions, no I/O.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

namespace mv {

enum class SocksVersion { k4, k4A, k5 };

// Authentication methods of level 5.
inline constexpr uint8_t kSocksMethodNone = 0;
inline constexpr uint8_t kSocksMethodUsercode = 2;
// Version byte of the user-code exchange (RFC 1929); proxies answer with the same.
inline constexpr uint8_t kSocksUsercodeVersion = 1;

// 5, 1, method: one method offered.
std::string SocksMethodRequest(uint8_t method);

// The user-code request: version, length and bytes of the user code, length and
// bytes of the password. Each text is cut to the 255 bytes its length byte can
// tell; a proxy then refuses the credentials instead of misreading the request.
std::string SocksUsercodeRequest(const std::string& usercode, const std::string& password);

// Level 4: 4, 1, port, IPv4 address (both in network order as given), user
// code, 0.
std::string Socks4ConnectRequest(uint16_t portNetOrder, uint32_t addrNetOrder,
                                 const std::string& usercode);

// Level 4A: as level 4 with the address 0.0.0.1, followed by the host name and 0.
std::string Socks4AConnectRequest(uint16_t portNetOrder, const std::string& usercode,
                                  const std::string& host);

// Level 5: 5, 1, 0, 3, the length and characters of the host name, the port
// (network order as given). A name or an IPv4 address goes as a name; the
// caller keeps it within 255 bytes.
std::string Socks5ConnectRequest(const std::string& host, uint16_t portNetOrder);

// Level 5 to an IPv6 address: 5, 1, 0, 4, the 16 address bytes, the port.
std::string Socks5ConnectRequest(const in6_addr& address, uint16_t portNetOrder);

}  // namespace mv
