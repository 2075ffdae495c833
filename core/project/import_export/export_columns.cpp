#include "project/import_export/export_columns.h"

#include <algorithm>
#include <unordered_set>

#include "platform/text/code_page.h"
#include "project/import_export/csv_fields.h"

namespace mv {

namespace {

constexpr size_t kMaxDbfNameLength = 10;

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

// The caption with every character outside A-Z, a-z, 0-9 and "_" as "_",
// in upper case, beginning with a letter, cut to 10 characters.
std::string BaseName(std::string_view caption) {
    caption = TrimBlanksAndControls(caption);
    std::string name;
    size_t pos = 0;
    while (pos < caption.size() && name.size() <= kMaxDbfNameLength) {
        const char c = caption[pos];
        if (static_cast<unsigned char>(c) >= 0x80) {
            DecodeUtf8(caption, pos);  // one character, however many bytes
            name += '_';
            continue;
        }
        ++pos;
        if (IsAsciiLetter(c)) {
            name += static_cast<char>(c >= 'a' ? c - 'a' + 'A' : c);
        } else {
            name += IsAsciiDigit(c) ? c : '_';
        }
    }
    if (name.empty()) {
        return "FIELD";
    }
    if (!IsAsciiLetter(name.front())) {
        name.insert(0, 1, 'F');
    }
    return name.substr(0, kMaxDbfNameLength);
}

}  // namespace

std::vector<std::string> ExportColumnCaptions(const RecipientList& list) {
    std::vector<std::string> captions;
    for (const ListColumn& column : list.Columns()) {
        captions.push_back(column.caption);
    }
    if (captions.empty()) {
        captions.emplace_back("Email");
    }
    return captions;
}

std::string_view ExportCell(const RecipientList& list, size_t row, size_t column) {
    return column == 0 ? list.Caption(row) : list.SubItem(row, column - 1);
}

std::vector<std::string> DbfFieldNames(const std::vector<std::string>& captions) {
    std::vector<std::string> names;
    std::unordered_set<std::string> taken;
    for (const std::string& caption : captions) {
        const std::string base = BaseName(caption);
        std::string name = base;
        for (size_t n = 2; taken.count(name) != 0; ++n) {
            const std::string suffix = std::to_string(n);
            name = base.substr(0, kMaxDbfNameLength - suffix.size()) + suffix;
        }
        taken.insert(name);
        names.push_back(std::move(name));
    }
    return names;
}

size_t CharacterCount(std::string_view utf8) {
    size_t count = 0;
    size_t pos = 0;
    while (pos < utf8.size()) {
        if (static_cast<unsigned char>(utf8[pos]) < 0x80) {
            ++pos;
        } else {
            DecodeUtf8(utf8, pos);
        }
        ++count;
    }
    return count;
}

std::vector<int> DbfFieldWidths(const RecipientList& list, const std::vector<size_t>& rows,
                                size_t columns) {
    std::vector<size_t> widths(columns, 1);
    for (const size_t row : rows) {
        for (size_t k = 0; k < columns; ++k) {
            widths[k] = std::max(widths[k], CharacterCount(ExportCell(list, row, k)));
        }
    }
    std::vector<int> result;
    result.reserve(widths.size());
    for (const size_t width : widths) {
        result.push_back(static_cast<int>(std::min(width, kMaxDbfFieldWidth)));
    }
    return result;
}

}  // namespace mv
