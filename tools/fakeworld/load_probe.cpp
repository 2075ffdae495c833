// mv-fakeworld-probe: measures how many whole checks per second the fake
// world answers. It starts mv-fakeworld with a benchmark world, then keeps
// --parallel checks in flight from one epoll loop; one check is an MX query,
// an A query for the exchanger, and an SMTP dialogue (greeting, HELO, MAIL
// FROM, RCPT TO, RSET, QUIT) on a new connection. Output: checks per second,
// then the fake world's own statistics.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    std::string fakeworld;
    long checks = 200000;
    int parallel = 200;
    int hosts = 16;    // spread the connections over this many host addresses
    bool pin = false;  // the probe on processor 0, the world on processor 1
};

// Keeps process `pid` (0: this one) on processor `cpu`; a benchmark that
// pins both sides measures the same work however the system would have
// placed them.
void PinTo(pid_t pid, int cpu) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    if (sched_setaffinity(pid, sizeof set, &set) != 0) std::perror("sched_setaffinity");
}

struct World {
    pid_t pid = -1;
    sockaddr_in dns{};
    uint16_t smtpPort = 0;
};

// Starts the fake world with `hosts` hosts, each the MX of "*.hN.bench".
World StartWorld(const Settings& settings) {
    char path[] = "/tmp/mv-probe-XXXXXX";
    const int fileFd = mkstemp(path);
    std::string text = "# benchmark world of mv-fakeworld-probe\n";
    for (int i = 0; i < settings.hosts; ++i) {
        const std::string n = std::to_string(i);
        for (const std::string& part : {"host mx" + n, ".bench accept\ndomain *.h" + n,
                                        ".bench mx 10 mx" + n, std::string(".bench\n")}) {
            text += part;
        }
    }
    if (fileFd < 0 ||
        write(fileFd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        std::perror("write world file");
        std::exit(1);
    }
    close(fileFd);
    int out[2];
    if (pipe(out) != 0) {
        std::exit(1);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string program = settings.fakeworld;
    std::vector<char*> argv = {program.data(), const_cast<char*>("--world"), path, nullptr};
    World world;
    if (posix_spawn(&world.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    FILE* lines = fdopen(out[0], "r");
    char line[512];
    unsigned a, b, c, d, dnsPort, smtpPort;
    while (std::fgets(line, sizeof line, lines) != nullptr) {
        if (std::sscanf(line, "ready dns=%u.%u.%u.%u:%u smtp=%u", &a, &b, &c, &d, &dnsPort,
                        &smtpPort) == 6) {
            world.dns.sin_family = AF_INET;
            world.dns.sin_addr.s_addr = htonl(a << 24 | b << 16 | c << 8 | d);
            world.dns.sin_port = htons(static_cast<uint16_t>(dnsPort));
            world.smtpPort = static_cast<uint16_t>(smtpPort);
            unlink(path);
            return world;  // `lines` stays open so the world never writes to a closed pipe
        }
    }
    std::fprintf(stderr, "mv-fakeworld did not get ready\n");
    std::exit(1);
}

// One check in flight.
struct Check {
    enum Phase { kMx, kA, kSmtp, kIdle } phase = kIdle;
    long number = 0;
    int fd = -1;
    int step = 0;  // SMTP replies received so far
    Clock::time_point sentAt;
    uint32_t address = 0;
    std::string in;
};

class Probe {
  public:
    Probe(const Settings& settings, const World& world) : settings_(settings), world_(world) {
        epoll_ = epoll_create1(0);
        udp_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        const int size = 4 << 20;
        setsockopt(udp_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        Watch(udp_, EPOLLIN, kUdpTag);
        checks_.resize(static_cast<size_t>(settings.parallel));
    }

    double Run() {
        const auto start = Clock::now();
        for (size_t i = 0; i < checks_.size(); ++i) {
            Begin(i);
        }
        epoll_event events[256];
        while (done_ < settings_.checks) {
            const int n = epoll_wait(epoll_, events, 256, 100);
            for (int i = 0; i < n; ++i) {
                if (events[i].data.u64 == kUdpTag) {
                    ReadDns();
                } else {
                    ReadSmtp(static_cast<size_t>(events[i].data.u64));
                }
            }
            ResendLostQueries();
        }
        return std::chrono::duration<double>(Clock::now() - start).count();
    }
    long failures() const { return failures_; }

  private:
    static constexpr uint64_t kUdpTag = ~uint64_t{0};

    void Watch(int fd, uint32_t events, uint64_t tag) {
        epoll_event ev{};
        ev.events = events;
        ev.data.u64 = tag;
        epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev);
    }

    std::string Domain(const Check& c) const {
        return "u" + std::to_string(c.number) + ".h" + std::to_string(c.number % settings_.hosts) +
               ".bench";
    }

    void Begin(size_t slot) {
        Check& c = checks_[slot];
        if (started_ >= settings_.checks) {
            c.phase = Check::kIdle;
            return;
        }
        c.number = started_++;
        c.phase = Check::kMx;
        SendQuery(slot);
    }

    // The query ID is the slot; the question is the check's domain or its exchanger.
    void SendQuery(size_t slot) {
        Check& c = checks_[slot];
        const std::string name = c.phase == Check::kMx
                                     ? Domain(c)
                                     : "mx" + std::to_string(c.number % settings_.hosts) + ".bench";
        uint8_t q[300] = {static_cast<uint8_t>(slot >> 8), static_cast<uint8_t>(slot), 1, 0, 0, 1};
        size_t pos = 12;
        for (size_t start = 0; start <= name.size();) {
            size_t dot = std::min(name.find('.', start), name.size());
            q[pos++] = static_cast<uint8_t>(dot - start);
            std::memcpy(q + pos, name.data() + start, dot - start);
            pos += dot - start;
            start = dot + 1;
        }
        q[pos++] = 0;
        const uint8_t type = c.phase == Check::kMx ? 15 : 1;
        const uint8_t tail[] = {0, type, 0, 1};
        std::memcpy(q + pos, tail, 4);
        pos += 4;
        c.sentAt = Clock::now();
        sendto(udp_, q, pos, 0, reinterpret_cast<const sockaddr*>(&world_.dns), sizeof world_.dns);
    }

    void ReadDns() {
        uint8_t r[600];
        for (;;) {
            const ssize_t n = recv(udp_, r, sizeof r, 0);
            if (n < 0) {
                return;
            }
            const size_t slot = static_cast<size_t>(r[0] << 8 | r[1]);
            if (n < 12 || slot >= checks_.size()) {
                continue;
            }
            Check& c = checks_[slot];
            const int answers = r[6] << 8 | r[7];
            if (QuestionType(r, static_cast<size_t>(n)) != (c.phase == Check::kMx ? 15 : 1)) {
                continue;  // a late answer to a query asked again
            }
            if ((r[3] & 0xF) != 0 || answers < 1) {
                Fail(slot);
            } else if (c.phase == Check::kMx) {
                c.phase = Check::kA;
                SendQuery(slot);
            } else if (c.phase == Check::kA && n >= 4) {
                std::memcpy(&c.address, r + n - 4, 4);  // the A record's data ends the datagram
                Connect(slot);
            }
        }
    }

    static int QuestionType(const uint8_t* r, size_t n) {
        size_t pos = 12;
        while (pos < n && r[pos] != 0) {
            pos += 1 + r[pos];
        }
        return pos + 2 < n ? r[pos + 1] << 8 | r[pos + 2] : -1;
    }

    void Connect(size_t slot) {
        Check& c = checks_[slot];
        c.phase = Check::kSmtp;
        c.step = 0;
        c.in.clear();
        c.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = c.address;
        sa.sin_port = htons(world_.smtpPort);
        if (connect(c.fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 &&
            errno != EINPROGRESS) {
            return Fail(slot);
        }
        Watch(c.fd, EPOLLIN, slot);
    }

    // Reads replies; each complete reply sends the next command of the dialogue.
    void ReadSmtp(size_t slot) {
        Check& c = checks_[slot];
        char buffer[1024];
        const ssize_t n = recv(c.fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            if (n < 0 && errno == EAGAIN) {
                return;
            }
            return c.step == 6 ? Finish(slot, true) : Fail(slot);
        }
        c.in.append(buffer, static_cast<size_t>(n));
        static const char* const kCommands[] = {"HELO probe\r\n", "MAIL FROM:<probe@bench>\r\n",
                                                nullptr, "RSET\r\n", "QUIT\r\n"};
        static const char* const kCodes[] = {"220", "250", "250", "250", "250", "221"};
        size_t eol;
        while ((eol = c.in.find("\r\n")) != std::string::npos) {
            const std::string line = c.in.substr(0, eol);
            c.in.erase(0, eol + 2);
            if (line.size() > 3 && line[3] == '-') {
                continue;
            }
            if (c.step > 5 || line.compare(0, 3, kCodes[c.step]) != 0) {
                return Fail(slot);
            }
            const int next = c.step++;
            if (next == 5) {
                continue;  // 221: the server closes
            }
            std::string command = next == 2 ? "RCPT TO:<" + Domain(c) + ">\r\n" : kCommands[next];
            if (send(c.fd, command.data(), command.size(), MSG_NOSIGNAL) !=
                static_cast<ssize_t>(command.size())) {
                return Fail(slot);
            }
        }
    }

    void Finish(size_t slot, bool ok) {
        Check& c = checks_[slot];
        if (c.fd >= 0) {
            close(c.fd);
        }
        c.fd = -1;
        if (!ok) {
            ++failures_;
        }
        ++done_;
        Begin(slot);
    }
    void Fail(size_t slot) { Finish(slot, false); }

    // UDP may drop a datagram under load: ask again after a second.
    void ResendLostQueries() {
        const auto now = Clock::now();
        if (now - lastScan_ < std::chrono::milliseconds(100)) {
            return;
        }
        lastScan_ = now;
        for (size_t i = 0; i < checks_.size(); ++i) {
            const Check& c = checks_[i];
            if ((c.phase == Check::kMx || c.phase == Check::kA) &&
                now - c.sentAt > std::chrono::seconds(1)) {
                SendQuery(i);
            }
        }
    }

    const Settings& settings_;
    const World& world_;
    int epoll_ = -1;
    int udp_ = -1;
    std::vector<Check> checks_;
    long started_ = 0;
    long done_ = 0;
    long failures_ = 0;
    Clock::time_point lastScan_ = Clock::now();
};

std::string SiblingPath(const char* name) {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, n > 0 ? static_cast<size_t>(n) : 0);
    return path.substr(0, path.rfind('/') + 1) + name;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    settings.fakeworld = SiblingPath("mv-fakeworld");
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--fakeworld") {
            settings.fakeworld = argv[i + 1];
        } else if (arg == "--checks") {
            settings.checks = std::atol(argv[i + 1]);
        } else if (arg == "--parallel") {
            settings.parallel = std::atoi(argv[i + 1]);
        } else if (arg == "--hosts") {
            settings.hosts = std::atoi(argv[i + 1]);
        } else if (arg == "--pin") {
            settings.pin = std::atoi(argv[i + 1]) != 0;
        } else {
            std::fprintf(stderr,
                         "usage: mv-fakeworld-probe [--fakeworld PATH] [--checks N] [--parallel K] "
                         "[--hosts H] [--pin 0|1]\n");
            return 2;
        }
    }
    if (settings.checks < 1 || settings.parallel < 1 || settings.parallel > 60000 ||
        settings.hosts < 1 || settings.hosts > 254) {
        std::fprintf(stderr, "mv-fakeworld-probe: values out of range\n");
        return 2;
    }
    const World world = StartWorld(settings);
    if (settings.pin) {
        PinTo(0, 0);
        PinTo(world.pid, 1);
    }
    Probe probe(settings, world);
    const double seconds = probe.Run();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("checks=%ld failures=%ld parallel=%d seconds=%.2f checks/s=%.0f probe-cpu=%.3f\n",
                settings.checks, probe.failures(), settings.parallel, seconds,
                static_cast<double>(settings.checks) / seconds, cpu);
    std::fflush(stdout);
    kill(world.pid, SIGTERM);
    int status = 0;
    waitpid(world.pid, &status, 0);
    return probe.failures() == 0 ? 0 : 1;
}
