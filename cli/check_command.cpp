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
#include "platform/time/tick_count.h"
#include "project/findings/project_files.h"
#include "project/journal/project_journal.h"
#include "project/list/row_verdict.h"
#include "project/run/address_text.h"
#include "project/run/check_run.h"
#include "project/run/host_lookups.h"
#include "project/stream/project_stream.h"
#include "project_journal_cli.h"
#include "sender_options.h"
#include "settings/tini.h"
#include "socks_options.h"
#include "status_line.h"

namespace mv::cli {

namespace {

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
    ProjectJournal journal;
    bool journaling = false;  // --save or --resume: the results go to the journal
};

// Writes the results into the project (--save); the journal, whose results
// it then holds, goes.
bool Save(CheckJob& job, const RecipientList& list) {
    job.journal.EndWriting();
    try {
        SaveProject(list, job.input);
    } catch (const Exception& e) {
        PrintError(e.what());
        return false;
    }
    job.journal.Remove();
    return true;
}

int Finish(const ParsedArgs& args, CheckJob& job, RecipientList& list, bool interrupted,
           bool warned) {
    job.journal.EndWriting();
    if (args.Has("save") && !Save(job, list)) return kExitFailure;
    if (job.outputFailed) return kExitFailure;
    if (interrupted) return 130;
    return warned ? kExitWarning : kExitOk;
}

// A run that does not start: what a journal gave is saved all the same, and
// --resume with nothing left to check is done.
int Refused(const ParsedArgs& args, CheckJob& job, RecipientList& list,
            const std::string& message) {
    job.journal.EndWriting();  // before the loop it may use is gone
    const bool nothingLeft = args.Has("resume") && message == "Nothing to check";
    if (nothingLeft)
        PrintError("nothing left to check");
    else
        PrintRefusal(message);
    if (args.Has("save") && job.journal.Applied() && !Save(job, list)) return kExitFailure;
    return nothingLeft ? kExitOk : kExitFailure;
}

// Reads INPUT; a project's journal is applied (--recover, --resume) or told
// about. False, with the message printed, when the run cannot go on.
bool Load(const ParsedArgs& args, CheckJob& job, RecipientList& list) {
    if (KindOf(job.input) != InputKind::kProject) {
        LoadInput(job.input, list);
        return true;
    }
    JournalUse use;
    use.recover = args.Has("recover") || args.Has("resume");
    use.saving = args.Has("save");
    use.howToApply = "--recover applies them, --resume applies them and checks the rest";
    return OpenProjectWithJournal(job.input, list, job.journal, use);
}

}  // namespace

int RunCheck(const ParsedArgs& parsed) {
    if (parsed.Has("cluster")) return RunCheckOnCluster(parsed);
    if (parsed.Positional().size() != 1) throw UsageError("check needs exactly one INPUT");
    CheckJob job;
    job.input = parsed.Positional()[0];
    for (const char* option : {"save", "recover", "resume"})
        if (parsed.Has(option) && KindOf(job.input) != InputKind::kProject)
            throw UsageError(std::string("--") + option + " needs a project (.mlt) as INPUT");
    job.journaling = parsed.Has("save") || parsed.Has("resume");
    const ResultFormat format = ChooseFormat(parsed);
    const auto smtpPort = parsed.Number("smtp-port", 1, 65535);
    const auto dnsPort = parsed.Number("dns-port", 1, 65535);
    RaiseOpenFileLimit();

    TINI ini;
    const CheckSettings settings = CheckSettingsFor(parsed, ini);
    RecipientList list;
    const AddressKnowledge* lists = nullptr;
    try {
        if (!Load(parsed, job, list)) return kExitFailure;
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
    if (job.journaling) {
        WarnWhenJournalFails(job.journal.StartWriting(loop));
        run.SetJournal(job.journal.Writer());
    }
    const auto flush = [&] {
        if (job.writer) job.writer->Flush();
    };
    RunProgress progress(GetTickCount());
    StatusLine status(
        loop,
        [&, panels = StatusTextsOf(run)] {
            std::vector<std::string> texts = panels();
            texts.push_back(progress.Text(GetTickCount()));
            return texts;
        },
        flush);
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
        progress.Final(GetTickCount());
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
        run.Start(settings, parsed.Has("resume") ? RunRows::kRest : RunRows::kMarked);
    } catch (const Exception& e) {
        return Refused(parsed, job, list, e.what());
    }
    begin();
    progress.SetTotal(dispatcher.Recipients().size());
    if (dnsPort) PointHostLookups(dispatcher, std::to_string(*dnsPort));
    if (run.Running()) loop.Run();
    flush();
    status.Finish();
    PrintRunSummary(run.Tally(), finalRows.Flags());
    std::fprintf(stderr, "%s\n", progress.Closing(GetTickCount()).c_str());
    return Finish(parsed, job, list, interrupts.Interrupted(), warned);
}

}  // namespace mv::cli
