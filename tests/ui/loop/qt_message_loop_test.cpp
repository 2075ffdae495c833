// What only the Qt backend does: handlers running under Qt's own event loop
// (as under QApplication::exec or a modal dialog), and calls from Qt into the
// core.
#include <sys/socket.h>
#include <unistd.h>

#include <QEventLoop>
#include <QTimer>

#include <stdexcept>

#include <gtest/gtest.h>

#include "loop/qt_message_loop.h"
#include "test_support.h"

namespace mv {
namespace {

struct Retiree {
    explicit Retiree(bool* flag) : freed(flag) {}
    ~Retiree() { *freed = true; }
    bool* freed;
};

TEST(QtMessageLoop, HandlersRunUnderQtsOwnEventLoopAndMayWaitInside) {
    QtMessageLoop loop;
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    QEventLoop qtLoop;
    bool posted = false;
    bool nestedDone = false;
    MessageLoop::WatchId watch = 0;
    watch = loop.WatchFd(fds[0], kFdReadable, [&](unsigned) {
        loop.UnwatchFd(watch);
        loop.Post([&] { posted = true; });
        nestedDone = loop.WaitUntil([&] { return posted; });
    });
    MessageLoop::TimerId timer = 0;
    timer = loop.StartTimer(5, [&] {
        loop.StopTimer(timer);
        ASSERT_EQ(write(fds[1], "x", 1), 1);
    });
    loop.Post([&] {
        // Ends Qt's loop once the chain above has run.
        loop.StartTimer(50, [&] { qtLoop.exit(nestedDone ? 0 : 1); });
    });
    QTimer::singleShot(5000, &qtLoop, [&] { qtLoop.exit(2); });
    EXPECT_EQ(qtLoop.exec(), 0);
    EXPECT_EQ(loop.Depth(), 0);
    close(fds[0]);
    close(fds[1]);
}

TEST(QtMessageLoop, TimersKeepGoingInsideAQtLoopThatAHandlerRuns) {
    // A handler that shows a modal dialog runs Qt's loop without calling
    // ProcessMessages; the core's timers must still fire inside it.
    QtMessageLoop loop;
    QEventLoop dialog;
    int dialogResult = -1;
    MessageLoop::TimerId opener = 0;
    opener = loop.StartTimer(5, [&] {
        loop.StopTimer(opener);
        QTimer::singleShot(5000, &dialog, [&] { dialog.exit(1); });
        dialogResult = dialog.exec();
    });
    const auto closer = loop.StartTimer(30, [&] { dialog.exit(0); });
    ASSERT_TRUE(test::RunUntil(loop, [&] { return dialogResult != -1; }));
    EXPECT_EQ(dialogResult, 0);
    loop.StopTimer(closer);
}

TEST(QtMessageLoop, ACallFromQtIntoTheCoreIsOneLevelAndStopsExceptions) {
    // As a window command that calls the core would, outside any handler.
    QtMessageLoop loop;
    bool freed = false;
    int depthInside = 0;
    testing::internal::CaptureStderr();
    loop.Call([&] {
        depthInside = loop.Depth();
        loop.DeleteLater(std::make_unique<Retiree>(&freed));
        throw std::runtime_error("from a command");
    });
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_EQ(depthInside, 1);
    EXPECT_EQ(loop.Depth(), 0);
    EXPECT_TRUE(freed);
    EXPECT_NE(report.find("from a command"), std::string::npos) << report;
}

}  // namespace
}  // namespace mv
