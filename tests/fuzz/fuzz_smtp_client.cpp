// The SMTP client's handling of reply lines, fed through a real socket: the
// client connects over loopback to a listener of this program, which plays
// the server with the fuzzer's bytes, then closes. The bytes come in pieces
// (the first byte of each gives the piece's size less one); the client reads
// each piece, and sends whatever command it answers, before the next piece is
// sent, so a piece can be one reply, a part of one, or several. The client
// opens (greeting, HELO) and gives MAIL FROM, RCPT TO with three recipients,
// RSET and QUIT, each when the one before succeeded. Whatever the bytes,
// every request ends with exactly one notice, and no reply line holds a line
// end or outgrows the receive buffer.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "net/smtp/smtp_cli.h"
#include "platform/loop/epoll_loop.h"

namespace {

// Enough rounds of the loop for whatever one piece of bytes sets off.
constexpr int kRounds = 200;

struct Listener {
    int fd = -1;
    std::string port;
    Listener() {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
            listen(fd, 8) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            std::abort();
        port = std::to_string(ntohs(addr.sin_port));
    }
};

int Accept(int listener) {
    pollfd p{listener, POLLIN, 0};
    if (poll(&p, 1, 2000) <= 0) return -1;
    return accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

// Bytes the client has not read yet.
int Unread(mv::_TSmtpCli& client) {
    int n = 0;
    const int fd = client.Socket().HSocket();
    if (fd < 0 || ioctl(fd, FIONREAD, &n) != 0) return 0;
    return n;
}

// Runs the loop until the client has taken what was sent and nothing more
// is pending, or `done` holds.
void Settle(mv::EpollLoop& loop, mv::_TSmtpCli& client, const bool& done) {
    for (int i = 0; i < kRounds && !done; ++i)
        if (!loop.ProcessMessages(false) && Unread(client) == 0) return;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static mv::EpollLoop loop;
    static Listener listener;
    mv::_TSmtpCli client(loop);
    client.SetHost("127.0.0.1");
    client.SetPort(listener.port);
    client.SetSignOn("fuzz.test");
    client.SetFromName("probe@fuzz.test");
    client.SetRcptName({"a@x.test", "b@x.test", "c@x.test"});
    client.OnResponse = [](mv::_TCustomSmtpClient*, const std::string& line) {
        if (line.find("\r\n") != std::string::npos || line.size() >= 4096) std::abort();
    };
    const std::vector<std::function<void()>> steps = {
        [&] { client.MailFrom(); }, [&] { client.RcptTo(); }, [&] { client.Rset(); },
        [&] { client.Quit(); }};
    size_t next = 0;
    int started = 1;  // Open
    int ended = 0;
    bool done = false;
    client.OnRequestDone = [&](mv::_TCustomSmtpClient*, mv::TSmtpRequest, uint16_t error) {
        if (++ended > started) std::abort();  // a second notice for one request
        if (error != 0 || next == steps.size()) {
            done = true;
            return;
        }
        try {
            steps[next++]();
            ++started;
        } catch (const mv::Exception&) {
            done = true;  // refused at the call (the connection is gone): no notice
        }
    };
    client.Open();
    const int server = Accept(listener.fd);
    if (server < 0) std::abort();
    Settle(loop, client, done);
    size_t pos = 0;
    while (pos < size && !done) {
        const size_t len = std::min<size_t>(1 + data[pos], size - pos - 1);
        ++pos;
        if (send(server, data + pos, len, MSG_NOSIGNAL | MSG_DONTWAIT) < 0) break;
        pos += len;
        Settle(loop, client, done);
    }
    shutdown(server, SHUT_WR);  // the server has said all it says
    Settle(loop, client, done);
    for (int i = 0; i < kRounds && !done; ++i)
        loop.ProcessMessages(false);
    // The connection is gone: whatever was under way must have ended.
    if (ended != started) std::abort();
    client.Abort();
    close(server);
    for (int i = 0; i < kRounds && loop.ProcessMessages(false); ++i) {
    }
    return 0;
}
