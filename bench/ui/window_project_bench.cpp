// A project of a million recipients in the window (offscreen): seconds to
// open it (until the window has painted it) and to save it, the window's
// memory, and the time each repaint of the list takes while paging through
// it with Page Down and while jumping to places all over it (wall time, and
// the processor time of the longest: on a shared machine the wall time of a
// few repaints is mostly time the thread was not given the processor).
//
//   QT_QPA_PLATFORM=offscreen mv_bench_window_project [--rows N] [--pages N]
#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench_lists.h"
#include "common/application.h"
#include "loop/qt_message_loop.h"
#include "main_window/main_form.h"
#include "main_window/recipient_list_view.h"
#include "project/stream/project_stream.h"
#include "settings/tini.h"
#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double ResidentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Spread {
    double longest = 0;
    double median = 0;
    double p99 = 0;
    double longestCpu = 0;  // the most processor time one repaint took
};

Spread Summarise(std::vector<double> samples, double longestCpu) {
    std::sort(samples.begin(), samples.end());
    if (samples.empty()) return {};
    return {samples.back(), samples[samples.size() / 2], samples[samples.size() * 99 / 100],
            longestCpu};
}

// Each repaint of the list's viewport, timed alone after `move` scrolled it.
template <typename Move>
Spread TimeRepaints(mv::ui::RecipientListView& view, int count, Move move) {
    std::vector<double> samples;
    double longestCpu = 0;
    for (int i = 0; i < count; ++i) {
        move(i);
        QCoreApplication::processEvents();  // the scrolling's own work
        const double cpu = ThreadCpuMs();
        const auto start = Clock::now();
        view.viewport()->repaint();
        samples.push_back(Ms(start));
        longestCpu = std::max(longestCpu, ThreadCpuMs() - cpu);
    }
    return Summarise(samples, longestCpu);
}

}  // namespace

int main(int argc, char** argv) {
    size_t rows = 1000000;
    int pages = 2000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rows") == 0) rows = std::strtoull(argv[i + 1], nullptr, 10);
        if (std::strcmp(argv[i], "--pages") == 0) pages = std::atoi(argv[i + 1]);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    mv::ui::Application app(argc, argv);
    mv::test::TempDir dir;
    qputenv("XDG_STATE_HOME",
            QByteArray::fromStdString((dir / "state").string()));  // no offer of the user's own
    mv::bench::WriteProjectFile(dir / "big.mlt", rows);

    mv::QtMessageLoop loop;
    mv::TINI ini(dir / "config");
    mv::ui::TProject project(loop);
    mv::ui::TMainForm form(ini, project);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) std::fputs("the window was not shown\n", stderr);
    form.OpenStartArgument({});
    const double before = ResidentMb();

    auto start = Clock::now();
    form.OpenProject(QString::fromStdString((dir / "big.mlt").string()));
    form.repaint();
    const double openMs = Ms(start);
    const double afterOpen = ResidentMb();
    start = Clock::now();
    form.SaveProject(QString::fromStdString((dir / "saved.mlt").string()));
    const double saveMs = Ms(start);
    std::printf(
        "rows %zu: open %.0f ms (read and painted), save %.0f ms; window RSS %.1f MB "
        "(%.1f MB for the rows)\n",
        form.List().RowCount(), openMs, saveMs, afterOpen, afterOpen - before);

    mv::ui::RecipientListView& view = *form.ListView();
    view.setFocus();
    view.SelectRow(0);
    const Spread paging =
        TimeRepaints(view, pages, [&](int) { QTest::keyClick(&view, Qt::Key_PageDown); });
    const int range = view.verticalScrollBar()->maximum();
    const Spread jumping = TimeRepaints(view, pages, [&](int i) {
        view.verticalScrollBar()->setValue(static_cast<int>((i * 7919LL) % (range + 1)));
    });
    const char* format =
        "repaint %s (%d): longest %.2f ms, 99%% %.2f ms, median %.2f ms; "
        "the most processor time of one: %.2f ms\n";
    std::printf(format, "while paging down", pages, paging.longest, paging.p99, paging.median,
                paging.longestCpu);
    std::printf(format, "after jumps all over the list", pages, jumping.longest, jumping.p99,
                jumping.median, jumping.longestCpu);
    form.SetModified(false);
    return 0;
}
