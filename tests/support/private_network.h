// A network of the calling process's own: a new network namespace with only
// its loopback device, brought up. Tests and benchmarks use it to run real
// servers on the usual ports, or to start from a clean network stack.
#pragma once

#include <string>

namespace mv::test {

// Moves the calling process (and the children it starts afterwards) into a
// new network namespace with the loopback device up. Returns false with the
// reason in `why` where namespaces are not allowed.
bool EnterPrivateNetwork(std::string* why = nullptr);

}  // namespace mv::test
