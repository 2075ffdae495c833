// Importing a million lines (CSV) or records (dBase) in the window
// (offscreen), as a user does it: "&Import Recipient List...", the file
// chosen, "&Import" pressed. Reports for each file:
//   preview   from the file chosen to the import dialog shown, and to its
//             choices shown (the file is read through once to count its
//             lines and fill the choices);
//   import    from "&Import" to the command's end, the list shown (the
//             rows in the list and the progress bar's last value);
//   stalls    the longest times the event loop did not turn, from the file
//             chosen to the command's end: a 1 ms timer notes each gap
//             between its ticks (the slices of the preview and the import,
//             the dialog's first paint, the final redraw of the list);
//   cancel    with --cancels N, "Cancel" is pressed N times during a second
//             import (each at a planned moment, by a queued click as input
//             arrives) and answered No; the time from the planned moment to
//             the question shown, longest and median.
//
//   QT_QPA_PLATFORM=offscreen mv_bench_window_import [--lines N] [--cancels N]
#include <QApplication>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_lists.h"
#include "common/application.h"
#include "import/import_dialog.h"
#include "loop/qt_message_loop.h"
#include "main_window/main_form.h"
#include "modal_driver.h"
#include "settings/tini.h"
#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
using mv::test::ModalDriver;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The gaps between the ticks of a 1 ms timer: how long the event loop
// did not turn.
class StallProbe {
  public:
    StallProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    }
    void Start() {
        gaps_.clear();
        last_ = Clock::now();
        timer_.start();
    }
    // Stops and gives the gaps, longest first.
    std::vector<double> Stop() {
        Tick();
        timer_.stop();
        std::sort(gaps_.rbegin(), gaps_.rend());
        return gaps_;
    }

  private:
    void Tick() {
        const auto now = Clock::now();
        gaps_.push_back(Ms(now - last_));
        last_ = now;
    }
    QTimer timer_;
    Clock::time_point last_;
    std::vector<double> gaps_;
};

// Notes when a question box is shown.
class QuestionWatch final : public QObject {
  public:
    QuestionWatch() { qApp->installEventFilter(this); }
    ~QuestionWatch() override { qApp->removeEventFilter(this); }
    Clock::time_point shown;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && qobject_cast<QMessageBox*>(watched) != nullptr)
            shown = Clock::now();
        return false;
    }
};

struct Figures {
    double shownMs = 0;    // from the file chosen to the import dialog shown
    double previewMs = 0;  // ... to its choices shown (the file read through)
    double importMs = 0;
    double endMs = 0;  // from the last slice to the command's end
    std::vector<double> gaps;
    std::vector<double> cancelMs;
    size_t rows = 0;
    int progress = 0;
};

// One import of `file` through the window; with `cancels`, "Cancel" is
// pressed that many times during it and answered No.
Figures ImportInWindow(mv::ui::TMainForm& form, ModalDriver& driver, const QString& file,
                       int cancels) {
    Figures f;
    StallProbe probe;
    QuestionWatch watch;
    Clock::time_point chosen;
    Clock::time_point pressed;
    Clock::time_point lastSlice;
    std::vector<Clock::time_point> planned;
    driver.Expect([&](QDialog* d) {
        probe.Start();
        chosen = Clock::now();
        ModalDriver::ChooseFile(file)(d);
    });
    driver.Expect([&](QDialog* d) {
        f.shownMs = Ms(Clock::now() - chosen);
        auto* dialog = qobject_cast<mv::ui::TImportDialog*>(d);
        while (!dialog->Ready())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        f.previewMs = Ms(Clock::now() - chosen);
        auto* bar = dialog->findChild<QProgressBar*>(QStringLiteral("PBar"));
        QObject::connect(bar, &QProgressBar::valueChanged,
                         [&lastSlice] { lastSlice = Clock::now(); });
        auto* cancel = dialog->findChild<QPushButton*>(QStringLiteral("btCancel"));
        for (int i = 0; i < cancels; ++i) {
            const int at = 100 + 150 * i;
            planned.push_back(Clock::now() + std::chrono::milliseconds(at));
            QTimer::singleShot(at, Qt::PreciseTimer, cancel, [&, dialog, cancel, i] {
                if (!dialog->Import().Importing()) return;  // done already
                driver.Expect([&f, &planned, &watch, i](QDialog* box) {
                    f.cancelMs.push_back(Ms(watch.shown - planned[static_cast<size_t>(i)]));
                    ModalDriver::Press(QMessageBox::No)(box);
                });
                QMetaObject::invokeMethod(cancel, "click", Qt::QueuedConnection);
            });
        }
        pressed = Clock::now();
        dialog->findChild<QPushButton*>(QStringLiteral("btImport"))->click();
    });
    const size_t before = form.List().RowCount();
    form.findChild<QAction*>(QStringLiteral("acImportRecipient"))->trigger();
    form.repaint();
    const auto end = Clock::now();
    f.gaps = probe.Stop();
    f.importMs = Ms(end - pressed);
    f.endMs = Ms(end - lastSlice);
    f.rows = form.List().RowCount() - before;
    return f;
}

void Report(const char* what, const Figures& f) {
    std::printf(
        "%s: dialog shown after %.0f ms, preview done after %.0f ms; import %.0f ms "
        "(%zu rows), of which %.0f ms after the last slice (list redrawn)\n",
        what, f.shownMs, f.previewMs, f.importMs, f.rows, f.endMs);
    if (f.gaps.size() > 3)
        std::printf(
            "  event loop stalls: longest %.1f ms, then %.1f, %.1f; median gap %.2f ms "
            "(%zu ticks)\n",
            f.gaps[0], f.gaps[1], f.gaps[2], f.gaps[f.gaps.size() / 2], f.gaps.size());
    if (!f.cancelMs.empty()) {
        std::vector<double> c = f.cancelMs;
        std::sort(c.begin(), c.end());
        std::printf("  \"Cancel\" to the question (%zu presses): longest %.1f ms, median %.1f ms\n",
                    c.size(), c.back(), c[c.size() / 2]);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int lines = 1000000;
    int cancels = 8;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--lines") == 0) lines = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--cancels") == 0) cancels = std::atoi(argv[i + 1]);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    mv::ui::Application app(argc, argv);
    mv::test::TempDir dir;
    qputenv("XDG_STATE_HOME",
            QByteArray::fromStdString((dir / "state").string()));  // no offer of the user's own
    mv::bench::WriteCsvList(dir / "list.csv", static_cast<size_t>(lines));
    mv::bench::WriteDbfList(dir / "list.dbf", static_cast<size_t>(lines));

    mv::QtMessageLoop loop;
    mv::TINI ini(dir / "config");
    mv::ui::TProject project(loop);
    mv::ui::TMainForm form(ini, project);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) std::fputs("the window was not shown\n", stderr);
    form.OpenStartArgument({});
    ModalDriver driver;
    const auto path = [&](const char* name) {
        return QString::fromStdString((dir / name).string());
    };

    std::printf("%d lines or records, slices of %d ms\n", lines, mv::ui::TImportDialog::kSliceMs);
    Report("CSV", ImportInWindow(form, driver, path("list.csv"), 0));
    form.SetModified(false);
    form.OpenStartArgument({});  // a new project
    Report("CSV with Cancel/No", ImportInWindow(form, driver, path("list.csv"), cancels));
    form.SetModified(false);
    form.OpenStartArgument({});
    Report("dBase", ImportInWindow(form, driver, path("list.dbf"), 0));
    if (!driver.Unexpected().isEmpty())
        std::fprintf(stderr, "unexpected: %s\n", qPrintable(driver.Unexpected().join("; ")));
    form.SetModified(false);
    return 0;
}
