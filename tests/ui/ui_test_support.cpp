#include "ui_test_support.h"

#include <QToolBar>

#include "project/stream/project_stream.h"

namespace mv::test {

WindowUnderTest::WindowUnderTest(const std::filesystem::path& config, MessageLoop& loop,
                                 ui::CheckOverrides overrides)
    : ini_(config),
      project_(loop, std::move(overrides)),
      form_(std::make_unique<ui::TMainForm>(ini_, project_)) {
    // Projects never saved are journaled in the state folder: the test's own.
    setenv("XDG_STATE_HOME", (config / "state").c_str(), 1);
}

QAction* WindowUnderTest::action(const char* name) const {
    return form_->findChild<QAction*>(QString::fromLatin1(name));
}

void WriteProject(const std::filesystem::path& path, const std::vector<TestRow>& rows) {
    RecipientList list;
    for (const TestRow& r : rows) {
        RecipientRow row;
        row.caption = r.caption;
        row.subItems = {r.result};
        row.imageIndex = r.icon;
        row.stateIndex = r.mark;
        list.AppendRow(row);
    }
    SaveProjectFile(list, path);
}

QStringList Entries(const QWidget* menuOrBar) {
    QStringList entries;
    for (const QAction* a : menuOrBar->actions()) {
        if (!a->isVisible()) continue;  // not in the menu as the user sees it
        if (a->isSeparator())
            entries << QStringLiteral("-");
        else if (a->menu() != nullptr)
            entries << a->text() + ">";
        else
            entries << a->text();
    }
    return entries;
}

}  // namespace mv::test
