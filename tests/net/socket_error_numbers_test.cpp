// System error numbers that the socket numbering has no place of its own for.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "net/smtp/smtp_cli.h"
#include "net/socket/socket_error_text.h"
#include "platform/error/winsock_errors.h"
#include "platform/loop/epoll_loop.h"
#include "private_network.h"
#include "subprocess.h"
#include "test_support.h"

namespace mv {
namespace {

TEST(SocketErrorNumbers, UnlistedErrnosAre10000AndLinesKeepTheirName) {
    struct Case {
        int err;
        int code;
        std::string number;  // as failure lines show it
    };
    const std::vector<Case> cases = {
        {EPROTO, 10000, "10000 (EPROTO)"},    // not 10071
        {ENODATA, 10000, "10000 (ENODATA)"},  // not 10061, "Connection refused"
        {ENONET, 10000, "10000 (ENONET)"},    // not 10064, "Host is down"
        {EIO, 10000, "10000 (EIO)"},
        {ECONNREFUSED, 10061, "10061"},
        {EHOSTDOWN, 10064, "10064"},
        {EPIPE, 10054, "10054"},
        {0, 0, "0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WsaErrorFromErrno(c.err), c.code) << c.err;
        EXPECT_EQ(WsaErrorNumberText(c.code), c.number) << c.err;
    }
    EXPECT_EQ(SocketErrorText(10000), "Not a WinSock error");
}

// A host that answers the connect with "host isolated" (ICMP code 8, made by
// a firewall rule in a private network): the connect fails with ENONET.
TEST(SocketErrorNumbers, ARealConnectFailureReadsAs10000WithItsName) {
    const std::string nft = test::NftPath();
    if (nft.empty()) GTEST_SKIP() << "nft is not installed (Debian package nftables)";
    bool skipped = false;
    const std::string failure = test::InPrivateNetworkChild(
        [&]() -> std::string {
            const auto rules = test::RunProgram(
                {nft, "-f", "-"},
                "table ip t {\n chain out {\n type filter hook output priority 0;\n"
                " ip daddr 127.0.0.1 tcp dport 2525 reject with icmp 8\n }\n}\n");
            if (rules.exitCode != 0) return "nft: " + rules.err;
            EpollLoop loop;
            _TSmtpCli client(loop);
            client.SetHost("127.0.0.1");
            client.SetPort("2525");
            int error = -1;
            client.OnRequestDone = [&](_TCustomSmtpClient*, TSmtpRequest, uint16_t e) {
                error = e;
            };
            client.Open();
            if (!test::RunUntil(loop, [&] { return error >= 0; })) return "no OnRequestDone";
            const std::string line = "500 Not a WinSock error (Winsock error #10000 (ENONET))";
            if (error != 10000 || client.LastResponse() != line)
                return "error " + std::to_string(error) + ", " + client.LastResponse();
            return {};
        },
        &skipped);
    if (skipped) GTEST_SKIP() << failure;
    EXPECT_EQ(failure, "");
}

}  // namespace
}  // namespace mv
