#include "platform/settings_file/settings_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>

#include "test_support.h"

namespace mv {
namespace {

using namespace std::string_literals;

TEST(SettingsDocument, KeepsWhatItDoesNotUnderstand) {
    const std::string text =
        "; written by hand\n"
        "stray line\n"
        "[Connection]\n"
        "  TimeOut = 45  \r\n"
        "Foreign=kept\n"
        "\n"
        "[DNS]\n"
        "Primary=10.0.0.1\n";
    SettingsDocument doc = SettingsDocument::Parse(text);
    EXPECT_EQ(doc.Serialize(), text);  // unchanged lines come back byte for byte
    EXPECT_EQ(doc.Value("connection", "TIMEOUT"), "45");
    EXPECT_EQ(doc.Value("DNS", "Secondary"), std::nullopt);
    EXPECT_EQ(doc.Sections(), (std::vector<std::string>{"Connection", "DNS"}));

    EXPECT_TRUE(doc.SetValue("CONNECTION", "Connections", "10"));  // new key, in its section
    EXPECT_TRUE(doc.SetValue("connection", "timeout", "60"));      // keeps its spelling
    EXPECT_FALSE(doc.SetValue("Connection", "TimeOut", "60"));
    EXPECT_TRUE(doc.SetValue("Environment", "Maximized", "true"));  // new section at the end
    EXPECT_EQ(doc.Serialize(),
              "; written by hand\n"
              "stray line\n"
              "[Connection]\n"
              "TimeOut=60\n"
              "Foreign=kept\n"
              "Connections=10\n"
              "\n"
              "[DNS]\n"
              "Primary=10.0.0.1\n"
              "\n"
              "[Environment]\n"
              "Maximized=true\n");

    EXPECT_TRUE(doc.DeleteSection("dns"));
    EXPECT_FALSE(doc.DeleteSection("dns"));
    EXPECT_EQ(doc.Value("DNS", "Primary"), std::nullopt);
    EXPECT_EQ(doc.Value("Environment", "Maximized"), "true");
}

TEST(SettingsDocument, AnyNameAndValueSurvive) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Plain", "value with = sign"},
        {"Spaces", "  padded  "},
        {"Lines", "one\ntwo\r\nthree"},
        {"Quoted", "\"in quotes\""},
        {"Controls", std::string("tab\there, nul\0x, bell\a", 22)},
        {"Backslash", "C:\\dir\\file.mlt"},
        {"key=with=equals", "v"},
        {"[looks like a section]", "v"},
        {";comment-like", "v"},
        {"", "the unnamed value"},
        {"Empty", ""},
        {"Unicode", "Não — 日本"},
    };
    SettingsDocument doc;
    for (const auto& [key, value] : cases) {
        doc.SetValue("S", key, value);
    }
    doc.SetValue("Odd ] [section]\n", "k", "v");
    const SettingsDocument again = SettingsDocument::Parse(doc.Serialize());
    for (const auto& [key, value] : cases) {
        EXPECT_EQ(again.Value("S", key), value) << key;
    }
    EXPECT_EQ(again.Value("Odd ] [section]\n", "k"), "v");
    EXPECT_EQ(again.SectionValues("s").size(), cases.size());
}

TEST(SettingsFile, KeyPathsMapToFilesInTheConfigFolder) {
    EXPECT_EQ(SettingsFile::PathForKey("\\software\\Corvane\\Mailvetter", "/home/u/.config"),
              "/home/u/.config/Corvane/Mailvetter.ini");
    EXPECT_EQ(SettingsFile::PathForKey("\\SOFTWARE\\..\\Corvane\\Mailvetter", "/c"),
              "/c/Corvane/Mailvetter.ini");

    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", "/somewhere", 1);
    EXPECT_EQ(SettingsFile::ConfigHome(), "/somewhere");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
    EXPECT_NE(SettingsFile::ConfigHome(), "relative");
    if (old) {
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

TEST(SettingsFile, WritesGoToDiskAndReadsTakeDefaults) {
    test::TempDir dir;
    SettingsFile file(dir / "Corvane" / "Mailvetter.ini");
    EXPECT_EQ(file.ReadValue("Connection", "TimeOut", "30"), "30");
    EXPECT_FALSE(std::filesystem::exists(file.Path()));
    ASSERT_TRUE(file.WriteValue("Connection", "TimeOut", "45"));
    EXPECT_EQ(test::ReadFile(file.Path()), "[Connection]\nTimeOut=45\n");
    EXPECT_EQ(file.ReadValue("connection", "timeout", "30"), "45");
    ASSERT_TRUE(file.WriteValue("MRU", "File1", "/a.mlt"));
    ASSERT_TRUE(file.WriteValue("MRU", "File2", "/b.mlt"));
    EXPECT_EQ(file.ReadSection("mru"), (SettingsValues{{"File1", "/a.mlt"}, {"File2", "/b.mlt"}}));
    ASSERT_TRUE(file.WriteSection("MRU", {{"File1", "/c.mlt"}}));
    EXPECT_EQ(file.ReadSection("MRU"), (SettingsValues{{"File1", "/c.mlt"}}));
    ASSERT_TRUE(file.DeleteSection("MRU"));
    EXPECT_TRUE(file.ReadSection("MRU").empty());
    EXPECT_EQ(file.ReadValue("Connection", "TimeOut", ""), "45");
}

TEST(SettingsFile, TwoStoresOnOneFileKeepEachOthersValues) {
    test::TempDir dir;
    SettingsFile first(dir / "s.ini");
    SettingsFile second(dir / "s.ini");
    ASSERT_TRUE(first.WriteValue("Connection", "TimeOut", "45"));
    ASSERT_TRUE(second.WriteValue("DNS", "Primary", "10.1.1.1"));
    ASSERT_TRUE(first.WriteValue("Connection", "From", "me@x.org"));
    EXPECT_EQ(second.ReadValue("Connection", "TimeOut", ""), "45");
    EXPECT_EQ(first.ReadValue("DNS", "Primary", ""), "10.1.1.1");
    EXPECT_EQ(second.ReadValue("Connection", "From", ""), "me@x.org");
}

TEST(SettingsFile, TwoProcessesWritingAtOnceLoseNothing) {
    test::TempDir dir;
    const std::filesystem::path path = dir / "s.ini";
    constexpr int kWrites = 40;
    std::fflush(nullptr);
    std::vector<pid_t> children;
    for (const char* section : {"A", "B"}) {
        const pid_t pid = fork();
        if (pid == 0) {
            SettingsFile file(path);
            bool ok = true;
            for (int i = 0; i < kWrites; ++i) {
                ok = file.WriteValue(section, "Key" + std::to_string(i), std::to_string(i)) && ok;
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    SettingsFile file(path);
    EXPECT_EQ(file.ReadSection("A").size(), size_t{kWrites});
    EXPECT_EQ(file.ReadSection("B").size(), size_t{kWrites});
}

TEST(SettingsFile, ABadLineIsLostAloneAndAWriteKeepsTheRest) {
    test::TempDir dir;
    const std::filesystem::path path = dir / "s.ini";
    const std::string before =
        "[Connection]\n"
        "TimeOut=45\n";
    const std::string after =
        "Connections=12\n"
        "[Conn\xFF\n"  // a broken section header hides the keys below it
        "Host=hidden\n"
        "[DNS]\n"
        "Primary=10.0.0.1\n"
        "bin\0ary\n"s;
    test::WriteFile(path, before + "From=Jos\xE9 <jose@example.com>\n" + after);
    SettingsFile file(path);
    for (const auto& [section, key, value] :
         std::vector<std::array<std::string, 3>>{{"Connection", "TimeOut", "45"},
                                                 {"Connection", "From", "(default)"},
                                                 {"Connection", "Connections", "12"},
                                                 {"Connection", "Host", "(default)"},
                                                 {"DNS", "Primary", "10.0.0.1"}}) {
        EXPECT_EQ(file.ReadValue(section, key, "(default)"), value) << key;
    }
    EXPECT_FALSE(file.Damaged());

    // Windows-1252 is stored as UTF-8, in place of the bad line; every other
    // byte stays as it was, and the file as it was read is kept.
    const std::string original = test::ReadFile(path);
    ASSERT_TRUE(file.WriteValue("Connection", "From", "Jos\xE9 <jose@example.com>"));
    const std::string written = test::ReadFile(path);
    EXPECT_EQ(written, before + "From=Jos\xC3\xA9 <jose@example.com>\n" + after);
    EXPECT_EQ(file.ReadValue("Connection", "From", ""), "Jos\xC3\xA9 <jose@example.com>");
    EXPECT_TRUE(test::ReadFile(path.string() + ".bad") == original);

    // A change that loses no bad line keeps that copy; dropping the last bad
    // line keeps the newer file instead.
    ASSERT_TRUE(file.WriteValue("Connection", "TimeOut", "50"));
    EXPECT_TRUE(test::ReadFile(path.string() + ".bad") == original);
    const std::string beforeDrop = test::ReadFile(path);
    ASSERT_TRUE(file.DeleteSection("DNS"));
    EXPECT_TRUE(test::ReadFile(path.string() + ".bad") == beforeDrop);
    EXPECT_EQ(test::ReadFile(path).find("bin"), std::string::npos);
}

TEST(SettingsFile, AnOversizedFileReadsAsEmptyAndIsKeptWhenReplaced) {
    test::TempDir dir;
    const std::filesystem::path path = dir / "s.ini";
    const std::string big = "[Connection]\nTimeOut=45\n" + std::string(1 << 20, ';') + "\n";
    test::WriteFile(path, big);
    SettingsFile file(path);
    EXPECT_EQ(file.ReadValue("Connection", "TimeOut", "30"), "30");
    EXPECT_TRUE(file.Damaged());

    // Removing nothing from an empty view writes nothing.
    EXPECT_TRUE(file.DeleteSection("MRU"));
    EXPECT_TRUE(test::ReadFile(path) == big);

    // A real change replaces it, after keeping a copy.
    ASSERT_TRUE(file.WriteValue("Connection", "From", "me@x.org"));
    EXPECT_TRUE(test::ReadFile(path.string() + ".bad") == big);
    EXPECT_EQ(test::ReadFile(path), "[Connection]\nFrom=me@x.org\n");
    EXPECT_FALSE(file.Damaged());
}

TEST(SettingsFile, WriterAndReaderAgreeOnTheSizeLimit) {
    test::TempDir dir;
    const std::filesystem::path path = dir / "s.ini";
    SettingsFile file(path);
    ASSERT_TRUE(file.WriteValue("C", "Small", "1"));
    // "[C]\nSmall=1\nBig=" + value + "\n" fills the file to the limit exactly.
    const std::string value(SettingsFile::kMaxFileSize - 17, 'v');
    ASSERT_TRUE(file.WriteValue("C", "Big", value));
    EXPECT_EQ(std::filesystem::file_size(path), SettingsFile::kMaxFileSize);
    EXPECT_TRUE(file.ReadValue("C", "Big", "") == value);

    const std::string full = test::ReadFile(path);
    EXPECT_FALSE(file.WriteValue("C", "Small", "12"));
    EXPECT_NE(file.LastError().find("larger than 1 MiB"), std::string::npos) << file.LastError();
    EXPECT_TRUE(test::ReadFile(path) == full);
    EXPECT_EQ(file.ReadValue("C", "Small", ""), "1");
}

TEST(SettingsFile, AFolderInTheWayIsNotAStore) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "s.ini");
    SettingsFile file(dir / "s.ini");
    EXPECT_EQ(file.ReadValue("A", "B", "default"), "default");
    EXPECT_FALSE(file.WriteValue("A", "B", "x"));
    EXPECT_FALSE(file.LastError().empty());
}

}  // namespace
}  // namespace mv
