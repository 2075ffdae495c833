// Writing and reading a project of a million recipients with two extra
// columns, each with the finding of its check: seconds for the project file
// and for its findings file, and the memory the rows take.
//
//   mv_bench_project_stream [rows] [folder]
//
// builds the list, saves it (with the flush to disk that every save does),
// then starts itself again as "mv_bench_project_stream read FILE" so that the
// read and its peak memory are measured in a fresh process. Each half runs
// alone as "write FILE [rows]" and "read FILE" (for a profiler).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_lists.h"
#include "project/findings/findings_file.h"
#include "project/list/recipient_list.h"
#include "project/stream/project_stream.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Resident memory now, in MB.
double ResidentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

// The process's peak resident memory, in MB.
double PeakMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

int Read(const std::filesystem::path& file) {
    const double before = ResidentMb();
    mv::RecipientList list;
    const auto start = Clock::now();
    mv::LoadProjectFile(list, file);
    const double seconds = Seconds(start);
    std::printf("read   %zu rows: %.3f s; rows in memory %.1f MB (RSS %.1f MB, peak %.1f MB)\n",
                list.RowCount(), seconds, ResidentMb() - before, ResidentMb(), PeakMb());
    const auto findings = Clock::now();
    const std::string notice = mv::LoadFindingsFile(list, file);
    std::printf("read   findings: %.3f s %s (RSS %.1f MB, peak %.1f MB)\n", Seconds(findings),
                notice.c_str(), ResidentMb(), PeakMb());
    return notice.empty() ? 0 : 1;
}

void Write(const std::filesystem::path& file, size_t rows) {
    const double before = ResidentMb();
    mv::RecipientList list;
    auto start = Clock::now();
    mv::bench::FillProjectList(list, rows);
    mv::bench::AddFindings(list);
    std::printf("build  %zu rows: %.3f s; rows in memory %.1f MB (RSS %.1f MB)\n", rows,
                Seconds(start), ResidentMb() - before, ResidentMb());

    start = Clock::now();
    mv::SaveProjectFile(list, file);
    std::printf("write  %zu rows: %.3f s; file %.1f MB (peak RSS %.1f MB)\n", rows, Seconds(start),
                static_cast<double>(std::filesystem::file_size(file)) / 1048576.0, PeakMb());
    start = Clock::now();
    mv::SaveFindingsFile(list, file);
    std::printf(
        "write  findings: %.3f s; file %.1f MB (peak RSS %.1f MB)\n", Seconds(start),
        static_cast<double>(std::filesystem::file_size(mv::FindingsPathOf(file))) / 1048576.0,
        PeakMb());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (argc == 3 && mode == "read") {
        return Read(argv[2]);
    }
    if (argc >= 3 && mode == "write") {
        Write(argv[2], argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1000000);
        return 0;
    }

    const size_t rows = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    const std::filesystem::path folder =
        argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path();
    const std::filesystem::path file = folder / "mv_bench_project.mlt";
    Write(file, rows);

    const pid_t pid = fork();
    if (pid == 0) {
        execl("/proc/self/exe", argv[0], "read", file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    std::filesystem::remove(file);
    std::filesystem::remove(mv::FindingsPathOf(file));
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
