// The plain texts of "mailvetter-cli --help" and "mailvetter-cli COMMAND
// --help", made from the declarations of help_text.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "help_text.h"

namespace mv::cli {

inline constexpr size_t kHelpWidth = 79;

// The program's usage: the commands with their summaries.
std::string UsageText();
// "Usage: mailvetter-cli SYNOPSIS", wrapped.
std::string UsageLine(const Command& command);
// The whole help of a command: usage, description, options, notes.
std::string CommandHelp(const Command& command);

// A declared text as paragraphs: split at blank lines, every other run of
// white space made one blank.
std::vector<std::string> Paragraphs(std::string_view text);

// `text` filled into lines of at most `width` columns; every line but the
// first starts with `indent` blanks (the first is where the caller left it,
// at column `firstColumn`). A word longer than a line stands alone.
std::string Wrap(std::string_view text, size_t firstColumn, size_t indent,
                 size_t width = kHelpWidth);

}  // namespace mv::cli
