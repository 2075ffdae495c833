// Any bytes as the settings file on disk, read and changed through
// SettingsFile: a file within the size limit reads every value that its
// text holds (bad lines never), a larger one reads as empty and counts as
// damaged; a write merges one value into what the file holds and leaves
// every other readable value as it was, or fails and leaves the file byte
// for byte.
//
// Input: a flag byte (bit 0 pads the file to just below or above the size
// limit), the lengths of a section name and a key name, those names, then
// the value up to the first line feed, then the file.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/settings_file/settings_file.h"
#include "platform/text/code_page.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// One folder for the whole run, on a memory file system where there is one:
// every write flushes the file to the disk.
const std::filesystem::path& Folder() {
    static const std::filesystem::path folder = [] {
        std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        static std::string templ = base + "/mv-fuzz-settings-XXXXXX";
        Check(mkdtemp(templ.data()) != nullptr);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(templ, ec);
        });
        return std::filesystem::path(templ);
    }();
    return folder;
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string_view Take(std::string_view& input, size_t count) {
    const std::string_view part = input.substr(0, count);
    input.remove_prefix(part.size());
    return part;
}

// Every value of `document` reads back through `file`, section by section
// (the first 16 sections: each read loads the whole file).
void CheckReadsAsDocument(const mv::SettingsFile& file, const mv::SettingsDocument& document,
                          std::string_view skipSection, std::string_view skipKey) {
    const std::vector<std::string> sections = document.Sections();
    for (size_t i = 0; i < sections.size() && i < 16; ++i) {
        const std::string& section = sections[i];
        const mv::SettingsValues read = file.ReadSection(section);
        for (const auto& [key, value] : document.SectionValues(section)) {
            if (mv::SameName(section, skipSection) && mv::SameName(key, skipKey)) {
                continue;
            }
            bool found = false;
            for (const auto& [k, v] : read) {
                found = found || (k == key && v == value);
            }
            Check(found);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string_view control = Take(input, 3);
    if (control.size() < 3) {
        return 0;
    }
    const std::string section = mv::Utf8OrAnsiToUtf8(Take(input, control[1] % 16));
    const std::string key = mv::Utf8OrAnsiToUtf8(Take(input, control[2] % 16));
    const std::string value = mv::Utf8OrAnsiToUtf8(Take(input, input.find('\n')));
    Take(input, 1);  // the line feed after the value
    std::string text(input);
    if ((control[0] & 1) != 0) {
        // Just below or just above the limit: a comment line fills the rest.
        const size_t target = mv::SettingsFile::kMaxFileSize + 64 - (control[0] >> 1) % 128;
        if (text.size() + 2 < target) {
            text += ";" + std::string(target - text.size() - 2, '-') + "\n";
        }
    }

    const std::filesystem::path path = Folder() / "s.ini";
    std::filesystem::remove(path.string() + ".bad");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;

    mv::SettingsFile file(path);
    const bool fits = text.size() <= mv::SettingsFile::kMaxFileSize;
    const mv::SettingsDocument document =
        fits ? mv::SettingsDocument::Parse(text) : mv::SettingsDocument();
    Check(file.ReadValue(section, key, "\x01") == document.Value(section, key).value_or("\x01"));
    Check(file.Damaged() == !fits);
    CheckReadsAsDocument(file, document, {}, {});

    if (!file.WriteValue(section, key, value)) {
        Check(!file.LastError().empty());
        Check(ReadBytes(path) == text);
        return 0;
    }
    const std::string written = ReadBytes(path);
    Check(written.size() <= mv::SettingsFile::kMaxFileSize);
    mv::SettingsFile again(path);
    Check(!again.Damaged());
    Check(again.ReadValue(section, key, "") == value);
    CheckReadsAsDocument(again, document, section, key);
    // A write that replaced or dropped a line that is not text kept the file.
    mv::SettingsDocument changed = document;
    changed.SetValue(section, key, value);
    if ((!fits && written != text) || changed.BadLines() < document.BadLines()) {
        Check(ReadBytes(path.string() + ".bad") == text);
    }
    return 0;
}
