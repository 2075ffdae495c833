// Small helpers shared by the tests.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/loop/message_loop.h"

namespace mv::test {

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// Runs `loop` until `done()` holds or `limit` passes; true when it held. The
// limit keeps a broken test from hanging the suite.
bool RunUntil(MessageLoop& loop, const std::function<bool()>& done,
              std::chrono::milliseconds limit = std::chrono::seconds(10));

// Handles everything that is ready now (posted callbacks, due timers, ready
// descriptors) without waiting for anything new: after it, an event that was
// already on its way has been delivered. False when the loop was still busy
// after many passes, i.e. something keeps it spinning.
bool Settle(MessageLoop& loop);

}  // namespace mv::test
