#include "loop_backends.h"
#include "platform/loop/epoll_loop.h"

namespace mv::test {

const std::vector<LoopBackend>& LoopBackends() {
    static const std::vector<LoopBackend> backends = {
        {"Epoll", [] { return std::make_unique<EpollLoop>(); }},
    };
    return backends;
}

}  // namespace mv::test
