// Runs the fake mail world (tools/fakeworld, program mv-fakeworld) in its own
// process for a test or a benchmark: a DNS zone and scripted SMTP hosts on
// loopback, described by a world text (format in tools/fakeworld/README.md).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace mv::test {

class TempDir;

class FakeWorld {
  public:
    struct Options {
        // The program; empty: $MV_TOOLS_DIR/fakeworld/mv-fakeworld.
        std::filesystem::path tool;
        uint16_t dnsPort = 0;   // 0: an ephemeral port
        uint16_t smtpPort = 0;  // 0: one port chosen for all hosts
        std::string bindNet;    // "127.A.B"; empty: a random /24 per instance
        std::chrono::milliseconds readyLimit{10000};
    };
    struct CheckResult {
        int exitCode = -1;
        std::string errors;  // standard error
    };

    // Starts the world and waits until it serves; throws std::runtime_error
    // with the program's messages when it does not start.
    explicit FakeWorld(const std::string& worldText);
    FakeWorld(const std::string& worldText, const Options& options);
    ~FakeWorld();  // stops the process
    FakeWorld(const FakeWorld&) = delete;
    FakeWorld& operator=(const FakeWorld&) = delete;

    const std::string& dnsServer() const { return dnsServer_; }
    uint16_t dnsPort() const { return dnsPort_; }
    uint16_t smtpPort() const { return smtpPort_; }
    pid_t pid() const { return pid_; }  // the world's process
    // Dotted address of a host of the world file (as written there, "*.bench"
    // for a pattern); throws std::invalid_argument for a host without one.
    std::string hostAddress(std::string_view name) const;

    // Stops the process (SIGTERM) and returns the statistics it printed;
    // later calls return the same text.
    const std::string& Stop();
    const std::string& statistics() const { return statistics_; }
    // One counter of the statistics ("connections", "data", "RCPT",
    // "queries", "mx", ...); stops the world first. -1 when it is missing.
    long long Statistic(std::string_view key);

    // Runs "mv-fakeworld --check" on a world text: its exit code (0 good,
    // 2 bad) and its messages.
    static CheckResult CheckWorld(const std::string& worldText);
    static CheckResult CheckWorld(const std::string& worldText, const Options& options);
    static std::filesystem::path DefaultTool();

  private:
    void WaitReady(int out, std::chrono::milliseconds limit);

    std::unique_ptr<TempDir> dir_;
    pid_t pid_ = -1;
    int out_ = -1;  // the program's standard output, kept open while it runs
    std::string dnsServer_;
    uint16_t dnsPort_ = 0;
    uint16_t smtpPort_ = 0;
    std::map<std::string, std::string, std::less<>> hosts_;
    std::string statistics_;
};

}  // namespace mv::test
