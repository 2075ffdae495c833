// mailvetter-cli check when the first results show that this computer cannot
// check: the warning on standard error, the run stopped with exit status 3,
// or checked to its end with --keep-going.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fake_world.h"
#include "subprocess.h"
#include "test_support.h"

namespace mv {
namespace {

// Six domains LETTER0.test to LETTER5.test, each with its own mail host
// mx.LETTERn.test that behaves as told.
std::string SixDomains(const std::string& letter, const std::string& behaviour) {
    std::string world;
    for (int h = 0; h < 6; ++h) {
        const std::string domain = letter + std::to_string(h) + ".test";
        world.append("host mx.").append(domain).append(" ").append(behaviour).append("\n");
        world.append("domain ").append(domain).append(" mx mx.").append(domain).append("\n");
    }
    return world;
}

// 40 addresses over the 6 domains "r0.test" ... or "l0.test" ...
std::string List(char kind) {
    std::string list;
    for (int i = 0; i < 40; ++i)
        list += "u" + std::to_string(i) + "@" + kind + std::to_string(i % 6) + ".test\n";
    return list;
}

size_t Lines(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(CheckWarnings, AComputerThatCannotCheckStopsTheRunUnlessToldToKeepGoing) {
    test::FakeWorld world(SixDomains("r", "refuse") + SixDomains("l", "blocklist"));
    test::TempDir config;
    const struct {
        char kind;
        bool keepGoing;
        const char* warning;
        int exitCode;
    } cases[] = {
        {'r', false, "warning: outgoing port 25 is probably blocked: the first 20 connections", 3},
        {'l', false, "warning: receivers refuse this computer (block list): the mail servers of",
         3},
        {'r', true, "warning: outgoing port 25 is probably blocked", 0},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {test::CliPath(),
                                         "check",
                                         "--dns",
                                         world.dnsServer(),
                                         "--dns-port",
                                         std::to_string(world.dnsPort()),
                                         "--smtp-port",
                                         std::to_string(world.smtpPort()),
                                         "--from",
                                         "me@checker.test",
                                         "--connections",
                                         "4",
                                         "-"};
        if (c.keepGoing) args.push_back("--keep-going");
        const test::ProcessResult r = test::RunProgram(
            args, List(c.kind), {"XDG_CONFIG_HOME=" + config.path().string()}, 30000);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE(r.err.find(c.warning), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("warning:"), r.err.rfind("warning:")) << "told once: " << r.err;
        if (c.kind == 'l') {  // the refusing server groups are named
            EXPECT_NE(r.err.find("this computer, not the address (l"), std::string::npos) << r.err;
        }
        // Stopped: the addresses begun are written, the others are not.
        EXPECT_EQ(Lines(r.out) == 41u, c.keepGoing) << r.out;
    }
}

}  // namespace
}  // namespace mv
