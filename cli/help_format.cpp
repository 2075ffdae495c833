#include "help_format.h"

#include <cstdio>

#include "commands.h"

namespace mv::cli {

namespace {

// The column where the help of an option begins.
constexpr size_t kOptionHelpColumn = 24;

bool IsBlank(char c) {
    return c == ' ' || c == '\n' || c == '\t';
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i]))
            ++i;
        const size_t start = i;
        while (i < text.size() && !IsBlank(text[i]))
            ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

std::string OptionLine(const Option& option) {
    std::string line = std::string("  --") + option.name;
    if (option.value != nullptr) line += std::string(" ") + option.value;
    if (line.size() + 1 > kOptionHelpColumn)
        line += "\n" + std::string(kOptionHelpColumn, ' ');
    else
        line.resize(kOptionHelpColumn, ' ');
    return line + Wrap(option.help, kOptionHelpColumn, kOptionHelpColumn) + "\n";
}

void AppendParagraphs(std::string& out, const char* text) {
    for (const std::string& paragraph : Paragraphs(text))
        out += "\n" + Wrap(paragraph, 0, 0) + "\n";
}

}  // namespace

std::vector<std::string> Paragraphs(std::string_view text) {
    std::vector<std::string> paragraphs;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find("\n\n", start);
        if (end == std::string_view::npos) end = text.size();
        std::string paragraph;
        for (std::string_view word : Words(text.substr(start, end - start)))
            paragraph += (paragraph.empty() ? "" : " ") + std::string(word);
        if (!paragraph.empty()) paragraphs.push_back(paragraph);
        start = end + 2;
    }
    return paragraphs;
}

std::string Wrap(std::string_view text, size_t firstColumn, size_t indent, size_t width) {
    std::string out;
    size_t column = firstColumn;
    bool lineEmpty = true;
    for (std::string_view word : Words(text)) {
        if (!lineEmpty && column + 1 + word.size() > width) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineEmpty = false;
    }
    return out;
}

void PrintError(const std::string& message) {
    std::fprintf(stderr, "mailvetter-cli: %s\n", message.c_str());
}

std::string UsageText() {
    std::string out =
        "Usage: mailvetter-cli COMMAND [OPTIONS] [ARGUMENTS]\n\n"
        "Finds out which e-mail addresses can receive mail, without sending any.\n\n"
        "Commands:\n";
    for (const Command& c : AllCommands()) {
        std::string line = std::string("  ") + c.name;
        line.resize(13, ' ');
        out += line + Wrap(c.summary, 13, 13) + "\n";
    }
    out +=
        "\nRun 'mailvetter-cli COMMAND --help' for the options of a command, and\n"
        "'mailvetter-cli --version' for the version.\n"
        "Exit status: 0 success, 1 failure, 2 usage error.\n";
    return out;
}

std::string UsageLine(const Command& command) {
    const std::string start = "Usage: mailvetter-cli ";
    return start + Wrap(command.synopsis, start.size(), start.size()) + "\n";
}

std::string CommandHelp(const Command& command) {
    std::string out = UsageLine(command);
    AppendParagraphs(out, command.description);
    for (const OptionGroup& group : command.options) {
        out += std::string("\n") + (*group.heading != '\0' ? group.heading : "Options") + ":\n";
        for (const Option& option : group.options)
            out += OptionLine(option);
    }
    AppendParagraphs(out, command.notes);
    return out;
}

}  // namespace mv::cli
