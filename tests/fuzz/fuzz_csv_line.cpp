// Any bytes split as an import line: SplitFields gives at least one field,
// none with a double quote or with a blank or control character at either
// end, and on a line without quotes exactly the trimmed pieces between the
// commas; SplitWantedFields gives the same fields, at commas or at tabs. NextToken walks any text
// with any delimiters forward to its end, and every token is the text from its position up to a
// delimiter.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "project/import_export/csv_fields.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckSplit(std::string_view line) {
    const std::vector<std::string> fields = mv::SplitFields(line);
    std::string buffer;
    std::vector<std::string_view> views;
    mv::SplitFields(line, buffer, views);
    Check(!fields.empty() && fields.size() == views.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        Check(fields[i] == views[i]);
        Check(fields[i].find('"') == std::string::npos);
        Check(mv::TrimBlanksAndControls(fields[i]) == fields[i]);
    }
    if (line.find('"') != std::string_view::npos) {
        return;
    }
    std::vector<std::string_view> pieces;
    size_t start = 0;
    for (size_t comma = line.find(','); comma != std::string_view::npos;
         comma = line.find(',', start)) {
        pieces.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    pieces.push_back(line.substr(start));
    if (!line.empty() && line.back() == ',') {
        pieces.pop_back();
    }
    Check(pieces.size() == fields.size());
    for (size_t i = 0; i < pieces.size(); ++i) {
        Check(mv::TrimBlanksAndControls(pieces[i]) == fields[i]);
    }
}

// Some of the fields, split either way, are the same texts as those of the
// whole split; fields past the end are empty.
void CheckWanted(std::string_view line, char delimiter) {
    const std::vector<std::string> fields = mv::SplitFields(line, delimiter);
    std::vector<size_t> wanted;
    for (size_t i = 0; i < fields.size() + 2; i += 1 + i % 3) {
        wanted.push_back(i);
    }
    std::string buffer;
    std::vector<std::string_view> some;
    mv::SplitWantedFields(line, delimiter, wanted, buffer, some);
    Check(some.size() == wanted.size());
    for (size_t j = 0; j < wanted.size(); ++j) {
        Check(some[j] == (wanted[j] < fields.size() ? fields[wanted[j]] : std::string()));
    }
}

void CheckTokens(std::string_view text, const mv::CharSet& delimiters) {
    size_t position = 1;
    while (position != 0) {
        const size_t before = position;
        const std::string_view token = mv::NextToken(text, delimiters, position);
        if (before > text.size() || delimiters.none()) {
            Check(position == 0 && token.empty());
            break;
        }
        Check(token == text.substr(before - 1, token.size()));
        if (position != 0) {
            Check(position == before + token.size() + 1);
            Check(delimiters.test(static_cast<unsigned char>(text[position - 2])));
        } else {
            Check(before - 1 + token.size() == text.size());
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckSplit(input);
    CheckWanted(input, ',');
    CheckWanted(input, '\t');

    // First byte: how many delimiter bytes follow (0 to 3); then the text.
    const size_t count = size > 0 ? data[0] % 4 : 0;
    const std::string_view rest = input.substr(std::min<size_t>(size, 1));
    const std::string_view delimiters = rest.substr(0, std::min(count, rest.size()));
    CheckTokens(rest.substr(delimiters.size()), mv::MakeCharSet(delimiters));

    std::string removed(input);
    mv::RemoveChar(removed, '"');
    Check(removed.size() == input.size());
    Check(removed.find('"') == std::string::npos);
    return 0;
}
