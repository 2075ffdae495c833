#include "bench_loops.h"
#include "platform/loop/epoll_loop.h"

namespace mv::bench {

std::unique_ptr<MessageLoop> MakeBenchLoop(const std::string& name) {
    if (name == "epoll") return std::make_unique<EpollLoop>();
    return nullptr;
}

bool HasBenchLoop(const std::string& name) {
    return name == "epoll";
}

const char* BenchLoopNames() {
    return "epoll";
}

}  // namespace mv::bench
