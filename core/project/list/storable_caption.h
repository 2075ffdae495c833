// What a project file can store of a row's caption: the file holds
// Windows-1252, so an address whose domain is written with other characters
// is stored with the ASCII form of its domain ("xn--..."), and one whose
// local part holds such characters cannot be stored at all: an import
// refuses that row, and the Add and Edit dialogs refuse that caption.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mv {

// The words of a refusal: "N rows refused: " + kUnstorableLocalPart.
inline constexpr std::string_view kUnstorableLocalPart =
    "their local part holds characters a project file cannot store";
// The message of the Add and Edit dialogs.
inline constexpr std::string_view kUnstorableCaption =
    "Its local part holds characters a project file cannot store";

// The caption as the project stores it: unchanged when it fits Windows-1252
// or its address (ExtractAddress) is not what keeps it from fitting; with
// the address's domain in ASCII when only the domain does not fit. None when
// the address's local part does not fit.
std::optional<std::string> StorableCaption(std::string_view caption);

}  // namespace mv
