// mailvetter-cli check: checks the marked rows of a project (or a list to
// import, or addresses on standard input) exactly as the window's "&Check"
// does, and writes each result as it arrives.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli_args.h"
#include "commands.h"
#include "engine/result_codes.h"
#include "interrupts.h"
#include "list_input.h"
#include "output_formats.h"
#include "platform/loop/epoll_loop.h"
#include "platform/process/resource_limits.h"
#include "platform/time/tick_count.h"
#include "project/list/row_verdict.h"
#include "project/run/address_text.h"
#include "project/run/check_run.h"
#include "project/run/host_lookups.h"
#include "project/stream/project_stream.h"
#include "sender_options.h"
#include "settings/tini.h"
#include "socks_options.h"
#include "status_line.h"

namespace mv::cli {

namespace {

ResultFormat ChooseFormat(const ParsedArgs& args) {
    const std::string format = args.ValueOr("format", "");
    if (format == "csv") return ResultFormat::kCsv;
    if (format == "jsonl") return ResultFormat::kJsonLines;
    if (!format.empty()) throw UsageError("--format is csv or jsonl, not '" + format + "'");
    const std::string out = args.ValueOr("output", "");
    const auto dot = out.rfind('.');
    const std::string ext = dot == std::string::npos ? "" : out.substr(dot);
    return ext == ".jsonl" || ext == ".json" ? ResultFormat::kJsonLines : ResultFormat::kCsv;
}

// The stored settings with this run's overrides.
CheckSettings SettingsFor(const ParsedArgs& args, TINI& ini) {
    CheckSettings s = StoredSettingsWithSender(args, ini);
    if (auto v = args.Number("connections", 1, 100000)) s.connections = static_cast<int>(*v);
    if (auto v = args.Number("timeout", 1, 86400)) s.timeOut = static_cast<int>(*v);
    if (args.Has("no-accept-all-probe")) s.acceptAllProbe = false;
    if (auto v = args.Number("recheck-deferred", 0, CheckSettings::kMaxRecheckDeferred))
        s.recheckDeferred = static_cast<int>(*v);
    if (auto v = args.Number("per-server", 0, CheckSettings::kMaxStoredValue))
        s.perServer = static_cast<int>(*v);
    if (auto v = args.Number("per-server-rate", 0, CheckSettings::kMaxPerServerRate))
        s.perServerRate = static_cast<int>(*v);
    if (auto v = args.Value("source-address")) s.sourceAddress = *v;
    if (auto proxy = ParseSocksOptions(args)) {
        s.proxyEnabled = true;
        s.proxy = *proxy;
    }
    return s;
}

// The window's refusals that point at the window get, on a second line, how
// to do the same from the command line.
void PrintRefusal(const std::string& message) {
    PrintError(message);
    if (message == "Please provide a valid e-mail address for the FROM field (Tools | Options)")
        PrintError(
            "on the command line: --from ADDRESS for this run, or\n"
            "  mailvetter-cli settings Connection/From ADDRESS to store it");
    if (message == CheckRun::kSourceAddressInvalid || message.rfind("The source address ", 0) == 0)
        PrintError(
            "on the command line: --source-address ADDRESS for this run, or\n"
            "  mailvetter-cli settings Checks/SourceAddress ADDRESS to store it\n"
            "  (an empty value leaves the choice to the system)");
}

// A warning stops the run (exit status 3) unless --keep-going was given.
void HandleWarning(const RunWarning& warning, bool keepGoing, CheckRun& run, bool& stopped) {
    PrintError("warning: " + warning.message);
    if (keepGoing) {
        PrintError("going on (--keep-going)");
        run.GoOn();
        return;
    }
    PrintError("the run stops; --keep-going checks on regardless");
    stopped = true;
    run.Stop();
}

// "deliverable: 2   risky: 0   undeliverable: 1   unknown: 0": the final
// results of the run per verdict.
void PrintVerdictCounts(const VerdictTally& tally) {
    std::string line;
    for (Verdict v :
         {Verdict::kDeliverable, Verdict::kRisky, Verdict::kUndeliverable, Verdict::kUnknown})
        line += (line.empty() ? "" : "   ") + std::string(VerdictName(v)) + ": " +
                std::to_string(tally.Of(v));
    std::fprintf(stderr, "%s\n", line.c_str());
}

struct CheckJob {
    std::string input;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> output{nullptr, &std::fclose};
    std::FILE* out = stdout;
};

int Finish(const ParsedArgs& args, const CheckJob& job, RecipientList& list, bool interrupted,
           bool warned) {
    if (args.Has("save")) {
        try {
            SaveProjectFile(list, job.input);
        } catch (const Exception& e) {
            PrintError(e.what());
            return kExitFailure;
        }
    }
    if (interrupted) return 130;
    return warned ? kExitWarning : kExitOk;
}

}  // namespace

int RunCheck(const ParsedArgs& parsed) {
    if (parsed.Positional().size() != 1) throw UsageError("check needs exactly one INPUT");
    CheckJob job;
    job.input = parsed.Positional()[0];
    if (parsed.Has("save") && KindOf(job.input) != InputKind::kProject)
        throw UsageError("--save needs a project (.mlt) as INPUT");
    const ResultFormat format = ChooseFormat(parsed);
    const auto smtpPort = parsed.Number("smtp-port", 1, 65535);
    const auto dnsPort = parsed.Number("dns-port", 1, 65535);
    RaiseOpenFileLimit();

    TINI ini;
    const CheckSettings settings = SettingsFor(parsed, ini);
    RecipientList list;
    try {
        LoadInput(job.input, list);
    } catch (const Exception& e) {
        PrintError(e.what());
        return kExitFailure;
    }
    if (auto path = parsed.Value("output")) {
        job.output.reset(std::fopen(path->c_str(), "w"));
        if (!job.output) {
            PrintError("Cannot create file " + *path);
            return kExitFailure;
        }
        job.out = job.output.get();
    }

    EpollLoop loop;
    TSmtpRelayServer dispatcher(loop);
    dispatcher.SetInternalDns(TSmtpRelayServer::kDefaultInternalDns);
    if (smtpPort) dispatcher.SetSmtpPort(std::to_string(*smtpPort));
    if (dnsPort) dispatcher.SetDnsPort(std::to_string(*dnsPort));
    CheckRun run(list, dispatcher);
    CheckResultWriter writer(job.out, format, parsed.Has("transcripts"));
    RunProgress progress(GetTickCount());
    StatusLine status(
        loop,
        [&] {
            const auto panels = run.StatusTexts();
            std::vector<std::string> texts(panels.begin(), panels.end());
            texts.push_back(run.RecheckText());
            texts.push_back(progress.Text(GetTickCount()));
            return texts;
        },
        [&] { writer.Flush(); });
    run.OnStatusChanged = [&] { status.Changed(); };
    // The header goes out once the run has begun (or with its first result,
    // which can come while it starts): a refused run writes nothing.
    bool begun = false;
    const auto begin = [&] {
        if (!begun) writer.Header();
        begun = true;
    };
    // A deferred result that will be checked again is written once it is final.
    run.OnRowFinal = [&](size_t row, int code) {
        begin();
        progress.Final(GetTickCount());
        const std::string_view caption = list.Caption(row);
        writer.Result(row, caption, ExtractAddress(caption), code, list.SubItem(row, 0),
                      VerdictOfRow(list, row).value_or(RowVerdict{}), list.TranscriptOf(row));
    };
    run.OnRunningChanged = [&](bool running) {
        if (!running) loop.Quit();
    };
    bool warned = false;
    run.OnWarning = [&](const RunWarning& w) {
        HandleWarning(w, parsed.Has("keep-going"), run, warned);
    };
    InterruptWatch interrupts(
        loop, [&] { run.Stop(); }, [&] { writer.Flush(); });

    try {
        run.Start(settings);
    } catch (const Exception& e) {
        PrintRefusal(e.what());
        return kExitFailure;
    }
    begin();
    progress.SetTotal(dispatcher.Recipients().size());
    if (dnsPort) PointHostLookups(dispatcher, std::to_string(*dnsPort));
    if (run.Running()) loop.Run();
    writer.Flush();
    status.Finish();
    PrintVerdictCounts(run.Tally());
    std::fprintf(stderr, "%s\n", progress.Closing(GetTickCount()).c_str());
    return Finish(parsed, job, list, interrupts.Interrupted(), warned);
}

}  // namespace mv::cli
