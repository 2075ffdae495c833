// The socket notifier's close rule on every loop backend: the close is told
// once, and a descriptor its owner keeps open afterwards is no longer watched,
// so its end-of-stream readiness cannot make the loop spin.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

#include "loop_backends.h"
#include "platform/loop/socket_notifier.h"
#include "test_support.h"

namespace mv {
namespace {

class SocketNotifierClose : public ::testing::TestWithParam<test::LoopBackend> {
  protected:
    void SetUp() override { ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds_), 0); }
    void TearDown() override {
        for (int fd : fds_)
            if (fd >= 0) close(fd);
    }

    std::unique_ptr<MessageLoop> owned_ = GetParam().make();
    MessageLoop& loop = *owned_;
    int fds_[2] = {-1, -1};
};

TEST_P(SocketNotifierClose, AKeptDescriptorIsToldOnceAndLeftAlone) {
    int reads = 0;
    int closes = 0;
    std::unique_ptr<SocketNotifier> notifier;
    notifier = std::make_unique<SocketNotifier>(loop, [&](int fd, unsigned event, int) {
        if (event == kEvRead) {
            ++reads;
            char byte;
            const auto n = static_cast<int>(recv(fd, &byte, 1, MSG_DONTWAIT));
            notifier->Received(1, n, 0);
        }
        if (event == kEvClose) ++closes;  // the owner keeps the descriptor
    });
    notifier->Select(fds_[0], SocketKind::kStream, kEvRead | kEvClose);
    close(fds_[1]);
    fds_[1] = -1;
    ASSERT_TRUE(test::RunUntil(loop, [&] { return closes > 0; }));
    const int readsAtClose = reads;
    EXPECT_TRUE(test::Settle(loop));  // nothing left that would fire again and again
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(reads, readsAtClose);
    notifier->Stop();
}

INSTANTIATE_TEST_SUITE_P(Backends, SocketNotifierClose, ::testing::ValuesIn(test::LoopBackends()),
                         [](const auto& info) { return test::BackendName(info.param); });

}  // namespace
}  // namespace mv
