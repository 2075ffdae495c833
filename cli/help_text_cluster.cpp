// The descriptions of the cluster's commands: cluster and worker (see
// help_text.h).
#include "commands.h"
#include "help_text_parts.h"

namespace mv::cli {

// The Redis server and the run's own options; `address` names the option
// that gives the server (check: --cluster, else --redis).
OptionGroup ClusterGroup(const char* heading, const char* address) {
    return {heading,
            {
                {.name = address,
                 .value = "URL",
                 .help = "the Redis server: redis://[USER:PASSWORD@]HOST:PORT[/DB] or "
                         "unix:///PATH (Cluster/Redis). The password is never printed."},
                {.name = "redis-password-file",
                 .value = "FILE",
                 .help = "the password, on the first line of FILE, when URL has none (else "
                         "Cluster/User and Cluster/Password)",
                 .complete = Files()},
                {.name = "run",
                 .value = "NAME",
                 .help = "the run's name (letters, digits, '-', '_', '.'; default: the date, the "
                         "time and a random suffix)"},
                {.name = "claim-after",
                 .value = "SECONDS",
                 .help = "a row that a worker has held this long without a result is taken "
                         "over by another (default 150)"},
            }};
}

Command Cluster() {
    return {
        .name = "cluster",
        .synopsis =
            "cluster submit INPUT | collect RUN | status [RUN] | cancel RUN --redis URL "
            "[OPTIONS]",
        .summary = "check a list on many machines: submit, collect, status, cancel",
        .description =
            "Many machines check one run together through a Redis server (6.2 or later): "
            "cluster submit puts the rows in, each machine runs mailvetter-cli worker, and "
            "cluster collect writes the results as check would.\n\n"
            "submit INPUT: reads INPUT as check does and adds one entry per marked row to the "
            "run; prints the run's name. The accept-all probe and the rechecks of the run come "
            "from the settings or the options below; everything else from each worker.\n\n"
            "collect RUN: writes the run's results as they arrive, in check's formats, with its "
            "counters on standard error, until every row has its final result. A collect "
            "started later, or two at once, get the same results. The first Ctrl-C stops "
            "collecting and leaves the run to the workers; a second one ends at once.\n\n"
            "status [RUN]: the workers (name, host, last seen, checks done, state, why held) "
            "and the runs (rows, done, in flight, waiting, duplicates, rows per worker).\n\n"
            "cancel RUN: removes the rows not yet taken; the workers end the rows in flight "
            "as -8.",
        .options =
            {
                ClusterGroup("", "redis"),
                {"submit",
                 {
                     {.name = "no-accept-all-probe",
                      .help = "the workers do not ask about a made-up address "
                              "(Checks/AcceptAllProbe)"},
                     {.name = "recheck-deferred",
                      .value = "SECONDS",
                      .help = "a deferred row is checked again after SECONDS, at most twice, by "
                              "any worker (Checks/RecheckDeferred)"},
                 }},
                {"collect",
                 {
                     {.name = "output",
                      .value = "FILE",
                      .help = "write the results to FILE",
                      .complete = Files()},
                     {.name = "format",
                      .value = "csv|jsonl|table|json",
                      .help = "collect: csv or jsonl, as check; status: table (the default) or "
                              "json",
                      .complete = Words("csv jsonl table json")},
                     {.name = "transcripts", .help = "JSON Lines only: add each transcript"},
                     {.name = "save",
                      .value = "PROJECT",
                      .help = "write the results into PROJECT, the project the run was "
                              "submitted from, and journal them in PROJECT.journal while "
                              "collecting, as check --save does",
                      .complete = Files("mlt")},
                     {.name = "recover",
                      .help = "with --save: apply the journal of an interrupted check of "
                              "PROJECT first (else it refuses the save, as in check)"},
                 }},
            },
        .notes =
            "Reach a Redis server on another machine only over a private network or a tunnel: "
            "the connection is not encrypted. The keys all begin with mailvetter: (see the "
            "README for a minimal redis.conf).\n\n"
            "A row keeps its first final result; a later one (a worker that was thought gone) "
            "is counted as a duplicate. Exit status: 0 when the command did its work (collect: "
            "every row has its result), 130 when collect was stopped, 1 when the server cannot "
            "be reached, refuses the login or is older than 6.2, or the run does not exist, 2 "
            "for a usage error.",
        .operands = Words("submit collect status cancel"),
        .run = &RunCluster,
    };
}

Command Worker() {
    return {
        .name = "worker",
        .synopsis = "worker --redis URL [--name NAME] [OPTIONS]",
        .summary = "check rows of the cluster's runs on this machine",
        .description =
            "Takes rows of every open run from the Redis server, checks them with this "
            "machine's settings, and writes the results back, until it is stopped. Every 5 "
            "seconds it looks for new runs. Each run decides its accept-all probe and rechecks; "
            "everything else comes from the options below and this machine's settings.\n\n"
            "When this machine cannot check (port 25 blocked, a block list), the worker is "
            "held: it hands the rows it has not begun back at once, finishes the others and "
            "shows \"held: REASON\" in cluster status. SIGTERM or Ctrl-C: it finishes the rows "
            "in flight, hands the rest back and exits with 0; a second one ends at once (its "
            "rows are taken over after claim-after). A lost connection is made again, with "
            "growing pauses, and the results are written then.",
        .options =
            {
                {"",
                 {
                     {.name = "redis",
                      .value = "URL",
                      .help = "the Redis server: redis://[USER:PASSWORD@]HOST:PORT[/DB] or "
                              "unix:///PATH (Cluster/Redis)"},
                     {.name = "redis-password-file",
                      .value = "FILE",
                      .help = "the password, on the first line of FILE",
                      .complete = Files()},
                     {.name = "name",
                      .value = "NAME",
                      .help = "the worker's name (default: this machine's name); two workers on "
                              "one machine need names of their own"},
                 }},
                {"This machine's engine (as for check)",
                 {
                     {.name = "from", .value = "ADDRESS", .help = "Connection/From"},
                     {.name = "helo", .value = "HOST", .help = "the name given in HELO"},
                     {.name = "dns", .value = "\"SERVER [SERVER]\"", .help = "the DNS servers"},
                     {.name = "dns-port", .value = "PORT", .help = "their port (default 53)"},
                     {.name = "smtp-port",
                      .value = "PORT",
                      .help = "the port of the mail servers (default 25)"},
                     {.name = "connections",
                      .value = "N",
                      .help = "rows checked at once (Connection/Connections)"},
                     {.name = "timeout", .value = "SECONDS", .help = "Connection/TimeOut"},
                     {.name = "per-server", .value = "N", .help = "Checks/PerServer"},
                     {.name = "per-server-rate", .value = "N", .help = "Checks/PerServerRate"},
                     {.name = "source-address", .value = "ADDR", .help = "Checks/SourceAddress"},
                 }},
                SocksGroup("Through a SOCKS proxy"),
            },
        .notes =
            "--output, --format, --save and --transcripts are refused: the results go to Redis; "
            "cluster collect writes them.\n\n"
            "Exit status: 0 after a stop, 1 when the server cannot be reached at the start, "
            "refuses the login or is older than 6.2, or the settings cannot check, 2 for a "
            "usage error.",
        .operands = {},
        .run = &RunWorker,
    };
}

}  // namespace mv::cli
