// mailvetter-cli check: checks the marked rows of a project (or a list to
// import, or addresses on standard input) exactly as the window's "&Check"
// does, and writes each result as it arrives.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "check_output.h"
#include "cli_args.h"
#include "commands.h"
#include "engine/result_codes.h"
#include "interrupts.h"
#include "list_input.h"
#include "output_formats.h"
#include "output_target.h"
#include "platform/loop/epoll_loop.h"
#include "platform/process/resource_limits.h"
#include "platform/resolver/host_resolver.h"
#include "project/findings/project_files.h"
#include "project/list/row_verdict.h"
#include "project/run/address_text.h"
#include "project/run/check_run.h"
#include "project/stream/project_stream.h"
#include "sender_options.h"
#include "settings/tini.h"
#include "socks_options.h"
#include "status_line.h"

namespace mv::cli {

namespace {

// When the DNS servers answer on another port, the names of the mail
// exchangers are looked up there too (a test world or a tunnel).
void PointHostLookups(const TSmtpRelayServer& dispatcher, const std::string& port) {
    std::string servers;
    for (const std::string& s : dispatcher.DnsServerList()) {
        if (!servers.empty()) servers += ',';
        servers.append(s).append(":").append(port);
    }
    network_layer::SetLookupServers(servers);
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

struct CheckJob {
    std::string input;
    std::unique_ptr<OutputTarget> output;
    std::optional<CheckResultWriter> writer;  // once the output is open
    bool outputFailed = false;
};

int Finish(const ParsedArgs& args, const CheckJob& job, RecipientList& list, bool interrupted,
           bool warned) {
    if (args.Has("save")) {
        try {
            SaveProject(list, job.input);
        } catch (const Exception& e) {
            PrintError(e.what());
            return kExitFailure;
        }
    }
    if (job.outputFailed) return kExitFailure;
    if (interrupted) return 130;
    return warned ? kExitWarning : kExitOk;
}

}  // namespace

int RunCheck(const ParsedArgs& parsed) {
    if (parsed.Has("cluster")) return RunCheckOnCluster(parsed);
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
    const CheckSettings settings = CheckSettingsFor(parsed, ini);
    RecipientList list;
    const AddressKnowledge* lists = nullptr;
    try {
        LoadInput(job.input, list);
        lists = &AddressKnowledge::Installed();
    } catch (const Exception& e) {
        PrintError(e.what());
        return kExitFailure;
    }
    job.output = std::make_unique<OutputTarget>(parsed.ValueOr("output", ""));
    if (!job.output->Writable()) {
        PrintError("Cannot create file " + job.output->Path());
        return kExitFailure;
    }

    EpollLoop loop;
    TSmtpRelayServer dispatcher(loop);
    dispatcher.SetInternalDns(TSmtpRelayServer::kDefaultInternalDns);
    dispatcher.SetProviders(&lists->Providers());
    if (smtpPort) dispatcher.SetSmtpPort(std::to_string(*smtpPort));
    if (dnsPort) dispatcher.SetDnsPort(std::to_string(*dnsPort));
    CheckRun run(list, dispatcher);
    const auto flush = [&] {
        if (job.writer) job.writer->Flush();
    };
    StatusLine status(loop, StatusTextsOf(run), flush);
    run.OnStatusChanged = [&] { status.Changed(); };
    // The output is opened and the header written once the run has begun (or
    // with its first result, which can come while it starts): a refused run
    // leaves the file as it was.
    FinalRows finalRows(nullptr, list, *lists);
    bool begun = false;
    const auto begin = [&] {
        if (begun) return;
        begun = true;
        if (std::FILE* out = job.output->Open()) {
            job.writer.emplace(out, format, parsed.Has("transcripts"));
            job.writer->Header();
            finalRows.SetWriter(&*job.writer);
            return;
        }
        PrintError("Cannot create file " + job.output->Path());
        job.outputFailed = true;
        loop.Post([&run] { run.Stop(); });  // not from inside the result being reported
    };
    // A deferred result that will be checked again is written once it is final.
    run.OnRowFinal = [&](size_t row, int code) {
        begin();
        finalRows.Write(row, code);
    };
    run.OnRunningChanged = [&](bool running) {
        if (!running) loop.Quit();
    };
    bool warned = false;
    run.OnWarning = [&](const RunWarning& w) {
        HandleWarning(w, parsed.Has("keep-going"), run, warned);
    };
    InterruptWatch interrupts(
        loop, [&] { run.Stop(); }, flush);

    try {
        run.Start(settings);
    } catch (const Exception& e) {
        PrintRefusal(e.what());
        return kExitFailure;
    }
    begin();
    if (dnsPort) PointHostLookups(dispatcher, std::to_string(*dnsPort));
    if (run.Running()) loop.Run();
    flush();
    status.Finish();
    PrintRunSummary(run.Tally(), finalRows.Flags());
    return Finish(parsed, job, list, interrupts.Interrupted(), warned);
}

}  // namespace mv::cli
