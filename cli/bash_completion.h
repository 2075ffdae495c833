// The bash completion of mailvetter-cli, made from the command declarations:
// the commands, each command's options, and for values and operands what the
// declarations name (files by extension, words, host names).
#pragma once

#include <string>

namespace mv::cli {

// The script for share/bash-completion/completions/mailvetter-cli. It uses
// the helpers of the bash-completion package (_init_completion, _filedir).
std::string BashCompletionScript();

}  // namespace mv::cli
