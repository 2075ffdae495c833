// Whether a text names an IPv4 address of this computer, one that outgoing
// connections can leave from.
#pragma once

#include <string>

namespace mv {

enum class LocalAddressFault {
    kNone,          // an address of this computer (or empty: the system's choice)
    kNotAnAddress,  // not a dotted IPv4 address
    kNotLocal,      // no interface of this computer has it
};

// Tries to bind a socket to the address; blanks around it are ignored.
LocalAddressFault CheckLocalAddress(const std::string& text);

}  // namespace mv
