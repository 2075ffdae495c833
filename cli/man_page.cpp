#include "man_page.h"

#include "help_format.h"
#include "help_text.h"

namespace mv::cli {

namespace {

bool IsWordChar(char c) {
    return c != ' ' && c != '[' && c != ']' && c != '|' && c != '"';
}

// A placeholder: upper-case letters (and digits or separators), not starting
// with a digit, so that "PORT" and "HOST:PORT" are and "4A" and "csv" are not.
bool IsPlaceholder(std::string_view word) {
    if (word.empty() || (word[0] >= '0' && word[0] <= '9')) return false;
    bool upper = false;
    for (char c : word) {
        if (c >= 'a' && c <= 'z') return false;
        if (c >= 'A' && c <= 'Z') upper = true;
    }
    return upper;
}

std::string ReplaceAll(std::string text, std::string_view from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string Joined(const std::vector<std::string>& paragraphs) {
    std::string out;
    for (const std::string& p : paragraphs)
        out += (out.empty() ? "" : " ") + p;
    return out;
}

// The usage of a command as a paragraph with a hanging indent.
std::string UsageParagraph(const Command& command) {
    return ".ti -4n\n\\fBmailvetter\\-cli\\fR " + RoffUsage(command.synopsis) + "\n";
}

void AppendParagraphs(std::string& out, const char* text) {
    for (const std::string& paragraph : Paragraphs(text))
        out += ".PP\n" + RoffText(paragraph) + "\n";
}

void AppendOptions(std::string& out, const OptionGroup& group) {
    out += ".PP\n\\fI" + RoffText(*group.heading != '\0' ? group.heading : "Options") + ":\\fR\n";
    for (const Option& option : group.options) {
        std::string usage = std::string("--") + option.name;
        if (option.value != nullptr) usage += std::string(" ") + option.value;
        out += ".TP\n" + RoffUsage(usage) + "\n" + RoffText(Joined(Paragraphs(option.help))) + "\n";
    }
}

}  // namespace

std::string RoffText(std::string_view text) {
    std::string out;
    if (!text.empty() && (text[0] == '.' || text[0] == '\'')) out = "\\&";
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    return out;
}

std::string RoffUsage(std::string_view usage) {
    std::string out;
    size_t i = 0;
    while (i < usage.size()) {
        if (!IsWordChar(usage[i])) {
            out += usage[i++];
            continue;
        }
        const size_t start = i;
        while (i < usage.size() && IsWordChar(usage[i]))
            ++i;
        const std::string_view word = usage.substr(start, i - start);
        out += (IsPlaceholder(word) ? "\\fI" : "\\fB") + RoffText(word) + "\\fR";
    }
    return out;
}

std::string ManSynopsis() {
    std::string out = ".in +4n\n";
    for (const Command& c : AllCommands())
        out += UsageParagraph(c);
    return out + ".in -4n\n";
}

std::string ManCommands() {
    std::string out;
    for (const Command& c : AllCommands()) {
        out += ".SS " + RoffText(c.name) + "\n.PP\n.in +4n\n" + UsageParagraph(c) + ".in -4n\n";
        AppendParagraphs(out, c.description);
        for (const OptionGroup& group : c.options)
            AppendOptions(out, group);
        AppendParagraphs(out, c.notes);
    }
    return out;
}

std::string FillManTemplate(std::string_view templateText, const std::string& version,
                            const std::string& date) {
    std::string out;
    size_t start = 0;
    while (start < templateText.size()) {
        size_t end = templateText.find('\n', start);
        if (end == std::string_view::npos) end = templateText.size();
        const std::string_view line = templateText.substr(start, end - start);
        if (line == "@SYNOPSIS@")
            out += ManSynopsis();
        else if (line == "@COMMANDS@")
            out += ManCommands();
        else
            out += ReplaceAll(ReplaceAll(std::string(line), "@VERSION@", version), "@DATE@", date) +
                   "\n";
        start = end + 1;
    }
    return out;
}

}  // namespace mv::cli
