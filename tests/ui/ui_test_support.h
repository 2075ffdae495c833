// What the window tests share: a main window on a settings folder of its own,
// project files made for a test, and a main() for QTest suites that runs
// offscreen under the program's own application object.
#pragma once

#include <QAction>
#include <QMenu>
#include <QStringList>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/application.h"
#include "loop/qt_message_loop.h"
#include "main_window/main_form.h"
#include "project/list/recipient_list.h"
#include "settings/tini.h"
#include "test_support.h"

namespace mv::test {

// A main window as the program creates it, with its settings in `config`.
class WindowUnderTest {
  public:
    WindowUnderTest(const std::filesystem::path& config, MessageLoop& loop,
                    ui::CheckOverrides overrides = {});
    ui::TMainForm& form() { return *form_; }
    TINI& ini() { return ini_; }
    QAction* action(const char* name) const;

  private:
    TINI ini_;
    ui::TProject project_;
    std::unique_ptr<ui::TMainForm> form_;
};

// A row as a test writes it: address, result text, icon, mark.
struct TestRow {
    std::string caption;
    std::string result;
    int32_t icon = kIconNotChecked;
    int32_t mark = kMarkChecked;
};

// The message loop the window runs on in the program.
class WindowLoop {
  public:
    MessageLoop& loop() { return loop_; }

  private:
    QtMessageLoop loop_;
};

// Writes a project file holding `rows`.
void WriteProject(const std::filesystem::path& path, const std::vector<TestRow>& rows);

// A menu's or tool bar's visible entries: captions, "-" for a separator, a
// submenu's title followed by ">".
QStringList Entries(const QWidget* menuOrBar);

}  // namespace mv::test

// The main() of a window test suite.
#define MV_UI_TEST_MAIN(TestClass)                          \
    int main(int argc, char** argv) {                       \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) \
            qputenv("QT_QPA_PLATFORM", "offscreen");        \
        mv::ui::Application app(argc, argv);                \
        TestClass suite;                                    \
        return QTest::qExec(&suite, argc, argv);            \
    }
