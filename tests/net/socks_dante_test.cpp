// The socket and mailvetter-cli through a real SOCKS server (Dante, Debian's
// dante-server) in a private network namespace made by the test: only its own
// loopback exists there, so nothing can leave the machine.
//
// The test forks; the child enters a new network namespace, brings its
// loopback up, starts a fake mail server and danted there, connects through
// danted and reports the outcome on a pipe. Where namespaces are not allowed
// or danted is missing the test is skipped.
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "dante_server.h"
#include "fake_smtp_server.h"
#include "net/line/async_socket.h"
#include "platform/loop/epoll_loop.h"
#include "private_network.h"
#include "subprocess.h"
#include "test_support.h"

namespace mv {
namespace {

constexpr int kSkip = 77;
constexpr uint16_t kProxyPort = 1080;

// A step that failed inside the namespace: its message and the exit code.
struct Outcome {
    int code = 0;
    std::string message;
};

// The socket through danted on one level: greeting, one command, its reply.
Outcome SocketThrough(const std::string& level, uint16_t serverPort) {
    EpollLoop loop;
    _TAsyncSocket sock(loop);
    std::string received;
    std::string failure;
    sock.OnSocksError = [&](_TCustomAsyncSocket*, int e, const std::string& m) {
        failure = "socks error " + std::to_string(e) + " " + m;
    };
    sock.OnSessionConnected = [&](_TCustomAsyncSocket* s, uint16_t e) {
        if (e == 0) {
            s->SendStr("HELO inside\r\n");
        }
        if (e != 0 && failure.empty()) {
            failure = "connect error " + std::to_string(e);
        }
    };
    sock.OnDataAvailable = [&](_TCustomAsyncSocket* s, uint16_t) { received += s->ReceiveStr(); };
    sock.SetSocksServer("127.0.0.1");
    sock.SetSocksPort(std::to_string(kProxyPort));
    sock.SetSocksLevel(level);
    sock.SetAddr("127.0.0.1");
    sock.SetPort(std::to_string(serverPort));
    sock.Connect();
    const std::string want = "220 inside ready\r\n250 ok\r\n";
    test::RunUntil(loop, [&] { return received == want || !failure.empty(); });
    if (received == want) {
        return {};
    }
    return {1,
            "level " + level + ": " + (failure.empty() ? "received '" + received + "'" : failure)};
}

Outcome CliThrough(uint16_t serverPort) {
    const auto r = test::RunProgram(
        {test::CliPath(), "smtp", "127.0.0.1", "--port", std::to_string(serverPort), "--from",
         "me@inside.test", "--rcpt", "user@inside.test", "--helo", "inside.test", "--socks",
         "127.0.0.1:" + std::to_string(kProxyPort)},
        "", {}, 20000);
    if (r.exitCode == 0 && r.out.find("< 220 inside ready\n") != std::string::npos &&
        r.out.find("result\t0\n") != std::string::npos) {
        return {};
    }
    return {1, "mailvetter-cli: exit " + std::to_string(r.exitCode) + "\n" + r.out + r.err};
}

// Runs in the forked child, inside the new namespace.
Outcome InPrivateNetwork() {
    std::string why;
    if (!test::EnterPrivateNetwork(&why)) return {kSkip, why};
    test::FakeSmtpServer server({}, "220 inside ready", 3);
    const test::DanteServer danted(kProxyPort, true);
    if (!danted.WaitListening()) return {1, "danted did not start:\n" + danted.Log()};
    Outcome outcome;
    for (const char* level : {"5", "4"}) {
        if (outcome.code == 0) outcome = SocketThrough(level, server.port());
    }
    if (outcome.code == 0) outcome = CliThrough(server.port());
    if (outcome.code != 0) outcome.message += "\ndanted log:\n" + danted.Log();
    return outcome;
}

TEST(SocksDante, RelaysRealConnectionsInAPrivateNetwork) {
    if (!test::DanteServer::Installed()) {
        GTEST_SKIP() << "danted is not installed (Debian package dante-server)";
    }
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        const Outcome o = InPrivateNetwork();
        [[maybe_unused]] const ssize_t n = write(fds[1], o.message.data(), o.message.size());
        _exit(o.code);
    }
    close(fds[1]);
    std::string message;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) {
        message.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by a signal\n" << message;
    if (WEXITSTATUS(status) == kSkip) {
        GTEST_SKIP() << message;
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << message;
}

}  // namespace
}  // namespace mv
