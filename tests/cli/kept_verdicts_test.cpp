// check --save and import keep the verdicts; without the findings file the codes decide.
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "fake_world.h"
#include "subprocess.h"
#include "test_support.h"

namespace mv {
namespace {

TEST(KeptVerdicts, SavedCheckedAndOpenedAgain) {
    test::FakeWorld world(
        "host mx.ok.test users=valid\nhost mx.all.test accept\n"
        "domain ok.test mx 10 mx.ok.test\ndomain all.test mx 10 mx.all.test\n");
    test::TempDir dir;
    const std::string project = dir / "p.mlt", out = dir / "out.txt";
    const auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), test::CliPath());
        return test::RunProgram(args, "", {"XDG_CONFIG_HOME=" + dir.path().string()});
    };
    const auto exported = [&](const std::string& verdict) {
        EXPECT_EQ(cli({"export", project, "--to", out, "--verdict", verdict}).exitCode, 0);
        return test::ReadFile(out);
    };
    test::WriteFile(dir / "l.txt", "valid@ok.test\nnobody@ok.test\nany@all.test\nx@none.test\n");
    ASSERT_EQ(cli({"import", dir / "l.txt", "--to", project}).exitCode, 0);
    const auto r = cli({"check", project, "--save", "--format", "jsonl", "--from", "me@c.test",
                        "--dns", world.dnsServer(), "--dns-port", std::to_string(world.dnsPort()),
                        "--smtp-port", std::to_string(world.smtpPort()), "--per-server", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::map<std::string, std::string> checked;  // address: verdict
    const std::regex fields(R"re("address":"([^"]*)".*"verdict":"([^"]*)")re");
    for (auto m = std::sregex_iterator(r.out.begin(), r.out.end(), fields);
         m != std::sregex_iterator(); ++m)
        checked[(*m)[1]] = (*m)[2];
    ASSERT_EQ(checked["any@all.test"], "risky");  // its code says deliverable

    test::WriteFile(dir / "more.txt", "later@ok.test\n");
    ASSERT_EQ(cli({"import", dir / "more.txt", "--to", project}).exitCode, 0);
    for (const char* verdict : {"deliverable", "risky", "undeliverable", "unknown"}) {
        std::string expected;
        for (const auto& [address, meaning] : checked)
            if (meaning == verdict) expected += address + "\n";
        EXPECT_EQ(exported(verdict), expected) << verdict;
    }
    std::filesystem::remove(project + ".findings");  // the codes alone decide
    EXPECT_EQ(exported("risky"), "");
    EXPECT_EQ(exported("deliverable"), "valid@ok.test\nany@all.test\n");
}

}  // namespace
}  // namespace mv
