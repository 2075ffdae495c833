// The one description of the CLI's commands and what is made from it: every
// declared option reaches the parser, --help, the manual page and the
// completion; the texts are wrapped and escaped soundly.
#include <gtest/gtest.h>

#include <set>

#include "bash_completion.h"
#include "help_format.h"
#include "help_text.h"
#include "man_page.h"

namespace mv::cli {
namespace {

TEST(HelpText, EveryDeclaredOptionReachesTheParserHelpPageAndCompletion) {
    const std::string page = ManCommands();
    const std::string completion = BashCompletionScript();
    for (const Command& command : AllCommands()) {
        SCOPED_TRACE(command.name);
        EXPECT_EQ(FindCommand(command.name), &command);
        const std::string help = CommandHelp(command);
        std::set<std::string> seen;
        for (const OptionGroup& group : command.options) {
            for (const Option& option : group.options) {
                const std::string flag = std::string("--") + option.name;
                SCOPED_TRACE(flag);
                EXPECT_TRUE(seen.insert(option.name).second) << "declared twice";
                std::vector<std::string> args = {flag};
                if (option.value != nullptr) args.push_back("1");
                const ParsedArgs parsed(args, OptionSpecsOf(command));
                EXPECT_TRUE(parsed.Has(option.name));
                EXPECT_TRUE(parsed.Positional().empty());
                EXPECT_NE(help.find("  " + flag), std::string::npos);
                EXPECT_NE(page.find(RoffText(flag)), std::string::npos);
                EXPECT_NE(completion.find(flag + " "), std::string::npos);
            }
        }
        for (const std::string& line : Paragraphs(help))
            EXPECT_EQ(line.find('\t'), std::string::npos);
    }
    EXPECT_EQ(FindCommand("nonesuch"), nullptr);
    EXPECT_THROW(ParsedArgs({"--nonesuch"}, OptionSpecsOf(*FindCommand("check"))), UsageError);
}

TEST(HelpText, HelpLinesStayWithinTheWidth) {
    for (const Command& command : AllCommands()) {
        const std::string help = CommandHelp(command) + UsageText();
        size_t start = 0;
        while (start < help.size()) {
            size_t end = help.find('\n', start);
            if (end == std::string::npos) end = help.size();
            const std::string line = help.substr(start, end - start);
            // A single word longer than a line may stand alone.
            if (line.find(' ', line.find_first_not_of(' ')) != std::string::npos) {
                EXPECT_LE(line.size(), kHelpWidth) << command.name << ": " << line;
            }
            start = end + 1;
        }
    }
}

TEST(HelpText, WrapFillsLinesAndIndentsTheRest) {
    struct Case {
        const char* text;
        size_t first, indent, width;
        const char* wrapped;
    };
    const Case cases[] = {
        {"one two three", 0, 0, 80, "one two three"},
        {"one two three", 0, 2, 7, "one two\n  three"},
        {"  blanks\n and   breaks ", 0, 0, 80, "blanks and breaks"},
        {"a verylongword b", 0, 0, 5, "a\nverylongword\nb"},
        {"x y", 9, 4, 10, "x\n    y"},
        {"", 0, 0, 10, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Wrap(c.text, c.first, c.indent, c.width), c.wrapped) << c.text;
    EXPECT_EQ(Paragraphs("a\nb\n\n\nc  d\n\n"), (std::vector<std::string>{"a b", "c d"}));
}

TEST(HelpText, RoffEscapesWhatTroffWouldTakeAsControls) {
    const std::pair<const char*, const char*> cases[] = {
        {"--to", "\\-\\-to"},
        {"C:\\path", "C:\\epath"},
        {".hidden", "\\&.hidden"},
        {"'quote", "\\&'quote"},
        {"a.b", "a.b"},
    };
    for (const auto& [text, roff] : cases)
        EXPECT_EQ(RoffText(text), roff) << text;
    EXPECT_EQ(RoffUsage("smtp HOST [--port PORT] csv|jsonl"),
              "\\fBsmtp\\fR \\fIHOST\\fR [\\fB\\-\\-port\\fR \\fIPORT\\fR] "
              "\\fBcsv\\fR|\\fBjsonl\\fR");
}

TEST(HelpText, TheManTemplateGetsEveryCommandAndTheVersion) {
    const std::string page = FillManTemplate(
        ".TH X 1 \"@DATE@\" \"@VERSION@\"\n@SYNOPSIS@\n"
        ".SH COMMANDS\n@COMMANDS@\n.SH END\n",
        "9.9", "2000-01-02");
    EXPECT_EQ(page.rfind(".TH X 1 \"2000-01-02\" \"9.9\"\n", 0), 0u);
    for (const char* placeholder : {"@DATE@", "@VERSION@", "@SYNOPSIS@", "@COMMANDS@"})
        EXPECT_EQ(page.find(placeholder), std::string::npos) << placeholder;
    for (const Command& command : AllCommands())
        EXPECT_NE(page.find(std::string(".SS ") + command.name + "\n"), std::string::npos);
    EXPECT_NE(page.find(".SH END\n"), std::string::npos);
}

}  // namespace
}  // namespace mv::cli
