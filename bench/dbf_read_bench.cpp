// Reading a dBase table of 1,000,000 records (e-mail C 40, name C 30, N 8,
// D, L) through TTbDbf, as the import does: walk every record and read every
// field as text. Also the walk alone, to show what the field texts cost.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "storage/dbf/tb_dbf.h"

namespace {

constexpr int kRecords = 1000000;

void Put(std::string& out, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
    }
}

std::string Padded(std::string text, std::size_t width, bool right = false) {
    if (text.size() < width) {
        text.insert(right ? 0 : text.size(), width - text.size(), ' ');
    }
    return text;
}

std::string g_path;  // the table written for this run, removed at the end

// Writes the table once per run, byte by byte.
const std::string& TablePath() {
    if (g_path.empty()) {
        g_path = [] {
            std::string file = (std::filesystem::temp_directory_path() /
                                ("mv-bench-" + std::to_string(::getpid()) + ".dbf"))
                                   .string();
            struct Field {
                const char* name;
                char type;
                int length;
            };
            const Field fields[] = {{"EMAIL", 'C', 40},
                                    {"NAME", 'C', 30},
                                    {"VISITS", 'N', 8},
                                    {"SINCE", 'D', 8},
                                    {"ACTIVE", 'L', 1}};
            std::string header(32 + 32 * 5 + 1, '\0');
            header[0] = 0x03;
            Put(header, 4, kRecords, 4);
            Put(header, 8, static_cast<std::uint32_t>(header.size()), 2);
            Put(header, 10, 1 + 40 + 30 + 8 + 8 + 1, 2);
            for (int i = 0; i < 5; ++i) {
                header.replace(32 + 32 * static_cast<std::size_t>(i),
                               std::char_traits<char>::length(fields[i].name), fields[i].name);
                header[32 + 32 * static_cast<std::size_t>(i) + 11] = fields[i].type;
                header[32 + 32 * static_cast<std::size_t>(i) + 16] =
                    static_cast<char>(fields[i].length);
            }
            header.back() = '\x0D';
            std::ofstream out(file, std::ios::binary);
            out << header;
            for (int n = 0; n < kRecords; ++n) {
                const std::string id = std::to_string(n);
                char date[9];
                std::snprintf(date, sizeof date, "%04d%02d%02d", 1990 + n % 30, 1 + n % 12,
                              1 + n % 28);
                out << ' ' << Padded("user" + id + "@example" + std::to_string(n % 97) + ".com", 40)
                    << Padded("Name " + id, 30) << Padded(std::to_string(n % 100000), 8, true)
                    << date << (n % 3 == 0 ? 'F' : 'T');
            }
            out << '\x1A';
            return file;
        }();
    }
    return g_path;
}

void BM_ReadAllFieldsAsText(benchmark::State& state) {
    const std::string& path = TablePath();
    std::size_t bytes = 0;
    for (auto _ : state) {
        mv::TTbDbf table("tbDbase");
        table.SetDbfFileName(path);
        table.SetActive(true);
        const int fields = table.FieldCount();
        for (table.First(); !table.Eof(); table.Next()) {
            for (int i = 0; i < fields; ++i) {
                bytes += table.Fields(i).AsString().size();
            }
        }
        table.Close();
    }
    benchmark::DoNotOptimize(bytes);
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_ReadAllFieldsAsText)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_WalkOnly(benchmark::State& state) {
    const std::string& path = TablePath();
    for (auto _ : state) {
        mv::TTbDbf table("tbDbase");
        table.SetDbfFileName(path);
        table.SetActive(true);
        for (table.First(); !table.Eof(); table.Next()) {
        }
        table.Close();
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_WalkOnly)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    // Dates read in the short date format of the user's locale, as in the program.
    std::setlocale(LC_TIME, "");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!g_path.empty()) {
        std::filesystem::remove(g_path);
    }
    return 0;
}
