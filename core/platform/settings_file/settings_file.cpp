#include "platform/settings_file/settings_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/file/atomic_file.h"
#include "platform/file/user_folders.h"
#include "platform/text/code_page.h"

namespace mv {

namespace {

// An exclusive lock on "<file>.lock" for the time of one change.
class FileLock {
  public:
    ~FileLock() {
        if (fd_ >= 0) {
            ::close(fd_);  // closing releases the lock
        }
    }
    bool Acquire(const std::filesystem::path& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            return false;
        }
        // Another copy of the program holds it only for one short write.
        for (int attempt = 0; attempt < 500; ++attempt) {
            if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
                return true;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

  private:
    int fd_ = -1;
};

// Reads at most `limit` + 1 bytes; false when the file cannot be read.
bool ReadAll(int fd, std::string& out, size_t limit) {
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0 || out.size() > limit) {
            return true;
        }
        out.append(buffer, static_cast<size_t>(n));
    }
}

}  // namespace

SettingsFile::SettingsFile(std::filesystem::path path) : path_(std::move(path)) {}

std::filesystem::path SettingsFile::ConfigHome() {
    return UserFolder("XDG_CONFIG_HOME", ".config");
}

std::filesystem::path SettingsFile::PathForKey(std::string_view keyPath,
                                               const std::filesystem::path& configHome) {
    std::filesystem::path path = configHome.empty() ? ConfigHome() : configHome;
    std::vector<std::string_view> parts;
    while (!keyPath.empty()) {
        const size_t end = keyPath.find_first_of("\\/");
        const std::string_view part = keyPath.substr(0, end);
        if (!part.empty() && part != "." && part != "..") {
            parts.push_back(part);
        }
        if (end == std::string_view::npos) {
            break;
        }
        keyPath.remove_prefix(end + 1);
    }
    if (!parts.empty() && SameName(parts.front(), "software")) {
        parts.erase(parts.begin());
    }
    if (parts.empty()) {
        return path / "settings.ini";
    }
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        path /= std::string(parts[i]);
    }
    return path / (std::string(parts.back()) + ".ini");
}

SettingsFile::Loaded SettingsFile::Load() const {
    Loaded loaded;
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        loaded.state = (errno == ENOENT || errno == ENOTDIR) ? State::Missing : State::Damaged;
    } else {
        struct stat info {};
        std::string text;
        const bool read =
            ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ReadAll(fd, text, kMaxFileSize);
        ::close(fd);
        // Lines that are not text cost only themselves (see SettingsDocument).
        const bool usable = read && text.size() <= kMaxFileSize;
        loaded.state = usable ? State::Ok : State::Damaged;
        if (usable) {
            loaded.document = SettingsDocument::Parse(text);
        }
    }
    damaged_ = loaded.state == State::Damaged;
    return loaded;
}

std::string SettingsFile::ReadValue(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    return Load().document.Value(section, key).value_or(std::string(defaultValue));
}

SettingsValues SettingsFile::ReadSection(std::string_view section) const {
    return Load().document.SectionValues(section);
}

bool SettingsFile::CreateFolder() {
    std::error_code ec;
    std::filesystem::create_directories(path_.parent_path(), ec);
    if (!ec) {
        return true;
    }
    lastError_ = "Cannot create folder " + path_.parent_path().string();
    return false;
}

// Keeps a damaged file as "<file>.bad" before it is replaced: by a second
// link where the file system allows (no need to read it), else by a copy.
bool SettingsFile::KeepDamagedCopy() {
    const std::filesystem::path bad = path_.string() + ".bad";
    const std::filesystem::path link = path_.string() + ".bad.tmp";
    ::unlink(link.c_str());
    if (::link(path_.c_str(), link.c_str()) == 0) {
        if (::rename(link.c_str(), bad.c_str()) == 0) {
            return true;
        }
        ::unlink(link.c_str());
    }
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    std::string bytes;
    const bool read = fd >= 0 && ReadAll(fd, bytes, SIZE_MAX - 1);
    if (fd >= 0) {
        ::close(fd);
    }
    if (read) {
        try {
            WriteFileAtomically(bad, [&](ByteSink& sink) { sink.Write(bytes); });
            return true;
        } catch (const Exception&) {
            // No copy could be written: reported below like an unreadable file.
        }
    }
    lastError_ = "Cannot keep a copy of the damaged file " + path_.string();
    return false;
}

template <typename Change>
bool SettingsFile::Modify(Change&& change) {
    lastError_.clear();
    if (!CreateFolder()) {
        return false;
    }
    FileLock lock;
    if (!lock.Acquire(path_.string() + ".lock")) {
        lastError_ = "Cannot lock file " + path_.string();
        return false;
    }
    Loaded loaded = Load();  // what the file holds now, other copies' changes included
    const size_t badLines = loaded.document.BadLines();
    if (!change(loaded.document)) {
        return true;
    }
    // What a user could still recover by hand is kept before it is lost.
    const bool losesBadLine = loaded.document.BadLines() < badLines;
    if ((loaded.state == State::Damaged || losesBadLine) && !KeepDamagedCopy()) {
        return false;
    }
    const std::string text = loaded.document.Serialize();
    if (text.size() > kMaxFileSize) {
        // It could not be read back: every value would take its default.
        lastError_ = "The settings file " + path_.string() +
                     " would be larger than 1 MiB; nothing was changed";
        return false;
    }
    try {
        WriteFileAtomically(path_, [&](ByteSink& sink) { sink.Write(text); });
    } catch (const Exception& error) {
        lastError_ = error.what();
        return false;
    }
    damaged_ = false;
    return true;
}

bool SettingsFile::WriteValue(std::string_view section, std::string_view key,
                              std::string_view value) {
    const std::string s = Utf8OrAnsiToUtf8(section);
    const std::string k = Utf8OrAnsiToUtf8(key);
    const std::string v = Utf8OrAnsiToUtf8(value);
    return Modify([&](SettingsDocument& d) { return d.SetValue(s, k, v); });
}

bool SettingsFile::DeleteSection(std::string_view section) {
    const std::string s = Utf8OrAnsiToUtf8(section);
    return Modify([&](SettingsDocument& d) { return d.DeleteSection(s); });
}

bool SettingsFile::WriteSection(std::string_view section, const SettingsValues& values) {
    const std::string s = Utf8OrAnsiToUtf8(section);
    SettingsValues utf8;
    for (const auto& [key, value] : values) {
        utf8.emplace_back(Utf8OrAnsiToUtf8(key), Utf8OrAnsiToUtf8(value));
    }
    return Modify([&](SettingsDocument& d) {
        if (d.SectionValues(s) == utf8) {
            return false;
        }
        d.DeleteSection(s);
        for (const auto& [key, value] : utf8) {
            d.SetValue(s, key, value);
        }
        return true;
    });
}

}  // namespace mv
