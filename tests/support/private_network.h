// A network of the calling process's own: a new network namespace with only
// its loopback device, brought up. Tests and benchmarks use it to run real
// servers on the usual ports, or to start from a clean network stack.
#pragma once

#include <functional>
#include <string>

namespace mv::test {

// Moves the calling process (and the children it starts afterwards) into a
// new network namespace with the loopback device up. Returns false with the
// reason in `why` where namespaces are not allowed.
bool EnterPrivateNetwork(std::string* why = nullptr);

// Runs `body` in a child process that has entered a private network, so that
// what it changes there (firewall rules, for example) stays there. `body`
// returns an empty text when all went well, else what failed. The result is
// that text; `skipped` is set, with the reason as the text, where namespaces
// are not allowed.
std::string InPrivateNetworkChild(const std::function<std::string()>& body, bool* skipped);

// The nft program, or an empty text when it is not installed.
std::string NftPath();

}  // namespace mv::test
