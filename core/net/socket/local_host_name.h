// The machine's own host name, given in HELO when no name is set.
#pragma once

#include <string>

namespace mv {

// At most 64 bytes; raises ESocketException "Winsock.GetHostName failed".
std::string LocalHostName();

}  // namespace mv
