// The About box's view of the machine: the name in os-release, read as the
// shell reads it, and what the running system reports.
#include <gtest/gtest.h>

#include "platform/process/system_info.h"

namespace mv {
namespace {

TEST(SystemInfo, PrettyNameIsReadAsTheShellReadsIt) {
    const std::pair<std::string, std::string> cases[] = {
        {"NAME=x\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n",
         "Debian GNU/Linux 12 (bookworm)"},
        {"PRETTY_NAME='It''s here'", "Its here"},
        {"PRETTY_NAME=\"a \\\"b\\\" \\\\ \\$c \\n\"", "a \"b\" \\ $c \\n"},
        {"PRETTY_NAME=Bare\\ word ignored", "Bare word"},
        {"  PRETTY_NAME=\"Indented, CRLF\"\r\n", "Indented, CRLF"},
        {"PRETTY_NAME=first\nPRETTY_NAME=last", "last"},
        {"PRETTY_NAME=\"unterminated\nsecond line\"", "unterminated"},
        {"#PRETTY_NAME=commented\nNAME=none", ""},
        {"", ""},
    };
    for (const auto& [text, name] : cases)
        EXPECT_EQ(OsReleasePrettyName(text), name) << text;
}

TEST(SystemInfo, TheRunningSystemReportsItsKernelAndMemory) {
    const SystemInfo info = ReadSystemInfo();
    EXPECT_FALSE(info.prettyName.empty());
    EXPECT_FALSE(info.release.empty());
    EXPECT_FALSE(info.version.empty());
    EXPECT_GT(info.physicalMemoryBytes, uint64_t{16} << 20);
}

}  // namespace
}  // namespace mv
