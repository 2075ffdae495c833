#include "test_support.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace mv::test {

TempDir::TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "mvtest-XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool RunUntil(MessageLoop& loop, const std::function<bool()>& done,
              std::chrono::milliseconds limit) {
    bool timedOut = false;
    const auto timer =
        loop.StartTimer(static_cast<uint32_t>(limit.count()), [&timedOut] { timedOut = true; });
    while (!done() && !timedOut)
        loop.ProcessMessages(true);
    loop.StopTimer(timer);
    return done();
}

bool Settle(MessageLoop& loop) {
    constexpr int kPasses = 1000;
    for (int pass = 0; pass < kPasses; ++pass)
        if (!loop.ProcessMessages(false)) return true;
    return false;
}

}  // namespace mv::test
