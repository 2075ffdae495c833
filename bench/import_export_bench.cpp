// Importing a million lines or records into the recipient list, as the
// import dialog and the command line do, and exporting a million rows.
//
//   CSV:   a header and 1,000,000 lines of five fields (e-mail, first and
//          last name, city, phone), about 70 MB.
//   dBase: 1,000,000 records of EMAIL C 40, NAME C 30, VISITS N 8, SINCE D,
//          ACTIVE L, every field imported.
//
// "Preview+Import" is the whole work of an import (reading the file twice:
// once to count lines and pick the encoding, once to import); "Import" is
// the second step alone.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench_lists.h"
#include "project/import_export/recipient_export.h"
#include "project/import_export/recipient_import.h"

namespace {

constexpr int kLines = 1000000;

std::filesystem::path g_dir;  // removed at the end

const std::filesystem::path& Dir() {
    if (g_dir.empty()) {
        g_dir = std::filesystem::temp_directory_path() /
                ("mv-bench-import-" + std::to_string(::getpid()));
        std::filesystem::create_directories(g_dir);
    }
    return g_dir;
}

const std::filesystem::path& CsvPath() {
    static const std::filesystem::path path = [] {
        std::filesystem::path file = Dir() / "list.csv";
        mv::bench::WriteCsvList(file, kLines);
        return file;
    }();
    return path;
}

const std::filesystem::path& DbfPath() {
    static const std::filesystem::path path = [] {
        std::filesystem::path file = Dir() / "list.dbf";
        mv::bench::WriteDbfList(file, kLines);
        return file;
    }();
    return path;
}

void ImportFile(benchmark::State& state, const std::filesystem::path& path, bool preview) {
    size_t rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto list = std::make_unique<mv::RecipientList>();
        mv::RecipientImport import(path);
        if (!preview) {
            import.Open();
        }
        int64_t steps = 0;
        import.OnProgress = [&](mv::RecipientImport&, int64_t) { ++steps;
    };
    state.ResumeTiming();
    rows = import.Import(*list).rows;
    state.PauseTiming();
    list.reset();  // freeing a million rows is not part of the import
    state.ResumeTiming();
}
state.counters["rows"] = static_cast<double>(rows);
state.SetItemsProcessed(state.iterations() * kLines);
}  // namespace

void BM_CsvPreviewAndImport(benchmark::State& state) {
    ImportFile(state, CsvPath(), true);
}
BENCHMARK(BM_CsvPreviewAndImport)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_CsvImport(benchmark::State& state) {
    ImportFile(state, CsvPath(), false);
}
BENCHMARK(BM_CsvImport)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_DbfPreviewAndImport(benchmark::State& state) {
    ImportFile(state, DbfPath(), true);
}
BENCHMARK(BM_DbfPreviewAndImport)->Unit(benchmark::kMillisecond)->Iterations(5);

// Exports every row of the imported CSV (all marked valid) in each format.
void Export(benchmark::State& state, const char* name) {
    mv::RecipientList list;
    mv::RecipientImport import(CsvPath());
    import.Import(list);
    for (size_t row = 0; row < list.RowCount(); ++row) {
        list.SetImageIndex(row, mv::kIconValid);
    }
    const std::filesystem::path path = Dir() / name;
    for (auto _ : state) {
        mv::ExportRecipients(list, path, {});
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}

void BM_ExportText(benchmark::State& state) {
    Export(state, "out.txt");
}
BENCHMARK(BM_ExportText)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ExportCsv(benchmark::State& state) {
    Export(state, "out.csv");
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ExportDbf(benchmark::State& state) {
    Export(state, "out.dbf");
}
BENCHMARK(BM_ExportDbf)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    // Dates read in the short date format of the user's locale, as in the program.
    std::setlocale(LC_TIME, "");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!g_dir.empty()) {
        std::filesystem::remove_all(g_dir);
    }
    return 0;
}
