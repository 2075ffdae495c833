// Any text parses as a settings file; unchanged it writes back as it was;
// setting a value (with names and value taken from the input) makes exactly
// that value readable after a write and a new parse, and leaves every other
// value as it was.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/settings_file/settings_file.h"
#include "platform/text/code_page.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const mv::SettingsDocument original = mv::SettingsDocument::Parse(input);
    std::string expected(input);
    if (!expected.empty() && expected.back() != '\n') {
        expected += '\n';
    }
    Check(original.Serialize() == expected);

    // Section, key and value from the input's first bytes.
    const size_t a = size > 0 ? data[0] % 8 : 0;
    const size_t b = size > 1 ? data[1] % 8 : 0;
    const std::string_view rest = input.substr(std::min<size_t>(size, 2));
    const std::string_view rawSection = rest.substr(0, std::min(a, rest.size()));
    const std::string_view rawKey =
        rest.substr(rawSection.size(), std::min(b, rest.size() - rawSection.size()));
    // The document takes UTF-8, as the settings file hands it over.
    const std::string section = mv::Utf8OrAnsiToUtf8(rawSection);
    const std::string key = mv::Utf8OrAnsiToUtf8(rawKey);
    const std::string value = mv::Utf8OrAnsiToUtf8(rest.substr(rawSection.size() + rawKey.size()));

    mv::SettingsDocument changed = original;
    changed.SetValue(section, key, value);
    const std::string text = changed.Serialize();
    const mv::SettingsDocument reread = mv::SettingsDocument::Parse(text);
    Check(reread.Value(section, key) == value);
    Check(reread.Serialize() == text);
    for (const std::string& s : original.Sections()) {
        for (const auto& [k, v] : original.SectionValues(s)) {
            if (mv::SameName(s, section) && mv::SameName(k, key)) {
                continue;
            }
            Check(reread.Value(s, k) == v);
        }
    }
    return 0;
}
