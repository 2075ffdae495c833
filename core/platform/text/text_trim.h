// Trimming texts the way the program trims them.
#pragma once

#include <string>
#include <string_view>

namespace mv {

// `text` without blanks (spaces) at either end.
std::string TrimBlanks(std::string_view text);

// `text` without blanks and control characters (bytes up to 0x20) at either end.
std::string_view TrimBlanksAndControls(std::string_view text);

}  // namespace mv
