#include "journal_crash.h"

#include <signal.h>

#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "fake_world.h"
#include "kernel_probes.h"
#include "project/findings/finding_line.h"
#include "project/list/recipient_list.h"
#include "project/stream/project_stream.h"
#include "subprocess.h"

namespace mv::test {

const char* const kSlowWorld =
    "host mx.slow.test delay=20 users=valid\ndomain * mx 10 mx.slow.test\n";

namespace {

std::string Address(size_t row) {
    return (row % 2 == 0 ? "valid@d" : "nobody@d") + std::to_string(row) + ".test";
}
int Code(size_t row) {
    return row % 2 == 0 ? 0 : 550;
}

std::vector<std::string> Lines(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!in.eof()) lines.push_back(line);  // a line without its line feed is torn
    return lines;
}

// The rows of the journal's complete lines; a wrong line is told in `failure`.
std::set<size_t> Journaled(const std::filesystem::path& journal, std::string& failure) {
    std::set<size_t> rows;
    const std::vector<std::string> lines = Lines(journal);
    for (size_t i = 1; i < lines.size(); ++i) {
        const auto record = ParseFindingLine(lines[i]);
        if (!record || record->address != Address(record->row) || record->code != Code(record->row))
            failure += "journal line \"" + lines[i] + "\" is wrong\n";
        else
            rows.insert(record->row);
    }
    return rows;
}

}  // namespace

std::string CrashAndResume(const FakeWorld& world, const std::filesystem::path& dir, size_t rows,
                           size_t killAfter) {
    const std::filesystem::path project = dir / "crash.mlt";
    const std::filesystem::path journal = dir / "crash.mlt.journal";
    RecipientList list;
    for (size_t row = 0; row < rows; ++row)
        list.AppendRow(Address(row), std::vector<std::string_view>{""}, kIconNotChecked,
                       kMarkChecked);
    SaveProjectFile(list, project);
    std::filesystem::remove(journal);
    const std::vector<std::string> env = {"XDG_CONFIG_HOME=" + dir.string()};
    const auto check = [&](const char* extra) {
        return std::vector<std::string>{CliPath(),       "check",
                                        "--from",        "me@x.test",
                                        "--dns",         world.dnsServer(),
                                        "--dns-port",    std::to_string(world.dnsPort()),
                                        "--smtp-port",   std::to_string(world.smtpPort()),
                                        "--per-server",  "0",
                                        "--connections", "10",
                                        extra,           project.string()};
    };
    {
        Subprocess run(check("--save"), "", env);
        if (!PollUntil([&] { return Lines(journal).size() > killAfter; }))
            return "the journal never held " + std::to_string(killAfter) + " results";
        run.Signal(SIGKILL);
        run.Wait();
    }
    std::string failure;
    const std::set<size_t> journaled = Journaled(journal, failure);
    std::vector<std::string> resume = check("--resume");
    resume.insert(resume.end() - 1, "--save");
    const ProcessResult resumed = RunProgram(resume, "", env);
    if (resumed.exitCode != 0) return failure + "the resume failed: " + resumed.err;
    std::istringstream out(resumed.out);
    for (std::string line; std::getline(out, line);)
        if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])) &&
            journaled.count(std::stoul(line)) != 0)
            failure += "row " + line.substr(0, line.find(',')) + " was asked again\n";
    RecipientList recovered;
    LoadProjectFile(recovered, project);
    for (size_t row = 0; row < rows; ++row)
        if (recovered.SubItem(row, 0).rfind("[" + std::to_string(Code(row)) + "] ", 0) != 0)
            failure += "row " + std::to_string(row) + " holds \"" +
                       std::string(recovered.SubItem(row, 0)) + "\"\n";
    if (std::filesystem::exists(journal)) failure += "the journal was not removed\n";
    return failure;
}

}  // namespace mv::test
