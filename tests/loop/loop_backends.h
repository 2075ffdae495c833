// The message loop backends this build has, for the suites that must hold on
// each of them: epoll always, Qt's event loop with the desktop program.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/loop/message_loop.h"

namespace mv::test {

struct LoopBackend {
    std::string name;
    std::function<std::unique_ptr<MessageLoop>()> make;
};

const std::vector<LoopBackend>& LoopBackends();

inline std::string BackendName(const LoopBackend& backend) {
    return backend.name;
}
inline void PrintTo(const LoopBackend& backend, std::ostream* os) {
    *os << backend.name;
}

}  // namespace mv::test
