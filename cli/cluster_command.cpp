// mailvetter-cli cluster submit|collect|status|cancel, and check --cluster:
// a run on many machines through Redis. Collecting writes exactly what check
// writes, with the same counters and exit statuses.
#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "check_output.h"
#include "cli_args.h"
#include "cluster/cluster_keys.h"
#include "cluster/cluster_run.h"
#include "cluster/cluster_scripts.h"
#include "cluster/cluster_status.h"
#include "cluster_options.h"
#include "commands.h"
#include "interrupts.h"
#include "list_input.h"
#include "platform/loop/epoll_loop.h"
#include "project/findings/project_files.h"
#include "project_journal_cli.h"
#include "sender_options.h"
#include "status_line.h"

namespace mv::cli {

namespace {

// The options each subcommand takes; the cluster command declares them all.
const std::set<std::string> kConnectionOptions = {"redis", "redis-password-file"};
const std::set<std::string> kRunOptions = {"run", "no-accept-all-probe", "recheck-deferred",
                                           "claim-after"};
const std::set<std::string> kOutputOptions = {"output", "format", "transcripts", "save", "recover"};
const std::vector<std::string> kAllOptions = {"redis",
                                              "redis-password-file",
                                              "run",
                                              "no-accept-all-probe",
                                              "recheck-deferred",
                                              "claim-after",
                                              "output",
                                              "format",
                                              "transcripts",
                                              "save",
                                              "recover"};

void Refuse(const ParsedArgs& args, const std::string& command,
            std::initializer_list<const std::set<std::string>*> allowed) {
    for (const std::string& name : kAllOptions) {
        bool ok = false;
        for (const auto* set : allowed)
            ok = ok || set->count(name) != 0;
        if (!ok && args.Has(name)) throw UsageError(command + " does not take --" += name);
    }
}

// The run's own options: the accept-all probe and rechecks from the
// settings unless the command line says otherwise.
cluster::RunOptions RunOptionsFor(const ParsedArgs& args, TINI& ini, const std::string& input) {
    const CheckSettings s = CheckSettingsFor(args, ini);
    cluster::RunOptions o;
    o.name = args.ValueOr("run", "");
    if (!o.name.empty() && !cluster::ValidRunName(o.name))
        throw UsageError("a run name is 1 to 64 letters, digits, '-', '_' or '.'");
    o.input = input;
    o.acceptAllProbe = s.acceptAllProbe;
    o.recheckSeconds = s.recheckDeferred;
    if (auto v = args.Number("claim-after", 1, 86400)) o.claimAfterSeconds = static_cast<int>(*v);
    return o;
}

// Null, with the message printed, when INPUT cannot be read. A project read
// with its `journal` has that applied with --recover, or told about.
std::unique_ptr<RecipientList> LoadList(const ParsedArgs& args, const std::string& input,
                                        ProjectJournal* journal = nullptr) {
    auto list = std::make_unique<RecipientList>();
    try {
        if (journal == nullptr) {
            LoadInput(input, *list);
            return list;
        }
        JournalUse use;
        use.recover = args.Has("recover");
        use.saving = args.Has("save");
        if (!OpenProjectWithJournal(input, *list, *journal, use)) return nullptr;
    } catch (const Exception& e) {
        PrintError(e.what());
        return nullptr;
    }
    return list;
}

// Connects on its own loop; prints the failure. Null when it failed.
bool ConnectNow(EpollLoop& loop, cluster::RedisConnection& c, const cluster::RedisUrl& url) {
    std::string failure;
    bool done = false;
    c.Connect(url, [&](const std::string& error) {
        failure = error;
        done = true;
    });
    loop.WaitUntil([&] { return done; });
    if (!failure.empty()) PrintError(failure);
    return failure.empty();
}

int Submit(const ParsedArgs& args) {
    Refuse(args, "cluster submit", {&kConnectionOptions, &kRunOptions});
    if (args.Positional().size() != 2) throw UsageError("cluster submit needs exactly one INPUT");
    TINI ini;
    const cluster::RedisUrl url = ClusterRedisUrl(args, "redis", ini);
    const std::string input = args.Positional()[1];
    const cluster::RunOptions options = RunOptionsFor(args, ini, input);
    const std::unique_ptr<RecipientList> list = LoadList(args, input);
    if (!list) return kExitFailure;
    EpollLoop loop;
    cluster::RedisConnection connection(loop);
    if (!ConnectNow(loop, connection, url)) return kExitFailure;
    cluster::RunSubmitter submitter(connection);
    std::string failure;
    std::string name;
    bool done = false;
    connection.OnLost = [&](const std::string& m) { failure = m, done = true; };
    submitter.Submit(*list, options, [&](const std::string& error, const std::string& run) {
        failure = error;
        name = run;
        done = true;
    });
    loop.WaitUntil([&] { return done; });
    if (!failure.empty()) {
        PrintError(failure);
        return kExitFailure;
    }
    std::fprintf(stderr, "%zu rows submitted\n", submitter.Submitted());
    std::printf("%s\n", name.c_str());
    return kExitOk;
}

// Watches `run` until it is complete, writing each final result as check
// does. `stopCancels`: the first Ctrl-C cancels the run (else it leaves it
// to the workers).
int Watch(const ParsedArgs& args, EpollLoop& loop, cluster::ClusterRun& run, RecipientList& list,
          const std::function<void()>& start, bool stopCancels, const std::string& saveTo,
          ProjectJournal& journal) {
    const ResultFormat format = ChooseFormat(args);
    const AddressKnowledge* lists = nullptr;
    try {
        lists = &AddressKnowledge::Installed();
    } catch (const Exception& e) {
        PrintError(e.what());
        return kExitFailure;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(nullptr, &std::fclose);
    std::FILE* out = stdout;
    if (auto path = args.Value("output")) {
        file.reset(std::fopen(path->c_str(), "w"));
        if (!file) {
            PrintError("Cannot create file " + *path);
            return kExitFailure;
        }
        out = file.get();
    }
    CheckResultWriter writer(out, format, args.Has("transcripts"));
    if (!saveTo.empty()) {
        WarnWhenJournalFails(journal.StartWriting(loop));
        run.SetJournal(journal.Writer());
    }
    StatusLine status(loop, StatusTextsOf(run), [&] { writer.Flush(); });
    bool begun = false;
    const auto begin = [&] {
        if (!begun) writer.Header();
        begun = true;
    };
    bool failed = false;
    FinalRows finalRows(&writer, list, *lists);
    run.OnStatusChanged = [&] { status.Changed(); };
    run.OnRowFinal = [&](size_t row, int code) {
        begin();
        finalRows.Write(row, code);
    };
    run.OnRunningChanged = [&](bool running) {
        if (!running) loop.Quit();
    };
    run.OnFailed = [&](const std::string& m) {
        PrintError(m);
        failed = true;
    };
    run.OnMessage = [](const std::string& m) { PrintError(m); };
    InterruptWatch interrupts(
        loop, [&] { stopCancels ? run.Stop() : run.Detach(); }, [&] { writer.Flush(); });
    try {
        start();
    } catch (const Exception& e) {
        PrintError(e.what());
        return kExitFailure;
    }
    if (run.Running()) loop.Run();
    if (!failed) begin();
    writer.Flush();
    status.Finish();
    if (failed) return kExitFailure;
    PrintRunSummary(run.Tally(), finalRows.Flags());
    if (run.Duplicates() > 0)
        std::fprintf(stderr, "duplicates: %d (the first result of each row was kept)\n",
                     run.Duplicates());
    journal.EndWriting();
    if (!saveTo.empty()) {
        try {
            SaveProject(list, saveTo);
        } catch (const Exception& e) {
            PrintError(e.what());
            return kExitFailure;
        }
        journal.Remove();  // the project holds its results now
    }
    return interrupts.Interrupted() ? 130 : kExitOk;
}

int Collect(const ParsedArgs& args) {
    Refuse(args, "cluster collect", {&kConnectionOptions, &kOutputOptions});
    if (args.Positional().size() != 2) throw UsageError("cluster collect needs exactly one RUN");
    const std::string save = args.ValueOr("save", "");
    if (args.Has("save") && KindOf(save) != InputKind::kProject)
        throw UsageError("--save needs a project (.mlt)");
    TINI ini;
    const cluster::RedisUrl url = ClusterRedisUrl(args, "redis", ini);
    if (args.Has("recover") && save.empty()) throw UsageError("--recover needs --save PROJECT");
    ProjectJournal journal;
    std::unique_ptr<RecipientList> list = std::make_unique<RecipientList>();
    if (!save.empty()) list = LoadList(args, save, &journal);
    if (!list) return kExitFailure;
    EpollLoop loop;
    cluster::ClusterRun run(*list, loop);
    const std::string name = args.Positional()[1];
    return Watch(
        args, loop, run, *list, [&] { run.Attach(url, name); }, false, save, journal);
}

int Cancel(const ParsedArgs& args) {
    Refuse(args, "cluster cancel", {&kConnectionOptions});
    if (args.Positional().size() != 2) throw UsageError("cluster cancel needs exactly one RUN");
    TINI ini;
    const cluster::RedisUrl url = ClusterRedisUrl(args, "redis", ini);
    const std::string name = args.Positional()[1];
    EpollLoop loop;
    cluster::RedisConnection connection(loop);
    if (!ConnectNow(loop, connection, url)) return kExitFailure;
    cluster::ScriptRunner scripts(connection);
    cluster::RedisValue reply = cluster::RedisValue::Error("the connection was lost");
    bool done = false;
    connection.OnLost = [&](const std::string&) { done = true; };
    if (cluster::ValidRunName(name)) {
        scripts.Run(cluster::Script::kCancel,
                    {cluster::RunKey(name), cluster::WorkKey(name), cluster::DelayedKey(name),
                     cluster::EventsKey(name)},
                    {}, [&](const cluster::RedisValue& r) {
                        reply = r;
                        done = true;
                    });
        loop.WaitUntil([&] { return done; });
    } else {
        reply.type = cluster::RedisValue::Type::kInteger;
        reply.integer = -1;
    }
    if (reply.IsError()) return PrintError(url.Display() + ": " + reply.text), kExitFailure;
    if (reply.AsInteger() == -1) return PrintError("the run " + name + " does not exist"), 1;
    std::fprintf(stderr, "%s\n",
                 reply.AsInteger() == 0 ? "the run was cancelled already"
                                        : "cancelled; the workers drop its rows in flight");
    return kExitOk;
}

}  // namespace

int RunCluster(const ParsedArgs& args) {
    if (args.Positional().empty())
        throw UsageError("cluster needs a subcommand: submit, collect, status or cancel");
    const std::string& sub = args.Positional()[0];
    try {
        if (sub == "submit") return Submit(args);
        if (sub == "collect") return Collect(args);
        if (sub == "status") return RunClusterStatus(args);
        if (sub == "cancel") return Cancel(args);
    } catch (const UsageError&) {
        throw;
    } catch (const Exception& e) {
        PrintError(e.what());
        return kExitFailure;
    }
    throw UsageError("unknown cluster subcommand '" + sub + "'");
}

int RunCheckOnCluster(const ParsedArgs& args) {
    // The checking is the workers': this machine's engine options mean nothing.
    for (const char* local : {"from", "helo", "dns", "connections", "timeout", "smtp-port",
                              "dns-port", "per-server", "per-server-rate", "source-address",
                              "keep-going", "socks", "socks-level", "socks-user", "socks-password"})
        if (args.Has(local))
            throw UsageError(std::string("--") + local +
                             " belongs to the workers; check --cluster does not take it");
    if (args.Positional().size() != 1) throw UsageError("check needs exactly one INPUT");
    const std::string input = args.Positional()[0];
    if (args.Has("resume"))
        throw UsageError(
            "--resume checks the rest on this computer; check --cluster does not take it");
    for (const char* option : {"save", "recover"})
        if (args.Has(option) && KindOf(input) != InputKind::kProject)
            throw UsageError(std::string("--") + option + " needs a project (.mlt) as INPUT");
    TINI ini;
    const cluster::RedisUrl url = ClusterRedisUrl(args, "cluster", ini);
    const cluster::RunOptions options = RunOptionsFor(args, ini, input);
    ProjectJournal journal;
    const bool saving = args.Has("save");
    const std::unique_ptr<RecipientList> list =
        LoadList(args, input, KindOf(input) == InputKind::kProject ? &journal : nullptr);
    if (!list) return kExitFailure;
    EpollLoop loop;
    cluster::ClusterRun run(*list, loop);
    run.OnSubmitted = [](const std::string& name) {
        std::fprintf(stderr, "run %s submitted\n", name.c_str());
    };
    return Watch(
        args, loop, run, *list, [&] { run.Start(url, options); }, true, saving ? input : "",
        journal);
}

}  // namespace mv::cli
