// Splitting one line of a text or CSV import into its fields.
//
// A field ends at a comma (or at the file's delimiter, see
// ChooseDelimiter) outside double quotes; every double quote is then
// removed from it and blanks and control characters (every byte up to and
// including the blank) are trimmed from both ends. So "Smith, John",a@b.c
// gives the two fields Smith, John and a@b.c; a comma at the very end of a
// line opens no further field, and an empty line gives one empty field.
// Escaped quotes ("") are not special: both are removed like any other.
//
// Positions are 1-based, as the import dialog counts them: position 1 is the
// first character, and 0 means "no further token".
#pragma once

#include <bitset>
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/text_trim.h"

namespace mv {

// A set of delimiter characters (bytes).
using CharSet = std::bitset<256>;

CharSet MakeCharSet(std::string_view characters);

// The token of `text` that starts at `position`: the text up to the first
// delimiter outside double quotes (a double quote switches between outside
// and inside and is never a delimiter itself). `position` then stands after
// that delimiter, or becomes 0 when the token ran to the end of the text.
// A position below 1 or beyond the text, or an empty delimiter set, gives an
// empty token and position 0. The token is a view into `text`.
std::string_view NextToken(std::string_view text, const CharSet& delimiters, size_t& position);

// Removes every `character` from `text` and fills the freed places at the
// end with blanks, so that the length stays the same.
void RemoveChar(std::string& text, char character);

// The delimiter of a file's lines, chosen by its first line: a tab when
// that line holds tabs and no comma (as a spreadsheet saves "Unicode Text"
// and tab-separated files), otherwise a comma.
char ChooseDelimiter(std::string_view firstLine);

// The fields of `line`, split at `delimiter` (a comma or a tab). Each view
// points into `line` or into `buffer`, whose contents the call replaces;
// they stay valid while both are unchanged.
void SplitFields(std::string_view line, std::string& buffer, std::vector<std::string_view>& fields,
                 char delimiter = ',');

// The same as copies.
std::vector<std::string> SplitFields(std::string_view line, char delimiter = ',');

// Calls `field` with each field of `line` in order, as SplitFields gives
// them; the view is valid during the call only.
void ForEachField(std::string_view line, char delimiter,
                  const std::function<void(std::string_view)>& field);

// Only the fields at the positions `wanted` (0-based, ascending): fields[j]
// is the field at wanted[j] as SplitFields gives it, or empty when the line
// has no such field. The other fields are not kept and the scan ends after
// the last wanted one, so a line of millions of fields costs no more than
// the few that are asked for. Views point into `line` or `buffer`.
void SplitWantedFields(std::string_view line, char delimiter, std::span<const size_t> wanted,
                       std::string& buffer, std::vector<std::string_view>& fields);

// Appends `field` to a CSV line being written (RFC 4180): as it is, or in
// double quotes with its quotes doubled when it holds a comma, a quote or a
// line break.
void AppendCsvField(std::string& out, std::string_view field);

}  // namespace mv
