#include <gtest/gtest.h>

#include <memory>

#include "settings/ini_store.h"
#include "settings/tini.h"
#include "test_support.h"

namespace mv {
namespace {

std::filesystem::path StoreFile(const test::TempDir& dir) {
    return dir / "Corvane" / "Mailvetter.ini";
}

TEST(TINI, FirstStartReadsTheDefaultsAndWritesNothing) {
    test::TempDir dir;
    TINI ini(dir.path());
    EXPECT_EQ(ini.ilConnections.AsInteger(), 200);
    EXPECT_EQ(ini.ilTimeOut.AsInteger(), 30);
    EXPECT_EQ(ini.ilHostFromDomain.AsInteger(), 1);
    EXPECT_FALSE(ini.isMaximized.AsBoolean());
    EXPECT_EQ(ini.ilFrom.Text(), "");
    EXPECT_EQ(ini.ilHost.Text(), "");
    EXPECT_EQ(ini.ilDNS1.Text(), "");
    EXPECT_EQ(ini.ilDNS2.Text(), "");
    EXPECT_TRUE(ini.isToleranceZero.AsBoolean());
    EXPECT_FALSE(ini.isToleranceMailboxUnavailable.AsBoolean());
    EXPECT_FALSE(ini.isToleranceExceededStorage.AsBoolean());
    EXPECT_FALSE(ini.isToleranceTimeOut.AsBoolean());
    EXPECT_EQ(ini.ilAcceptAllProbe.AsInteger(), 1);
    EXPECT_EQ(ini.ilRecheckDeferred.AsInteger(), 0);
    EXPECT_EQ(ini.ilBlockLists.Text(), "zen.spamhaus.org,bl.spamcop.net");
    EXPECT_EQ(ini.ilPerServer.AsInteger(), 5);
    EXPECT_EQ(ini.ilPerServerRate.AsInteger(), 0);
    EXPECT_EQ(ini.ilSourceAddress.Text(), "");
    // The store's place exists from the start; no value is written yet.
    EXPECT_TRUE(std::filesystem::is_directory(dir / "Corvane"));
    EXPECT_FALSE(std::filesystem::exists(StoreFile(dir)));
}

TEST(TINI, ValuesPersistFromOneRunToTheNext) {
    test::TempDir dir;
    {
        TINI ini(dir.path());
        ini.ilTimeOut.SetAsInteger(45);
        ini.isMaximized.SetAsBoolean(true);
        ini.ilFrom.SetText("me@example.org");
    }
    EXPECT_EQ(test::ReadFile(StoreFile(dir)),
              "[Connection]\nTimeOut=45\nFrom=me@example.org\n\n[Environment]\nMaximized=true\n");
    TINI ini(dir.path());
    EXPECT_EQ(ini.ilTimeOut.AsInteger(), 45);
    EXPECT_TRUE(ini.isMaximized.AsBoolean());
    EXPECT_EQ(ini.ilFrom.Text(), "me@example.org");
}

TEST(TINI, AWindows1252ValueIsStoredAsUtf8AndEveryOtherKeyStillReads) {
    test::TempDir dir;
    {
        TINI ini(dir.path());
        ini.ilTimeOut.SetAsInteger(45);
        ini.ilFrom.SetText("Jos\xE9 <jose@example.com>");
        EXPECT_EQ(ini.ilFrom.Text(), "Jos\xC3\xA9 <jose@example.com>");
        ini.ilDNS1.SetText("10.0.0.1");
    }
    TINI ini(dir.path());
    EXPECT_EQ(ini.ilTimeOut.AsInteger(), 45);
    EXPECT_EQ(ini.ilFrom.Text(), "Jos\xC3\xA9 <jose@example.com>");
    EXPECT_EQ(ini.ilDNS1.Text(), "10.0.0.1");
}

TEST(TINI, BooleansTakeTheEnglishTrueWordInAnyCase) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "Corvane");
    for (const auto& [stored, expected] :
         std::vector<std::pair<std::string, bool>>{{"TRUE", true},
                                                   {"True", true},
                                                   {"true", true},
                                                   {"yes", false},
                                                   {"1", false},
                                                   {"Sim", false},
                                                   {" true", false}}) {
        test::WriteFile(StoreFile(dir), "[Environment]\nMaximized=\"" + stored + "\"\n");
        TINI ini(dir.path());
        EXPECT_EQ(ini.isMaximized.AsBoolean(), expected) << stored;
    }
}

TEST(TINI, NumbersThatAreNotNumbersReadAsZero) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "Corvane");
    test::WriteFile(StoreFile(dir), "[Connection]\nTimeOut=abc\nConnections=12ab\n");
    TINI ini(dir.path());
    EXPECT_EQ(ini.ilTimeOut.AsInteger(), 0);
    EXPECT_EQ(ini.ilConnections.AsInteger(), 12);
}

TEST(TINI, AGarbageFileReadsAsDefaults) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "Corvane");
    std::string garbage;
    for (int i = 0; i < 4096; ++i) {
        garbage += static_cast<char>((i * 7919) % 256);
    }
    test::WriteFile(StoreFile(dir), garbage);
    TINI ini(dir.path());
    EXPECT_EQ(ini.ilConnections.AsInteger(), 200);
    EXPECT_EQ(ini.ilTimeOut.AsInteger(), 30);
    EXPECT_FALSE(ini.isMaximized.AsBoolean());
    EXPECT_EQ(test::ReadFile(StoreFile(dir)), garbage);  // reading never rewrites
}

TEST(TINILinha, ParsesWholeNumbersAsDocumented) {
    const std::vector<std::pair<std::string, int32_t>> cases = {
        {"", 0},
        {"abc", 0},
        {"42", 42},
        {"   42", 42},
        {"-7", -7},
        {"+7", 7},
        {"12ab", 12},
        {"4 2", 4},
        {"$1F", 31},
        {"x1f", 31},
        {"X10", 16},
        {"0x10", 16},
        {"-$10", -16},
        {"$FFFFFFFF", -1},
        {"$", 0},
        {"- 5", 0},
        {"2147483647", 2147483647},
        {"99999999999", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-99999999999", -2147483647 - 1},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(TINILinha::ParseInteger(text), value) << text;
    }
}

TEST(TINILinha, LoadsOnceAndWritesThroughOnlyOnChange) {
    test::TempDir dir;
    TINIArquivo store(dir.path());
    store.SetFileName("\\software\\Test\\App");
    TINISecao section("Connection", &store);
    TINILinha key("TimeOut", "30", &section);
    const std::filesystem::path file = dir / "Test" / "App.ini";

    EXPECT_FALSE(key.Loaded());
    EXPECT_EQ(key.Text(), "30");
    EXPECT_TRUE(key.Loaded());
    // A change made from outside after the first read is not seen.
    test::WriteFile(file, "[Connection]\nTimeOut=99\n");
    EXPECT_EQ(key.Text(), "30");

    key.SetText("45");
    EXPECT_FALSE(key.Modified());
    EXPECT_EQ(test::ReadFile(file), "[Connection]\nTimeOut=45\n");
    // The same text again writes nothing: the file removed meanwhile stays away.
    std::filesystem::remove(file);
    key.SetText("45");
    EXPECT_FALSE(std::filesystem::exists(file));

    // Writing the default over a stored value that was never read still writes.
    test::WriteFile(file, "[Connection]\nTimeOut=99\n");
    TINILinha fresh("TimeOut", "30", &section);
    fresh.SetText("30");
    EXPECT_EQ(test::ReadFile(file), "[Connection]\nTimeOut=30\n");
}

TEST(TINILinha, WithoutAutoApplyOrAStoreNothingIsWritten) {
    test::TempDir dir;
    TINIArquivo store(dir.path());
    TINISecao section("S", &store);
    TINILinha key("K", "default", &section);
    EXPECT_EQ(key.Text(), "");  // a closed store reads every value as empty
    store.SetFileName("\\software\\Test\\App");
    store.SetAutoApply(false);
    TINILinha other("K2", "d", &section);
    other.SetText("new");
    EXPECT_TRUE(other.Modified());
    EXPECT_FALSE(std::filesystem::exists(dir / "Test" / "App.ini"));

    TINILinha loose("K", "x");  // no section at all
    loose.SetText("y");
    EXPECT_EQ(loose.Text(), "y");
}

TEST(TINILinha, BooleansFollowTheStoreLanguage) {
    test::TempDir dir;
    TINIArquivo store(dir.path());
    store.SetFileName("\\software\\Test\\App");
    TINISecao section("S", &store);
    TINILinha key("Flag", "", &section);
    EXPECT_EQ(store.Language(), iclPortuguese);
    key.SetAsBoolean(false);
    EXPECT_EQ(key.Text(), "Não");
    key.SetText("SIM");
    EXPECT_TRUE(key.AsBoolean());
    store.SetLanguage(iclEnglish);
    EXPECT_FALSE(key.AsBoolean());
    key.SetAsBoolean(true);
    EXPECT_EQ(key.Text(), "true");
}

TEST(TINILinha, AFailedWriteLeavesTheKeyModified) {
    test::TempDir dir;
    TINIArquivo store(dir.path());
    store.SetFileName("\\software\\Test\\App");
    std::filesystem::create_directories(dir / "Test" / "App.ini");  // a folder in the way
    TINISecao section("S", &store);
    TINILinha key("K", "a", &section);
    key.SetText("b");
    EXPECT_EQ(key.Text(), "b");
    EXPECT_TRUE(key.Modified());
}

TEST(TINIComponents, DestroyingOneDropsTheLinksToIt) {
    auto store = std::make_unique<TINIArquivo>();
    auto section = std::make_unique<TINISecao>("S", store.get());
    auto other = std::make_unique<TINISecao>("T", store.get());
    auto key = std::make_unique<TINILinha>("K", "", section.get());
    auto key2 = std::make_unique<TINILinha>("K2", "", section.get());
    EXPECT_EQ(store->Secoes().size(), 2u);
    EXPECT_EQ(section->Linhas().size(), 2u);

    key2->SetSecaoAssociada(other.get());
    EXPECT_EQ(section->Linhas(), std::vector<TINILinha*>{key.get()});
    EXPECT_EQ(other->Linhas(), std::vector<TINILinha*>{key2.get()});

    key.reset();
    EXPECT_TRUE(section->Linhas().empty());
    other.reset();
    EXPECT_EQ(key2->SecaoAssociada(), nullptr);
    EXPECT_EQ(store->Secoes(), std::vector<TINISecao*>{section.get()});
    store.reset();
    EXPECT_EQ(section->ArquivoAssociado(), nullptr);
}

}  // namespace
}  // namespace mv
