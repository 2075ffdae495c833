// The SOCKS proxy that a client's connections go through, as one value: set
// once on a client, which puts it on its socket before every connection (the
// socket forgets its proxy whenever a connection closes).
#pragma once

#include <memory>
#include <string>

namespace mv {

class _TCustomSocksSocket;

// The proxy's address as the connections of one check run found it: the
// first connection looks the proxy's name up on the message loop, and the
// others take the answer (or the failure) from here.
struct SocksProxyAddress {
    bool done = false;   // the lookup has ended
    std::string server;  // the name it was for
    int error = 0;       // its error; 0: `address` holds the address
    std::string address;
};

struct SocksProxy {
    std::string server;  // host name or address; empty: no proxy
    std::string port = "1080";
    std::string level = "5";  // "4", "4A" or "5"
    // Level 5 authenticates with the user code and the password when a user
    // code is given; levels 4 and 4A send the user code as their user id.
    std::string user;
    std::string password;

    // Shared by every copy of this value (the dispatcher's and its clients'),
    // so that their connections look the proxy's name up once. Empty: each
    // connection looks it up itself.
    std::shared_ptr<SocksProxyAddress> found;

    bool Enabled() const { return !server.empty(); }
    // Forgets the address an earlier run found: the next connection looks
    // the name up again, once for all copies made from now on.
    void NewRun() { found = std::make_shared<SocksProxyAddress>(); }
    // "server:port", as messages name the proxy.
    std::string Address() const { return server + ":" + port; }
    // Sets the socket's proxy properties; raises as the socket's setters do
    // (a socket that is not closed, an unknown level).
    void ApplyTo(_TCustomSocksSocket& socket) const;
};

// What is wrong with a proxy's settings before any connection is tried: no
// server, a port that is no number from 1 to 65535, a level other than 4, 4A
// (or 4a) and 5.
enum class SocksProxyFault { kNone, kServer, kPort, kLevel };
SocksProxyFault FindSocksProxyFault(const SocksProxy& proxy);

// The fixed text of a handshake error number (20001 to 20018), as results
// show it; the handshake's own message may say more.
std::string SocksErrorText(int code);
bool IsSocksError(int code);

}  // namespace mv
