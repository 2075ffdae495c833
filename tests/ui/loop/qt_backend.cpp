// The loop suites against both backends; the Qt one needs the application
// object, made in main as the desktop program makes it.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include "loop/qt_message_loop.h"
#include "loop_backends.h"

namespace mv::test {

const std::vector<LoopBackend>& LoopBackends() {
    static const std::vector<LoopBackend> backends = {
        {"Epoll", [] { return std::make_unique<EpollLoop>(); }},
        {"Qt", [] { return std::make_unique<QtMessageLoop>(); }},
    };
    return backends;
}

}  // namespace mv::test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
