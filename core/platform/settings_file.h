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
// A file that cannot be read or is not text (it holds NUL bytes or malformed
// UTF-8, or is larger than 1 MiB) reads as empty, so every value takes its
// default, and it is never replaced by a change that removes nothing and adds
// nothing. When a value is written into such a file, the file is first kept
// beside it as "<file>.bad".
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mv {

using SettingsValues = std::vector<std::pair<std::string, std::string>>;

// The text of a settings file as sections of named values. Lines it does not
// understand are kept as they stand, and unchanged lines are written back
// byte for byte. Names or values that a plain line cannot carry (line breaks,
// control characters, outer blanks, a leading quote, "=" in a name) are
// written in double quotes with backslash escapes.
class SettingsDocument {
  public:
    // Never fails: whatever is not a section header or a name=value line is
    // kept as an opaque line.
    static SettingsDocument Parse(std::string_view text);
    std::string Serialize() const;

    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    // Each name once (the first occurrence wins), in file order.
    SettingsValues SectionValues(std::string_view section) const;
    std::vector<std::string> Sections() const;

    // Each returns true when the document changed.
    bool SetValue(std::string_view section, std::string_view key, std::string_view value);
    bool DeleteSection(std::string_view section);

  private:
    enum class Kind { Other, Section, Value };
    struct Line {
        Kind kind = Kind::Other;
        std::string raw;    // the line as it stands in the file
        std::string name;   // section or key name
        std::string value;  // value of a Value line
    };
    static Line ParseLine(std::string_view raw);

    std::vector<Line> lines_;
};

class SettingsFile {
  public:
    explicit SettingsFile(std::filesystem::path path);

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
    // then says why. Storing a value it already holds writes nothing.
    bool WriteValue(std::string_view section, std::string_view key, std::string_view value);
    bool DeleteSection(std::string_view section);

    // Creates the file's folder if needed; false when that failed.
    bool CreateFolder();
    // True when the file was found damaged or unreadable at the last access.
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
