// The commands on every row of a million-row list in the window (offscreen),
// each timed from the command until the window has painted the result, with
// the number of times the list's viewport painted meanwhile; Find Next from
// the first row to the last; and opening the log window on a transcript of
// ten thousand lines (until it has painted).
//
//   QT_QPA_PLATFORM=offscreen mv_bench_window_editing [--rows N] [--lines N]
#include <QAction>
#include <QApplication>
#include <QSortFilterProxyModel>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_lists.h"
#include "find/find_dialog.h"
#include "main_window/recipient_list_view.h"
#include "modal_driver.h"
#include "models/recipient_model.h"
#include "ui_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Counts the paint events of a widget.
class PaintCounter final : public QObject {
  public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int Take() { return std::exchange(count_, 0); }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count_;
        return false;
    }

  private:
    int count_ = 0;
};

struct Timed {
    double ms;
    int paints;
};

// Runs `command`, then lets the window show its result and paint once.
template <typename Command>
Timed UntilPainted(mv::ui::TMainForm& form, PaintCounter& paints, Command command) {
    QAbstractItemModel* shown = form.ListView()->model();  // the rows, or a filter over them
    if (auto* filter = qobject_cast<QSortFilterProxyModel*>(shown)) shown = filter->sourceModel();
    auto* model = qobject_cast<mv::ui::RecipientModel*>(shown);
    QCoreApplication::processEvents();
    paints.Take();
    const auto start = Clock::now();
    command();
    model->FlushChanges();
    QCoreApplication::processEvents();
    return {Ms(start), paints.Take()};
}

void Report(const char* what, const Timed& t, size_t rowsAfter) {
    std::printf("%-34s %8.1f ms  (viewport painted %d times; %zu rows after)\n", what, t.ms,
                t.paints, rowsAfter);
}

}  // namespace

int main(int argc, char** argv) {
    size_t rows = 1000000;
    size_t lines = 10000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rows") == 0) rows = std::strtoull(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--lines") == 0) lines = std::strtoull(argv[i + 1], nullptr, 10);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    mv::ui::Application app(argc, argv);
    mv::test::TempDir dir;
    mv::test::WindowLoop loop;
    mv::test::WindowUnderTest window(dir / "config", loop.loop());
    mv::ui::TMainForm& form = window.form();
    mv::test::ModalDriver driver;
    form.OpenStartArgument({});
    mv::bench::FillProjectList(form.List(), rows, true);  // names and cities with umlauts
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) std::fputs("the window was not shown\n", stderr);
    PaintCounter paints(form.ListView()->viewport());
    mv::RecipientList& list = form.List();
    std::printf("rows %zu\n", list.RowCount());

    // Find Next from the first row to the last, in each way of matching.
    mv::ui::TFindDialog* find = form.FindDialogWindow();
    const QString last = QStringLiteral("USER%1@").arg(rows - 1, 7, 10, QLatin1Char('0'));
    const struct {
        const char* what;
        QString text;
        bool matchCase;
        bool found;  // else the search walks every row and says "Not found"
    } searches[] = {
        {"Find Next, row 0 to the last", last, false, true},
        {"  the same with Match case", last.toLower(), true, true},
        {"  not found, texts beyond ASCII", QStringLiteral("ZÜRICH LISBON"), false, false},
    };
    for (const auto& s : searches) {
        find->SetFindText(s.text);
        find->SetMatchCase(s.matchCase);
        form.ListView()->SelectRow(0);
        if (!s.found) driver.Expect(mv::test::ModalDriver::Press(QMessageBox::Ok));
        const Timed t = UntilPainted(form, paints, [&] { window.action("acFindNext")->trigger(); });
        Report(s.what, t, list.RowCount());
    }

    // The commands on every mark, then Delete All Checked on a third of the rows.
    for (const char* command :
         {"acCheckAll", "acInvertSelection", "acInvertSelection", "acUnCheckAll"}) {
        const Timed t = UntilPainted(form, paints, [&] { window.action(command)->trigger(); });
        Report(command, t, list.RowCount());
    }
    list.BeginUpdate();
    for (size_t row = 0; row < list.RowCount(); row += 3)
        list.SetStateIndex(row, mv::kMarkChecked);
    list.EndUpdate();
    driver.Expect(mv::test::ModalDriver::Press(QMessageBox::Yes));
    Timed deleted =
        UntilPainted(form, paints, [&] { window.action("acRecipientDeleteSelected")->trigger(); });
    Report("acRecipientDeleteSelected (a third)", deleted, list.RowCount());
    driver.Expect(mv::test::ModalDriver::Press(QMessageBox::Yes));
    window.action("acCheckAll")->trigger();
    deleted =
        UntilPainted(form, paints, [&] { window.action("acRecipientDeleteSelected")->trigger(); });
    Report("acRecipientDeleteSelected (all)", deleted, list.RowCount());

    // The log window on a long transcript: from the command until it has painted.
    mv::RecipientRow checked;
    checked.caption = "user@example.com";
    checked.imageIndex = mv::kIconFailed;
    for (size_t i = 0; i < lines; ++i)
        checked.transcript.push_back(i % 2 == 0
                                         ? "RCPT TO:<user" + std::to_string(i) + "@example.com>"
                                         : "550 5.1.1 Mailbox unavailable");
    list.AppendRow(checked);
    form.ListView()->SelectRow(0);
    std::vector<double> opened;
    for (int i = 0; i < 5; ++i) {
        Clock::time_point start;
        driver.Expect([&](QDialog* dialog) {
            dialog->repaint();
            opened.push_back(Ms(start));
            dialog->reject();
        });
        start = Clock::now();
        window.action("acViewLog")->trigger();
    }
    std::sort(opened.begin(), opened.end());
    std::printf("log window, %zu lines: median %.1f ms, longest %.1f ms (of %zu)\n", lines,
                opened[opened.size() / 2], opened.back(), opened.size());
    if (!driver.Unexpected().isEmpty() || driver.Pending() != 0)
        std::fputs("a dialog went unanswered\n", stderr);
    form.SetModified(false);
    return 0;
}
