#include "bash_completion.h"

#include "help_text.h"

namespace mv::cli {

namespace {

constexpr const char* kHead =
    R"(# bash completion for mailvetter-cli                      -*- shell-script -*-
# Made by the build from the program's command declarations; do not edit.

# Offers what a value or an operand can be: files (with one of the
# extensions given, any case), one word of a list, words of a list separated
# by commas, or host names.
_mailvetter_cli_offer()
{
    case $1 in
        files)
            if [[ -n $2 ]]; then _filedir "${2// /|}"; else _filedir; fi
            ;;
        words)
            COMPREPLY=($(compgen -W "$2" -- "$cur"))
            ;;
        wordlist)
            local before=""
            [[ $cur == *,* ]] && before=${cur%,*},
            COMPREPLY=($(compgen -P "$before" -W "$2" -- "${cur##*,}"))
            compopt -o nospace
            ;;
        hosts)
            _known_hosts_real -- "$cur"
            ;;
    esac
}

_mailvetter_cli()
{
    local cur prev words cword split
    _init_completion -s || return

    if ((cword == 1)); then
        COMPREPLY=($(compgen -W ')";

constexpr const char* kTail = R"(        *)
            COMPREPLY=()
            ;;
    esac
} &&
    complete -F _mailvetter_cli mailvetter-cli

# ex: filetype=sh
)";

// The arguments of _mailvetter_cli_offer for a completion, or "" for none.
std::string Offer(const Completion& c) {
    const std::string words = std::string(" '") + c.words + "'";
    switch (c.kind) {
        case Completion::Kind::kFiles:
            return "_mailvetter_cli_offer files" + words;
        case Completion::Kind::kWords:
            return "_mailvetter_cli_offer words" + words;
        case Completion::Kind::kWordList:
            return "_mailvetter_cli_offer wordlist" + words;
        case Completion::Kind::kHosts:
            return "_mailvetter_cli_offer hosts";
        case Completion::Kind::kNothing:
            break;
    }
    return "";
}

// The case of one command: the value of the option before the word, else an
// option, else an operand.
std::string CommandCase(const Command& command) {
    std::string out = std::string("        ") + command.name + ")\n            case $prev in\n";
    std::string options;
    std::string ownValues;  // options whose value the user writes
    for (const OptionGroup& group : command.options) {
        for (const Option& option : group.options) {
            const std::string name = std::string("--") + option.name;
            options += name + " ";
            if (option.value == nullptr) continue;
            const std::string offer = Offer(option.complete);
            if (offer.empty())
                ownValues += (ownValues.empty() ? "" : " | ") + name;
            else
                out.append("                ")
                    .append(name)
                    .append(")\n                    ")
                    .append(offer)
                    .append("\n                    return\n                    ;;\n");
        }
    }
    if (!ownValues.empty())
        out += "                " + ownValues +
               ")\n                    return\n                    ;;\n";
    out += "            esac\n            $split && return\n";
    out += "            if [[ $cur == -* ]]; then\n";
    out += "                COMPREPLY=($(compgen -W '" + options + "--help' -- \"$cur\"))\n";
    const std::string operands = Offer(command.operands);
    if (!operands.empty()) out += "            else\n                " + operands + "\n";
    out += "            fi\n            ;;\n";
    return out;
}

}  // namespace

std::string BashCompletionScript() {
    std::string out = kHead;
    for (const Command& c : AllCommands())
        out += std::string(c.name) + " ";
    out += "--help --version' -- \"$cur\"))\n        return\n    fi\n\n    case ${words[1]} in\n";
    for (const Command& c : AllCommands())
        out += CommandCase(c);
    return out + kTail;
}

}  // namespace mv::cli
