#include <gtest/gtest.h>

#include "platform/resolver/system_name_servers.h"
#include "platform/text/code_page.h"
#include "test_support.h"

namespace mv {
namespace {

TEST(CodePage, AnsiIsWindows1252BothWays) {
    const CodePage& ansi = CodePage::Ansi();
    EXPECT_EQ(ansi.ToUtf8("Jos\xE9 \x80 \x9F"), "José € Ÿ");
    EXPECT_EQ(ansi.FromUtf8("José € Ÿ"), "Jos\xE9 \x80 \x9F");
    EXPECT_EQ(ansi.FromUtf8("Zürich 日本"), "Z\xFCrich ??");  // no place in the code page
    EXPECT_EQ(ansi.FromUtf8("bad \xC3"), "bad ?");            // malformed UTF-8
}

TEST(CodePage, UndefinedAnsiBytesSurviveARoundTrip) {
    const CodePage& ansi = CodePage::Ansi();
    const std::string raw = "\x81\x8D\x8F\x90\x9D";
    EXPECT_EQ(ansi.FromUtf8(ansi.ToUtf8(raw)), raw);
}

TEST(CodePage, OemIsCodePage437) {
    const CodePage& oem = CodePage::Oem();
    EXPECT_EQ(oem.ToUtf8("M\x81nchen \x9B"), "München ¢");
    EXPECT_EQ(oem.FromUtf8("München"), "M\x81nchen");
    EXPECT_EQ(oem.FromUtf8("€"), "?");
}

TEST(CodePage, Utf8Validation) {
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("Grüße \xEF\xBF\xBD"));
    EXPECT_FALSE(IsValidUtf8("Gr\xFC\xDF"));    // Windows-1252 bytes
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));      // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogate
}

TEST(SystemNameServers, IPv4NameserverLinesJoinedByBlank) {
    test::TempDir dir;
    test::WriteFile(dir / "resolv.conf",
                    "# comment\nsearch example.org\nnameserver 10.0.0.1\n"
                    "nameserver ::1\nnameserver   192.168.1.1  \noptions ndots:1\n");
    EXPECT_EQ(SystemNameServers((dir / "resolv.conf").string()), "10.0.0.1 192.168.1.1");
    EXPECT_EQ(SystemNameServers((dir / "missing").string()), "");
}

}  // namespace
}  // namespace mv
