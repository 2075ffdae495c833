// mv-fakeworld: serves a DNS zone and many scripted SMTP hosts on loopback
// from a world file, for tests, benchmarks and demos. See README.md.
#include <arpa/inet.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <system_error>

#include "dns_server.h"
#include "event_loop.h"
#include "smtp_server.h"
#include "world_parser.h"

namespace mv::fakeworld {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kBindAttempts = 50;

struct Options {
    std::string worldFile;
    uint16_t dnsPort = 0;
    uint16_t smtpPort = 0;
    std::optional<uint32_t> net;  // 127.a.b.0, host byte order
    bool checkOnly = false;
};

const char kUsage[] =
    "usage: mv-fakeworld --world FILE [--dns-port N] [--smtp-port N] [--bind-net 127.A.B]\n"
    "       mv-fakeworld --check --world FILE\n";

std::optional<uint32_t> ParseNet(const std::string& text) {
    in_addr addr{};
    if (inet_pton(AF_INET, (text + ".0").c_str(), &addr) != 1) {
        return std::nullopt;
    }
    const uint32_t net = ntohl(addr.s_addr);
    if ((net >> 24) != 127 || (net >> 8) == (127u << 16)) {
        return std::nullopt;  // not 127.0.0.x
    }
    return net;
}

std::optional<uint16_t> ParsePort(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value < 0 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

// Fills `options` from the command line; a message and false on misuse.
bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--check") {
            options.checkOnly = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::cerr << "mv-fakeworld: " << arg
                      << (arg.rfind("--", 0) == 0 ? " needs a value\n" : ": unknown argument\n")
                      << kUsage;
            return false;
        }
        const char* value = argv[++i];
        std::optional<uint16_t> port;
        if (arg == "--world") {
            options.worldFile = value;
        } else if ((arg == "--dns-port" || arg == "--smtp-port") && (port = ParsePort(value))) {
            (arg == "--dns-port" ? options.dnsPort : options.smtpPort) = *port;
        } else if (arg == "--bind-net" && (options.net = ParseNet(value))) {
        } else {
            std::cerr << "mv-fakeworld: bad argument " << arg << " " << value << "\n" << kUsage;
            return false;
        }
    }
    if (options.worldFile.empty()) {
        std::cerr << "mv-fakeworld: --world FILE is required\n" << kUsage;
        return false;
    }
    return true;
}

std::optional<World> LoadWorld(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::cerr << "mv-fakeworld: cannot read world file '" << file
                  << "': " << std::strerror(errno) << "\n";
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    ParseResult result = ParseWorld(text.str(), file);
    for (const std::string& error : result.errors) {
        std::cerr << error << "\n";
    }
    if (!result.errors.empty()) {
        return std::nullopt;
    }
    return std::move(result.world);
}

std::string Dotted(uint32_t address) {
    in_addr addr{htonl(address)};
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &addr, text, sizeof text);
    return text;
}

void RaiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// Ends the loop on SIGTERM or SIGINT, delivered through a signalfd.
class SignalWatch : public EventHandler {
  public:
    SignalWatch(EventLoop& loop, const sigset_t& signals)
        : loop_(loop), fd_(signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC)) {
        if (fd_ < 0) {
            throw std::system_error(errno, std::generic_category(), "signalfd");
        }
        loop_.Add(fd_, EPOLLIN, this);
    }
    ~SignalWatch() override {
        loop_.Remove(fd_);
        close(fd_);
    }
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;
    void OnEvent(int fd, uint32_t events) override { loop_.Stop(); }

  private:
    EventLoop& loop_;
    int fd_;
};

// Picks a network (random unless fixed) and an SMTP port that every listening
// host can bind; returns the port.
uint16_t BindHosts(World& world, SmtpServer& smtp, const Options& options, uint32_t& net) {
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<uint32_t> octetA(1, 254), octetB(0, 255);
    for (int attempt = 0; attempt < kBindAttempts; ++attempt) {
        net = options.net.value_or((127u << 24) | (octetA(random) << 16) | (octetB(random) << 8));
        world.AssignAddresses(net);
        const uint16_t port = smtp.Listen(options.smtpPort);
        if (port != 0 || options.smtpPort == 0) {
            bool anyListener = false;
            for (const HostRule& host : world.hosts) {
                anyListener = anyListener || host.Listens();
            }
            if (port != 0 || !anyListener) {
                return port;
            }
        }
        if (options.net && options.smtpPort != 0) {
            break;  // nothing left to vary
        }
    }
    throw std::system_error(EADDRINUSE, std::generic_category(), "no free SMTP port for the hosts");
}

int Serve(World& world, const Options& options) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    // An ignored signal would never reach the signalfd.
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    RaiseDescriptorLimit();

    EventLoop loop;
    SignalWatch signalWatch(loop, signals);
    Stats stats;
    SmtpServer smtp(loop, world, stats);
    uint32_t net = 0;
    const uint16_t smtpPort = BindHosts(world, smtp, options, net);
    DnsServer dns(loop, world, stats);
    const uint16_t dnsPort = dns.Bind(net + 1, options.dnsPort);

    for (const HostRule& host : world.hosts) {
        if (host.address != 0) {
            std::printf("host %s %s\n", host.name.c_str(), Dotted(host.address).c_str());
        } else if (host.ipv6 && smtp.Ipv6Listening()) {
            std::printf("host %s ::1\n", host.name.c_str());
        }
    }
    std::printf("ready dns=%s:%u smtp=%u\n", Dotted(net + 1).c_str(), dnsPort, smtpPort);
    std::fflush(stdout);

    loop.Run();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    stats.cpuUserSeconds =
        static_cast<double>(usage.ru_utime.tv_sec) + usage.ru_utime.tv_usec / 1e6;
    stats.cpuSystemSeconds =
        static_cast<double>(usage.ru_stime.tv_sec) + usage.ru_stime.tv_usec / 1e6;
    std::cerr << "fakeworld statistics\n" << stats.Format() << std::flush;
    return 0;
}

}  // namespace
}  // namespace mv::fakeworld

int main(int argc, char** argv) {
    using namespace mv::fakeworld;
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        return kExitUsage;
    }
    std::optional<World> world = LoadWorld(options.worldFile);
    if (!world) {
        return kExitUsage;
    }
    if (options.checkOnly) {
        return 0;
    }
    try {
        return Serve(*world, options);
    } catch (const std::exception& e) {
        std::cerr << "mv-fakeworld: " << e.what() << "\n";
        return kExitFailure;
    }
}
