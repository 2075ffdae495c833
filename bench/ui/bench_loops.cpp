#include "bench_loops.h"

#include <QCoreApplication>

#include "loop/qt_message_loop.h"
#include "per_socket_qt_loop.h"

namespace mv::bench {

namespace {

void EnsureQtApplication() {
    static int argc = 1;
    static char name[] = "mv_bench";
    static char* argv[] = {name, nullptr};
    // Lives until the process ends: benchmarks measure in child processes
    // that leave with _exit.
    if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
}

}  // namespace

std::unique_ptr<MessageLoop> MakeBenchLoop(const std::string& name) {
    if (name == "epoll") return std::make_unique<EpollLoop>();
    if (HasBenchLoop(name)) EnsureQtApplication();
    if (name == "qt") return std::make_unique<QtMessageLoop>();
    if (name == "qt-per-socket") return std::make_unique<PerSocketQtLoop>();
    return nullptr;
}

bool HasBenchLoop(const std::string& name) {
    return name == "epoll" || name == "qt" || name == "qt-per-socket";
}

const char* BenchLoopNames() {
    return "epoll, qt, qt-per-socket";
}

}  // namespace mv::bench
