#include "platform/settings_file/settings_document.h"

#include <algorithm>

#include "platform/text/code_page.h"

namespace mv {

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        };
        return lower(x) == lower(y);
    });
}

namespace {

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// ---- Quoting of names and values a plain line cannot carry ----

bool NeedsQuotes(std::string_view s, bool isName) {
    if (s.empty()) {
        return isName;
    }
    if (Trim(s).size() != s.size() || s.front() == '"' || s.front() == ' ') {
        return true;
    }
    for (unsigned char c : s) {
        if (c < 0x20 || c == 0x7F) {
            return true;
        }
    }
    if (isName) {
        return s.find('=') != std::string_view::npos || s.find(']') != std::string_view::npos ||
               s.front() == '[' || s.front() == ';' || s.front() == '#';
    }
    return false;
}

std::string Quote(std::string_view s) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    out += "\\x";
                    out += kHex[c >> 4];
                    out += kHex[c & 15];
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string Plain(std::string_view s, bool isName) {
    return NeedsQuotes(s, isName) ? Quote(s) : std::string(s);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Reads a quoted text starting at s[pos] == '"'; on success `pos` is just
// past the closing quote.
bool Unquote(std::string_view s, size_t& pos, std::string& out) {
    out.clear();
    for (size_t i = pos + 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c != '\\' || i + 1 == s.size()) {
            out += c;
            continue;
        }
        const char e = s[++i];
        if (e == 'n') {
            out += '\n';
        } else if (e == 'r') {
            out += '\r';
        } else if (e == 't') {
            out += '\t';
        } else if (e == 'x' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 &&
                   HexDigit(s[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
            i += 2;
        } else {
            out += e;  // \\, \" and anything unknown stand for themselves
        }
    }
    return false;
}

// A value as written after "=": quoted when it starts with a quote that
// closes at the end of the line, else as it stands (without outer blanks).
std::string ParseValue(std::string_view text) {
    text = Trim(text);
    std::string value;
    size_t pos = 0;
    if (!text.empty() && text[0] == '"' && Unquote(text, pos, value) && pos == text.size()) {
        return value;
    }
    return std::string(text);
}

}  // namespace

// ---- SettingsDocument ----

SettingsDocument::Line SettingsDocument::ParseLine(std::string_view raw) {
    Line line;
    line.raw = raw;
    const std::string_view text = Trim(raw);
    if (raw.find('\0') != std::string_view::npos || !IsValidUtf8(raw)) {
        line.bad = true;
        if (!text.empty() && text[0] == '[') {
            line.kind = Kind::Section;  // ends the section above; opens none
            return line;
        }
    }
    if (text.empty() || text[0] == ';' || text[0] == '#') {
        return line;
    }
    size_t pos = 0;
    if (text[0] == '[') {
        std::string_view inner = text.substr(1);
        if (!inner.empty() && inner[0] == '"') {
            if (!Unquote(inner, pos, line.name) || Trim(inner.substr(pos)).substr(0, 1) != "]") {
                return line;
            }
        } else {
            const size_t close = inner.rfind(']');
            if (close == std::string_view::npos) {
                return line;
            }
            line.name = Trim(inner.substr(0, close));
        }
        line.kind = Kind::Section;
        return line;
    }
    std::string_view rest;
    if (text[0] == '"') {
        if (!Unquote(text, pos, line.name)) {
            return line;
        }
        rest = Trim(text.substr(pos));
        if (rest.empty() || rest[0] != '=') {
            return line;
        }
        rest.remove_prefix(1);
    } else {
        const size_t equals = text.find('=');
        if (equals == std::string_view::npos) {
            return line;
        }
        line.name = Trim(text.substr(0, equals));
        rest = text.substr(equals + 1);
    }
    line.value = ParseValue(rest);
    line.kind = Kind::Value;
    return line;
}

SettingsDocument SettingsDocument::Parse(std::string_view text) {
    SettingsDocument document;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        document.lines_.push_back(ParseLine(text.substr(0, end)));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return document;
}

std::string SettingsDocument::Serialize() const {
    std::string text;
    for (const Line& line : lines_) {
        text += line.raw;
        text += '\n';
    }
    return text;
}

bool SettingsDocument::Opens(const Line& line, std::string_view section) {
    return line.kind == Kind::Section && !line.bad && SameName(line.name, section);
}

std::optional<std::string> SettingsDocument::Value(std::string_view section,
                                                   std::string_view key) const {
    bool inSection = false;
    for (const Line& line : lines_) {
        if (line.kind == Kind::Section) {
            inSection = Opens(line, section);
        } else if (inSection && line.kind == Kind::Value && !line.bad && SameName(line.name, key)) {
            return line.value;
        }
    }
    return std::nullopt;
}

SettingsValues SettingsDocument::SectionValues(std::string_view section) const {
    SettingsValues values;
    bool inSection = false;
    for (const Line& line : lines_) {
        if (line.kind == Kind::Section) {
            inSection = Opens(line, section);
        } else if (inSection && line.kind == Kind::Value && !line.bad &&
                   std::none_of(values.begin(), values.end(),
                                [&](const auto& v) { return SameName(v.first, line.name); })) {
            values.emplace_back(line.name, line.value);
        }
    }
    return values;
}

std::vector<std::string> SettingsDocument::Sections() const {
    std::vector<std::string> names;
    for (const Line& line : lines_) {
        if (line.kind == Kind::Section && !line.bad &&
            std::none_of(names.begin(), names.end(),
                         [&](const std::string& n) { return SameName(n, line.name); })) {
            names.push_back(line.name);
        }
    }
    return names;
}

bool SettingsDocument::SetValue(std::string_view section, std::string_view key,
                                std::string_view value) {
    // A key that exists changes where it stands, a bad line of it too.
    bool inSection = false;
    for (Line& line : lines_) {
        if (line.kind == Kind::Section) {
            inSection = Opens(line, section);
        } else if (inSection && line.kind == Kind::Value && SameName(line.name, key)) {
            if (line.value == value && !line.bad) {
                return false;
            }
            line.bad = false;
            line.value = value;
            line.raw = Plain(line.name, true) + "=" + Plain(value, false);
            return true;
        }
    }
    // A new key goes after the last value of the section's first block.
    const auto header = std::find_if(lines_.begin(), lines_.end(),
                                     [&](const Line& line) { return Opens(line, section); });
    size_t insertAt = lines_.size();
    if (header == lines_.end()) {
        if (!lines_.empty() && !Trim(lines_.back().raw).empty()) {
            lines_.emplace_back();
        }
        Line newHeader;
        newHeader.kind = Kind::Section;
        newHeader.name = section;
        newHeader.raw = "[" + Plain(section, true) + "]";
        lines_.push_back(std::move(newHeader));
        insertAt = lines_.size();
    } else {
        insertAt = static_cast<size_t>(header - lines_.begin()) + 1;
        for (size_t i = insertAt; i < lines_.size() && lines_[i].kind != Kind::Section; ++i) {
            if (lines_[i].kind == Kind::Value) {
                insertAt = i + 1;
            }
        }
    }
    Line line;
    line.kind = Kind::Value;
    line.name = key;
    line.value = value;
    line.raw = Plain(key, true) + "=" + Plain(value, false);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(line));
    return true;
}

size_t SettingsDocument::BadLines() const {
    return static_cast<size_t>(
        std::count_if(lines_.begin(), lines_.end(), [](const Line& line) { return line.bad; }));
}

bool SettingsDocument::DeleteSection(std::string_view section) {
    const size_t before = lines_.size();
    bool inSection = false;
    std::erase_if(lines_, [&](const Line& line) {
        if (line.kind == Kind::Section) {
            inSection = Opens(line, section);
        }
        return inSection;
    });
    return lines_.size() != before;
}

}  // namespace mv
