#include "fake_world.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "subprocess.h"
#include "test_support.h"

extern char** environ;

namespace mv::test {

namespace {

using Clock = std::chrono::steady_clock;

// Starts `tool` with `args`; its standard output goes to `outFd` (or
// /dev/null when -1) and its standard error to the file `errPath`.
pid_t Spawn(const std::filesystem::path& tool, const std::vector<std::string>& args, int outFd,
            const std::filesystem::path& errPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (outFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // Sockets of the test that lack close-on-exec must not stay open in the world.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    // The world must see SIGTERM whatever this process blocks or ignores.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> strings = {tool.string()};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    argv.reserve(strings.size() + 1);
    for (std::string& s : strings) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (error != 0) {
        throw std::runtime_error("cannot start " + tool.string() + ": " + std::strerror(error));
    }
    return pid;
}

// Waits for the process to end, killing it after `limit`; its wait status.
int Reap(pid_t pid, std::chrono::milliseconds limit) {
    return WaitForExit(pid, static_cast<int>(limit.count()));
}

std::vector<std::string> CommonArgs(const std::filesystem::path& worldFile,
                                    const FakeWorld::Options& options) {
    std::vector<std::string> args = {"--world", worldFile.string()};
    if (options.dnsPort != 0) {
        args.insert(args.end(), {"--dns-port", std::to_string(options.dnsPort)});
    }
    if (options.smtpPort != 0) {
        args.insert(args.end(), {"--smtp-port", std::to_string(options.smtpPort)});
    }
    if (!options.bindNet.empty()) {
        args.insert(args.end(), {"--bind-net", options.bindNet});
    }
    return args;
}

}  // namespace

std::filesystem::path FakeWorld::DefaultTool() {
    // MV_TOOLS_DIR lets a test run against the tools of another build.
    const char* dir = std::getenv("MV_TOOLS_DIR");
    if (dir == nullptr || *dir == '\0') return MV_FAKEWORLD_PATH;
    return std::filesystem::path(dir) / "fakeworld" / "mv-fakeworld";
}

FakeWorld::FakeWorld(const std::string& worldText) : FakeWorld(worldText, Options{}) {}

FakeWorld::FakeWorld(const std::string& worldText, const Options& options)
    : dir_(std::make_unique<TempDir>()) {
    const std::filesystem::path tool = options.tool.empty() ? DefaultTool() : options.tool;
    WriteFile(*dir_ / "world.txt", worldText);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    try {
        pid_ = Spawn(tool, CommonArgs(*dir_ / "world.txt", options), pipeFds[1], *dir_ / "stderr");
    } catch (...) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        throw;
    }
    close(pipeFds[1]);
    out_ = pipeFds[0];
    try {
        WaitReady(out_, options.readyLimit);
    } catch (...) {
        Stop();
        throw;
    }
}

FakeWorld::~FakeWorld() {
    Stop();
}

// Reads "host NAME ADDRESS" lines up to "ready dns=IP:PORT smtp=PORT".
void FakeWorld::WaitReady(int out, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    std::string text;
    for (;;) {
        size_t eol;
        while ((eol = text.find('\n')) != std::string::npos) {
            std::istringstream line(text.substr(0, eol));
            text.erase(0, eol + 1);
            std::string word, first, second;
            line >> word >> first >> second;
            if (word == "host") {
                hosts_[first] = second;
            } else if (word == "ready") {
                const size_t colon = first.find(':');
                dnsServer_ = first.substr(4, colon - 4);  // after "dns="
                dnsPort_ = static_cast<uint16_t>(std::stoi(first.substr(colon + 1)));
                smtpPort_ = static_cast<uint16_t>(std::stoi(second.substr(5)));  // after "smtp="
                return;
            }
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{out, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            throw std::runtime_error("mv-fakeworld did not get ready in time");
        }
        char buffer[4096];
        const ssize_t n = read(out, buffer, sizeof buffer);
        if (n <= 0) {
            const int status = Reap(pid_, std::chrono::seconds(5));
            pid_ = -1;
            throw std::runtime_error("mv-fakeworld stopped before it got ready (status " +
                                     std::to_string(WEXITSTATUS(status)) +
                                     "): " + ReadFile(*dir_ / "stderr"));
        }
        text.append(buffer, static_cast<size_t>(n));
    }
}

std::string FakeWorld::hostAddress(std::string_view name) const {
    std::string key(name);
    for (char& c : key) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (!key.empty() && key.back() == '.') key.pop_back();
    auto it = hosts_.find(key);
    if (it == hosts_.end()) {
        throw std::invalid_argument("the fake world has no host '" + key + "' with an address");
    }
    return it->second;
}

const std::string& FakeWorld::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        const int status = Reap(pid_, std::chrono::seconds(10));
        pid_ = -1;
        statistics_ = ReadFile(*dir_ / "stderr");
        // A crash or a sanitizer report inside the fake is a fault to see.
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            ADD_FAILURE() << "mv-fakeworld ended with wait status " << status << ":\n"
                          << statistics_;
        }
    }
    if (out_ >= 0) {
        close(out_);
        out_ = -1;
    }
    return statistics_;
}

long long FakeWorld::Statistic(std::string_view key) {
    Stop();
    const std::string pattern = " " + std::string(key) + "=";
    const size_t at = statistics_.find(pattern);
    if (at == std::string::npos) {
        return -1;
    }
    return std::atoll(statistics_.c_str() + at + pattern.size());
}

FakeWorld::CheckResult FakeWorld::CheckWorld(const std::string& worldText) {
    return CheckWorld(worldText, Options{});
}

FakeWorld::CheckResult FakeWorld::CheckWorld(const std::string& worldText, const Options& options) {
    TempDir dir;
    WriteFile(dir / "world.txt", worldText);
    std::vector<std::string> args = {"--check"};
    for (std::string& arg : CommonArgs(dir / "world.txt", options)) {
        args.push_back(std::move(arg));
    }
    const pid_t pid =
        Spawn(options.tool.empty() ? DefaultTool() : options.tool, args, -1, dir / "stderr");
    const int status = Reap(pid, std::chrono::seconds(10));
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(dir / "stderr")};
}

}  // namespace mv::test
