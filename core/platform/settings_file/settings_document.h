// The text of a settings file (INI format): sections in square brackets and
// name=value lines below them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mv {

using SettingsValues = std::vector<std::pair<std::string, std::string>>;

// Section and key names compare as registry names do: without regard to
// (ASCII) case, whatever the locale.
bool SameName(std::string_view a, std::string_view b);

// The text of a settings file as sections of named values. Lines it does not
// understand are kept as they stand, and unchanged lines are written back
// byte for byte. Names or values that a plain line cannot carry (line breaks,
// control characters, outer blanks, a leading quote, "=" in a name) are
// written in double quotes with backslash escapes.
//
// A line that is not text (it holds a NUL byte or malformed UTF-8) is a bad
// line: it is kept as it stands but never read, so a damaged line costs only
// itself. A bad value line is replaced where it stands when its key is set;
// a bad line that starts like a section header ends the section above it, so
// that the values below it are not taken for that section's.
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

    // Each returns true when the document changed. Names and values are
    // UTF-8 (the settings file converts what is not).
    bool SetValue(std::string_view section, std::string_view key, std::string_view value);
    bool DeleteSection(std::string_view section);
    // Lines that are not text; a change that replaces or drops one lowers it.
    size_t BadLines() const;

  private:
    enum class Kind { Other, Section, Value };
    struct Line {
        Kind kind = Kind::Other;
        std::string raw;    // the line as it stands in the file
        std::string name;   // section or key name
        std::string value;  // value of a Value line
        bool bad = false;   // not text: never read (see above)
    };
    // Whether `line` is a section header that names `section`.
    static bool Opens(const Line& line, std::string_view section);
    static Line ParseLine(std::string_view raw);

    std::vector<Line> lines_;
};

}  // namespace mv
