// Whether a text names addresses of this computer that outgoing connections
// can leave from: up to two separated by blanks, at most one IPv4 address (a
// dotted quad) and one IPv6 address, as the socket's SetLocalAddr takes them.
#pragma once

#include <string>

namespace mv {

enum class LocalAddressFault {
    kNone,          // addresses of this computer (or empty: the system's choice)
    kNotAnAddress,  // not one or two addresses, or two of one family
    kNotLocal,      // no interface of this computer has one of them
};

// Tries to bind a socket to each address; blanks around them are ignored.
LocalAddressFault CheckLocalAddress(const std::string& text);

}  // namespace mv
