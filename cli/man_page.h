// The manual page of mailvetter-cli in roff (man macros), made from the
// command declarations: the synopsis and the section of every command. The
// rest of the page is a template kept in data/man/.
#pragma once

#include <string>
#include <string_view>

namespace mv::cli {

// A text for a roff text line: backslashes and minus signs escaped, a
// leading control character defused.
std::string RoffText(std::string_view text);
// A usage such as "smtp HOST --port PORT [--helo NAME]": names and literal
// words in bold, placeholders (upper-case words) in italics, brackets, bars
// and quotes in the regular font.
std::string RoffUsage(std::string_view usage);

// The lines of the SYNOPSIS section, one per command.
std::string ManSynopsis();
// The body of the COMMANDS section.
std::string ManCommands();

// The template with its placeholders filled: a line "@SYNOPSIS@" or
// "@COMMANDS@" is replaced by the text above, "@VERSION@" and "@DATE@"
// anywhere by the given texts.
std::string FillManTemplate(std::string_view templateText, const std::string& version,
                            const std::string& date);

}  // namespace mv::cli
