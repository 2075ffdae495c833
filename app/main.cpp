// mailvetter: the desktop program. Creates the application and shows the
// splash window, installs the message loop that the core runs on, then the
// settings and the main window, and runs until the main window closes.
#include <QStringList>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "common/application.h"
#include "common/program_options.h"
#include "loop/qt_message_loop.h"
#include "main_window/main_form.h"
#include "open_project/project.h"
#include "platform/process/resource_limits.h"
#include "settings/tini.h"
#include "splash/splash_form.h"

namespace {

int Main(int argc, char** argv) {
    using mv::ui::ProgramOptions;
    // The program's own options first: --help and --version need no display.
    const ProgramOptions options = mv::ui::ParseProgramOptions(argc, argv);
    switch (options.action) {
        case ProgramOptions::Action::kHelp:
            std::fputs(mv::ui::HelpText().c_str(), stdout);
            return 0;
        case ProgramOptions::Action::kVersion:
            std::fputs(mv::ui::VersionText().c_str(), stdout);
            return 0;
        case ProgramOptions::Action::kUsageError:
            std::fprintf(stderr, "mailvetter: %s\n", options.error.c_str());
            return 2;
        case ProgramOptions::Action::kRun:
            break;
    }
    mv::RaiseOpenFileLimit();  // every check holds a few descriptors

    // Qt sees only what the program's options left; it takes its own out.
    std::vector<std::string> kept = options.remaining;
    std::vector<char*> qtArgv;
    qtArgv.reserve(kept.size() + 1);
    for (std::string& arg : kept)
        qtArgv.push_back(arg.data());
    qtArgv.push_back(nullptr);
    int qtArgc = static_cast<int>(kept.size());
    mv::ui::Application app(qtArgc, qtArgv.data());  // with the title "Mailvetter"

    // The splash window first, painted before anything else is made; it is
    // freed after the message loop has ended.
    mv::ui::TfrmSplash splash;
    splash.ShowAndPaint();

    // The core's loop runs inside Qt's before anything that uses it exists.
    mv::QtMessageLoop loop;

    mv::TINI ini;
    mv::ui::TProject project(loop, options.overrides);
    mv::ui::TMainForm window(ini, project);
    splash.HoldMainWindow(&window);  // disabled until the splash closes
    window.show();
    splash.raise();  // above the main window, even where no window manager keeps it there
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    window.OpenStartArgument(arguments);
    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    // The last resort: whatever escapes start-up or the end of the program
    // (the loop's handlers and the commands catch their own) is said on
    // standard error with a failure status, not as an abort.
    try {
        return Main(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mailvetter: %s\n", e.what());
    } catch (...) {
        std::fputs("mailvetter: an unknown error ended the program\n", stderr);
    }
    return 1;
}
