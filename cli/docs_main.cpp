// mv-cli-docs: writes the documentation that the build makes from the
// command declarations of mailvetter-cli.
//   mv-cli-docs man TEMPLATE OUTPUT VERSION DATE   the manual page
//   mv-cli-docs bash-completion OUTPUT             the bash completion
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "bash_completion.h"
#include "commands.h"
#include "help_text.h"
#include "man_page.h"

namespace {

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (out) return true;
    std::fprintf(stderr, "mv-cli-docs: cannot write %s\n", path.c_str());
    return false;
}

// The page must describe every setting; a new one that is not named under
// FILES fails the build.
bool NamesEverySetting(const std::string& page) {
    bool all = true;
    for (const std::string& name : mv::cli::SettingNames()) {
        if (page.find(name) != std::string::npos) continue;
        std::fprintf(stderr, "mv-cli-docs: the manual page does not describe the setting %s\n",
                     name.c_str());
        all = false;
    }
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "man" && argc == 6) {
        std::ifstream in(argv[2], std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        if (!in) {
            std::fprintf(stderr, "mv-cli-docs: cannot read %s\n", argv[2]);
            return 1;
        }
        const std::string page = mv::cli::FillManTemplate(text.str(), argv[4], argv[5]);
        return NamesEverySetting(page) && WriteFile(argv[3], page) ? 0 : 1;
    }
    if (what == "bash-completion" && argc == 3)
        return WriteFile(argv[2], mv::cli::BashCompletionScript()) ? 0 : 1;
    std::fputs(
        "usage: mv-cli-docs man TEMPLATE OUTPUT VERSION DATE\n"
        "       mv-cli-docs bash-completion OUTPUT\n",
        stderr);
    return 2;
}
