#include "project/import_export/csv_fields.h"

#include <algorithm>
#include <iterator>

namespace mv {

namespace {

// A tab, or else a comma.
const CharSet& Delimiters(char delimiter) {
    static const CharSet comma = MakeCharSet(",");
    static const CharSet tab = MakeCharSet("\t");
    return delimiter == '\t' ? tab : comma;
}

}  // namespace

CharSet MakeCharSet(std::string_view characters) {
    CharSet set;
    for (const char c : characters) {
        set.set(static_cast<unsigned char>(c));
    }
    return set;
}

std::string_view NextToken(std::string_view text, const CharSet& delimiters, size_t& position) {
    if (position < 1 || position > text.size() || delimiters.none()) {
        position = 0;
        return {};
    }
    const size_t start = position - 1;
    bool inside = false;
    for (size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            inside = !inside;
        } else if (!inside && delimiters.test(static_cast<unsigned char>(c))) {
            position = i + 2;
            return text.substr(start, i - start);
        }
    }
    position = 0;
    return text.substr(start);
}

void RemoveChar(std::string& text, char character) {
    size_t kept = 0;
    for (const char c : text) {
        if (c != character) {
            text[kept++] = c;
        }
    }
    std::fill(text.begin() + static_cast<std::ptrdiff_t>(kept), text.end(), ' ');
}

char ChooseDelimiter(std::string_view firstLine) {
    const bool tabs = firstLine.find('\t') != std::string_view::npos;
    return tabs && firstLine.find(',') == std::string_view::npos ? '\t' : ',';
}

void SplitFields(std::string_view line, std::string& buffer, std::vector<std::string_view>& fields,
                 char delimiter) {
    const CharSet& delimiters = Delimiters(delimiter);
    fields.clear();
    buffer.clear();
    // Unquoted fields never need more room than the line itself, so the
    // buffer never moves and the views into it stay valid.
    buffer.reserve(line.size());
    size_t position = 1;
    do {
        const std::string_view token = NextToken(line, delimiters, position);
        if (token.find('"') == std::string_view::npos) {
            fields.push_back(TrimBlanksAndControls(token));
            continue;
        }
        const size_t start = buffer.size();
        for (const char c : token) {
            if (c != '"') {
                buffer.push_back(c);
            }
        }
        fields.push_back(TrimBlanksAndControls(std::string_view(buffer).substr(start)));
    } while (position != 0 && position <= line.size());
}

void ForEachField(std::string_view line, char delimiter,
                  const std::function<void(std::string_view)>& field) {
    const CharSet& delimiters = Delimiters(delimiter);
    std::string unquoted;
    size_t position = 1;
    do {
        const std::string_view token = NextToken(line, delimiters, position);
        if (token.find('"') == std::string_view::npos) {
            field(TrimBlanksAndControls(token));
            continue;
        }
        unquoted.clear();
        std::copy_if(token.begin(), token.end(), std::back_inserter(unquoted),
                     [](char c) { return c != '"'; });
        field(TrimBlanksAndControls(unquoted));
    } while (position != 0 && position <= line.size());
}

void SplitWantedFields(std::string_view line, char delimiter, std::span<const size_t> wanted,
                       std::string& buffer, std::vector<std::string_view>& fields) {
    fields.assign(wanted.size(), std::string_view());
    buffer.clear();
    const CharSet& delimiters = Delimiters(delimiter);
    size_t position = 1;
    size_t next = 0;
    for (size_t index = 0; next < wanted.size(); ++index) {
        const std::string_view token = NextToken(line, delimiters, position);
        for (; next < wanted.size() && wanted[next] == index; ++next) {
            fields[next] = token;
        }
        if (position == 0 || position > line.size()) {
            break;
        }
    }
    // Room for the quoted ones first, so that the buffer never moves.
    size_t room = 0;
    for (const std::string_view field : fields) {
        room += field.find('"') == std::string_view::npos ? 0 : field.size();
    }
    buffer.reserve(room);
    for (std::string_view& field : fields) {
        if (field.find('"') == std::string_view::npos) {
            field = TrimBlanksAndControls(field);
            continue;
        }
        const size_t start = buffer.size();
        std::copy_if(field.begin(), field.end(), std::back_inserter(buffer),
                     [](char c) { return c != '"'; });
        field = TrimBlanksAndControls(std::string_view(buffer).substr(start));
    }
}

std::vector<std::string> SplitFields(std::string_view line, char delimiter) {
    std::string buffer;
    std::vector<std::string_view> views;
    SplitFields(line, buffer, views, delimiter);
    return {views.begin(), views.end()};
}

void AppendCsvField(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    out += '"';
}

}  // namespace mv
