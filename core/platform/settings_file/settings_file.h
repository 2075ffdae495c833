// The per-user settings store: one INI-format file per key path. The key path
// "\software\Corvane\Mailvetter" names $XDG_CONFIG_HOME/Corvane/Mailvetter.ini
// (~/.config when XDG_CONFIG_HOME is unset); its subkeys are the file's
// sections and its values are text. Section and key names compare without
// regard to case, as registry names do.
//
// Every change goes to the disk at once: under a lock on "<file>.lock" the
// file is read again, the one change is merged into what it holds now, and
// the result replaces the file atomically. Two running copies of the program
// therefore lose nothing of each other's, and lines this program does not
// understand (comments, foreign keys) stay as they were.
//
// The file is UTF-8: names and values that are not valid UTF-8 are taken as
// Windows-1252 and stored converted. A line that is not text (a NUL byte,
// malformed UTF-8) is not read and costs only itself: the other lines read
// as usual and are kept by every write.
//
// A file that cannot be read or is larger than 1 MiB reads as empty, so
// every value takes its default, and it is never replaced by a change that
// removes nothing and adds nothing. When a value is written into such a
// file, or a write replaces or drops a line that is not text, the file as
// read is first kept beside it as "<file>.bad" (the newest such file).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/settings_file/settings_document.h"

namespace mv {

class SettingsFile {
  public:
    explicit SettingsFile(std::filesystem::path path);

    // The largest file that is read, and so the largest that is written.
    static constexpr size_t kMaxFileSize = size_t{1024} * 1024;

    // $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
    static std::filesystem::path ConfigHome();
    // The file for a key path below `configHome` (ConfigHome() when empty):
    // a leading "software" is dropped, the other parts are folders and the
    // last names the file, with ".ini" added.
    static std::filesystem::path PathForKey(std::string_view keyPath,
                                            const std::filesystem::path& configHome = {});

    const std::filesystem::path& Path() const { return path_; }

    // The stored value, or `defaultValue` when there is none.
    std::string ReadValue(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;
    SettingsValues ReadSection(std::string_view section) const;

    // Each returns false when the change could not be stored; LastError()
    // then says why. Storing a value it already holds writes nothing. A
    // change that would make the file larger than kMaxFileSize is refused
    // and changes nothing.
    bool WriteValue(std::string_view section, std::string_view key, std::string_view value);
    bool DeleteSection(std::string_view section);
    // Replaces the whole section with `values` in one write, so that no
    // moment on disk holds the section half replaced (an empty `values`
    // deletes it).
    bool WriteSection(std::string_view section, const SettingsValues& values);

    // Creates the file's folder if needed; false when that failed.
    bool CreateFolder();
    // True when the file was found unreadable or too large at the last access.
    bool Damaged() const { return damaged_; }
    const std::string& LastError() const { return lastError_; }

  private:
    enum class State { Missing, Ok, Damaged };
    struct Loaded {
        State state = State::Missing;
        SettingsDocument document;
    };
    Loaded Load() const;
    template <typename Change>
    bool Modify(Change&& change);
    bool KeepDamagedCopy();

    std::filesystem::path path_;
    mutable bool damaged_ = false;
    std::string lastError_;
};

}  // namespace mv
