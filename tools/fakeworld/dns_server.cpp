#include "dns_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

#include "dns_answer.h"

namespace mv::fakeworld {

namespace {

constexpr unsigned kBatch = 64;
constexpr size_t kMaxQuery = 1500;  // larger datagrams arrive cut and are dropped as malformed

}  // namespace

DnsServer::DnsServer(EventLoop& loop, const World& world, Stats& stats)
    : loop_(loop), world_(world), stats_(stats) {}

DnsServer::~DnsServer() {
    if (fd_ >= 0) {
        loop_.Remove(fd_);
        close(fd_);
    }
}

uint16_t DnsServer::Bind(uint32_t address, uint16_t port) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "DNS socket");
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    sa.sin_port = htons(port);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        const int error = errno;
        close(fd_);
        fd_ = -1;
        throw std::system_error(error, std::generic_category(), "bind the DNS socket");
    }
    socklen_t length = sizeof sa;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &length);
    loop_.Add(fd_, EPOLLIN, this);
    return ntohs(sa.sin_port);
}

// Reads up to a batch of datagrams, then sends all their answers at once.
void DnsServer::OnEvent(int fd, uint32_t events) {
    static uint8_t queries[kBatch][kMaxQuery];
    static sockaddr_in peers[kBatch];
    static iovec inVecs[kBatch];
    static mmsghdr in[kBatch];
    static std::vector<uint8_t> answers[kBatch];
    static iovec outVecs[kBatch];
    static mmsghdr out[kBatch];

    for (unsigned i = 0; i < kBatch; ++i) {
        inVecs[i] = {queries[i], kMaxQuery};
        in[i].msg_hdr = {};
        in[i].msg_hdr.msg_name = &peers[i];
        in[i].msg_hdr.msg_namelen = sizeof peers[i];
        in[i].msg_hdr.msg_iov = &inVecs[i];
        in[i].msg_hdr.msg_iovlen = 1;
    }
    const int received = recvmmsg(fd, in, kBatch, MSG_DONTWAIT, nullptr);
    if (received <= 0) {
        return;
    }

    unsigned replies = 0;
    for (int i = 0; i < received; ++i) {
        if (AnswerQuery(world_, queries[i], in[i].msg_len, stats_, answers[replies]) !=
            DnsOutcome::kAnswered) {
            continue;
        }
        outVecs[replies] = {answers[replies].data(), answers[replies].size()};
        out[replies].msg_hdr = {};
        out[replies].msg_hdr.msg_name = &peers[i];
        out[replies].msg_hdr.msg_namelen = in[i].msg_hdr.msg_namelen;
        out[replies].msg_hdr.msg_iov = &outVecs[replies];
        out[replies].msg_hdr.msg_iovlen = 1;
        ++replies;
    }
    // A reply that cannot go out now (a full socket buffer) is lost, as UDP allows.
    for (unsigned sent = 0; sent < replies;) {
        const int n = sendmmsg(fd, out + sent, replies - sent, MSG_DONTWAIT);
        sent += n > 0 ? static_cast<unsigned>(n) : 1;  // skip a reply that failed
    }
}

}  // namespace mv::fakeworld
