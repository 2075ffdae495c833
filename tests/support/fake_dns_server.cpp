#include "fake_dns_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <exception>
#include <memory>
#include <stdexcept>
#include <utility>

#include "dns_answer.h"
#include "world.h"

namespace mv::test {
namespace {

// The zone of a fake world with one MX domain per table entry, preferences
// 10, 20... in list order; an empty list is a domain without MX records.
std::shared_ptr<const fakeworld::World> WorldOf(
    const std::map<std::string, std::vector<std::string>>& domains) {
    auto world = std::make_shared<fakeworld::World>();
    for (const auto& [name, hosts] : domains) {
        fakeworld::DomainRule rule;
        rule.name = name;
        fakeworld::NormalizeName(rule.name);
        rule.kind = hosts.empty() ? fakeworld::DomainKind::Empty : fakeworld::DomainKind::Mx;
        uint16_t preference = 10;
        for (const std::string& host : hosts) {
            rule.mx.push_back({preference, host});
            preference = static_cast<uint16_t>(preference + 10);
        }
        world->domains.push_back(std::move(rule));
    }
    world->Index();
    return world;
}

}  // namespace

FakeDnsServer::FakeDnsServer(Script script) : script_(std::move(script)) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    wake_ = eventfd(0, EFD_CLOEXEC);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd_ < 0 || wake_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (fd_ >= 0) {
            close(fd_);
        }
        if (wake_ >= 0) {
            close(wake_);
        }
        throw std::runtime_error("FakeDnsServer: cannot bind a loopback UDP socket");
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

FakeDnsServer::~FakeDnsServer() {
    const uint64_t one = 1;
    if (write(wake_, &one, sizeof one) != sizeof one) {
        // Cannot happen with an eventfd counter this small; the join would hang.
        std::terminate();
    }
    thread_.join();
    close(fd_);
    close(wake_);
    for (const auto& forger : forgers_) {
        close(forger.first);
    }
}

uint16_t FakeDnsServer::AddForger(const std::string& address, uint16_t port, Script script) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    socklen_t len = sizeof addr;
    if (fd < 0 || inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1 ||
        bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (fd >= 0) {
            close(fd);
        }
        throw std::runtime_error("FakeDnsServer: cannot bind the forger to " + address);
    }
    std::lock_guard lock(mutex_);
    forgers_.emplace_back(fd, std::move(script));
    return ntohs(addr.sin_port);
}

void FakeDnsServer::SetScript(Script script) {
    std::lock_guard lock(mutex_);
    script_ = std::move(script);
}

std::vector<FakeDnsServer::Received> FakeDnsServer::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

size_t FakeDnsServer::receivedCount() const {
    std::lock_guard lock(mutex_);
    return received_.size();
}

void FakeDnsServer::Serve() {
    std::vector<uint8_t> buffer(65536);
    while (true) {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) {
            return;
        }
        sockaddr_in peer{};
        socklen_t peerLen = sizeof peer;
        const ssize_t n = recvfrom(fd_, buffer.data(), buffer.size(), 0,
                                   reinterpret_cast<sockaddr*>(&peer), &peerLen);
        if (n < 0) {
            continue;
        }
        Received in{Datagram(buffer.begin(), buffer.begin() + n), std::nullopt};
        in.query = dnswire::ParseQuery(in.bytes.data(), in.bytes.size());
        Script script;
        std::vector<std::pair<int, Script>> forgers;
        {
            std::lock_guard lock(mutex_);
            received_.push_back(in);
            script = script_;
            forgers = forgers_;
        }
        if (!in.query) {
            continue;
        }
        for (const auto& [forgerFd, forge] : forgers) {
            for (const Datagram& out : forge(*in.query)) {
                sendto(forgerFd, out.data(), out.size(), 0, reinterpret_cast<sockaddr*>(&peer),
                       peerLen);
            }
        }
        if (!script) {
            continue;
        }
        for (const Datagram& out : script(*in.query)) {
            sendto(fd_, out.data(), out.size(), 0, reinterpret_cast<sockaddr*>(&peer), peerLen);
        }
    }
}

FakeDnsServer::Script FakeDnsServer::Silent() {
    return [](const dnswire::Query&) { return std::vector<Datagram>{}; };
}

FakeDnsServer::Script FakeDnsServer::MxTable(
    const std::map<std::string, std::vector<std::string>>& domains) {
    return [world = WorldOf(domains)](const dnswire::Query& q) {
        // The fake world answers raw datagrams: the query as it came, rebuilt.
        const Datagram query = dnswire::ResponseBuilder(q.id)
                                   .Flags(q.flags)
                                   .Question(q.name, q.type, q.qclass)
                                   .Build();
        fakeworld::Stats stats;
        Datagram answer;
        if (fakeworld::AnswerQuery(*world, query.data(), query.size(), stats, answer) !=
            fakeworld::DnsOutcome::kAnswered)
            return std::vector<Datagram>{};
        return std::vector<Datagram>{answer};
    };
}

FakeDnsServer::Datagram MxAnswer(const dnswire::Query& query,
                                 const std::vector<std::string>& exchanges) {
    auto b = dnswire::ResponseBuilder::ReplyTo(query);
    uint16_t preference = 10;
    for (const std::string& host : exchanges) {
        b.Mx(dnswire::Name::Pointer(12), preference, host);
        preference = static_cast<uint16_t>(preference + 10);
    }
    return b.Build();
}

FakeDnsServer::Datagram EmptyAnswer(const dnswire::Query& query) {
    return dnswire::ResponseBuilder::ReplyTo(query).Build();
}

FakeDnsServer::Datagram NxDomain(const dnswire::Query& query) {
    return dnswire::ResponseBuilder::ReplyTo(query)
        .Aa(true)
        .Rcode(dnswire::kRcodeNameError)
        .Build();
}

}  // namespace mv::test
