#include "help_text.h"

#include "help_text_parts.h"

#include "commands.h"

namespace mv::cli {

OptionGroup SocksGroup(const char* heading) {
    return {heading,
            {
                {.name = "socks",
                 .value = "HOST:PORT",
                 .help = "connect to the mail servers through the SOCKS proxy at HOST:PORT; the "
                         "DNS queries do not go through it"},
                {.name = "socks-level",
                 .value = "L",
                 .help = "the proxy's protocol level: 4, 4A or 5 (default 5)",
                 .complete = Words("4 4A 5")},
                {.name = "socks-user",
                 .value = "USER",
                 .help = "level 5: the user code to authenticate with; levels 4 and 4A: the "
                         "user id sent"},
                {.name = "socks-password",
                 .value = "PASSWORD",
                 .help = "level 5: the password of the user code"},
            }};
}

Option RecoverOption() {
    return {.name = "recover",
            .help =
                "apply the journal of an interrupted check (PROJECT.journal) first, in "
                "memory only: the project and the journal stay as they are. Without it "
                "such a journal (newer than the project) is told about in one line"};
}

namespace {

Command Check() {
    return {
        .name = "check",
        .synopsis = "check [OPTIONS] INPUT",
        .summary = "check the addresses of a project, a list or standard input",
        .description =
            "Checks the marked rows of INPUT as the window's Check command does, and writes one "
            "result per checked row, in the order the results arrive.\n\n"
            "INPUT is a project (.mlt: its marked rows are checked), a text, CSV or dBase file "
            "(imported with the automatic choices, every row marked), or - for addresses on "
            "standard input, one per line.",
        .options =
            {
                {"Options override the stored settings for this run only",
                 {
                     {.name = "from",
                      .value = "ADDRESS",
                      .help = "the sender for MAIL FROM (Connection/From)"},
                     {.name = "helo",
                      .value = "HOST",
                      .help = "the name given in HELO (else the domain of From)"},
                     {.name = "dns",
                      .value = "\"SERVER [SERVER]\"",
                      .help = "the DNS servers (DNS/Primary, DNS/Secondary)"},
                     {.name = "connections",
                      .value = "N",
                      .help = "checks at once (Connection/Connections)"},
                     {.name = "timeout",
                      .value = "SECONDS",
                      .help = "idle time-out of a check (Connection/TimeOut)"},
                     {.name = "smtp-port",
                      .value = "PORT",
                      .help = "the port of the mail servers (default 25)"},
                     {.name = "dns-port",
                      .value = "PORT",
                      .help = "the port of the DNS servers (default 53); when given, the names "
                              "of the mail servers are looked up there too"},
                     {.name = "no-accept-all-probe",
                      .help = "do not ask the servers about a made-up address "
                              "(Checks/AcceptAllProbe)"},
                     {.name = "recheck-deferred",
                      .value = "SECONDS",
                      .help = "check an address whose result is deferred (greylisting, \"try "
                              "again later\") again after SECONDS, at most twice, in the same run "
                              "(Checks/RecheckDeferred; 0: never); a server that names its own "
                              "delay (\"try again in 5 minutes\", \"come back in 00:04:30\") "
                              "gets that one, at least 10 seconds and at most 30 minutes"},
                 }},
                {"Politeness and this computer",
                 {
                     {.name = "per-server",
                      .value = "N",
                      .help = "connections open at once to one mail server group, the "
                              "registered domain of its host names (Checks/PerServer, default 5; "
                              "0: no limit). With a limit or a rate the addresses are taken per "
                              "mail domain, the first address of each domain finding its server: "
                              "a busy server's addresses wait in their queue while the other "
                              "domains go on. A server that refuses a connection at its greeting "
                              "or to HELO with 421 or \"too many connections\", or refuses for "
                              "its rate or reputation rules, gets half its limit and a pause; the "
                              "address goes back to its queue, 3 tries in all. A server that "
                              "fails 2 x the limit times in a row (time-outs, such refusals), or "
                              "refuses this computer for a block list, is left alone for 5 "
                              "minutes, then longer; when only its addresses are left they end "
                              "\"Not checked\" and stay marked. With both limits 0 the addresses "
                              "are taken in list order and a 421 ends the address at once"},
                     {.name = "per-server-rate",
                      .value = "N",
                      .help = "new connections a minute to one mail server group, evenly "
                              "spaced (Checks/PerServerRate; 0: no limit)"},
                     {.name = "addresses-per-connection",
                      .value = "N",
                      .help = "addresses checked one after the other on one connection, 1 to "
                              "20 (Checks/AddressesPerConnection, default 1); more than 1 needs a "
                              "limit or a rate. Only addresses whose first mail host is the "
                              "connection's go on it; it ends after N addresses (an accept-all "
                              "probe counts as one), the first 4xx to RCPT TO or the second "
                              "5xx"},
                     {.name = "source-address",
                      .value = "ADDR",
                      .help = "the local address the SMTP connections leave from "
                              "(Checks/SourceAddress; default: the system's choice): an IPv4 "
                              "address, an IPv6 address, or one of each separated by a blank; "
                              "one that is not this computer's is refused"},
                     {.name = "prefer-ipv6",
                      .help = "reach a mail host that has IPv4 and IPv6 addresses over IPv6 "
                              "(Checks/PreferIPv6=1); a host with IPv6 addresses only is reached "
                              "over IPv6 in any case. Where this computer has no IPv6 route such "
                              "a host ends as no-ipv4-host"},
                     {.name = "keep-going",
                      .help = "go on after a warning about this computer (see below)"},
                 }},
                SocksGroup("Through a SOCKS proxy (instead of the stored Proxy settings)"),
                ClusterGroup("On the cluster (see cluster; the workers' own options apply)",
                             "cluster"),
                {"Output",
                 {
                     {.name = "output",
                      .value = "FILE",
                      .help = "write the results to FILE instead of standard output (\"-\": "
                              "standard output); FILE is created or emptied only once the run "
                              "has begun, so a refused run leaves it as it was",
                      .complete = Files()},
                     {.name = "format",
                      .value = "csv|jsonl",
                      .help = "CSV (header row,email,address,code,result,valid,verdict,reason,"
                              "flags,suggestion,provider) or JSON Lines (the same keys and reply, "
                              "the deciding reply); default: by the extension of FILE (.jsonl, "
                              ".json), else csv",
                      .complete = Words("csv jsonl")},
                     {.name = "transcripts", .help = "JSON Lines only: add each row's transcript"},
                     {.name = "save",
                      .help = "write the results back into the INPUT project, and each row's "
                              "verdict and reason into its findings file (INPUT.findings). "
                              "While the run lasts, each result is also appended to the "
                              "journal INPUT.journal, flushed to the disk at least once a "
                              "second, so that a crash or a killed run loses at most its last "
                              "second; the save removes the journal. A journal of an "
                              "interrupted check that is not applied, or one that cannot be "
                              "read, refuses --save"},
                     {.name = "recover",
                      .help = "apply the journal of an interrupted check of the INPUT project "
                              "first: each row it holds takes the result it had there. "
                              "Without it such a journal (newer than the project) is told "
                              "about in one line. One whose rows do not match the project, or "
                              "that cannot be read, is refused and kept; a damaged last line "
                              "is left out"},
                     {.name = "resume",
                      .help = "apply the journal as --recover does, then check only the marked "
                              "rows that have no result yet: never checked, left "
                              "\"Checking...\", stopped (-8), or not checked because their mail "
                              "server had failed too often. Nothing already answered is asked "
                              "again. The results are appended to the same journal; with "
                              "--save they go into the project. Not with --cluster"},
                 }},
            },
        .notes =
            "A proxy that cannot be reached or refuses ends every address with its socket error "
            "or SOCKS error code (20001 to 20018), the proxy's text in the transcript.\n\n"
            "The time-out counts from a check's last activity, not from its start, and the "
            "watchdog looks every SECONDS: a silent check ends as -2 between SECONDS and twice "
            "SECONDS after it last heard anything (about 6.1 s with --timeout 3). So --timeout "
            "30 does not mean \"at most 30 s\": a check that keeps talking runs as long as it "
            "talks, and a silent one ends within 60 s.\n\n"
            "Each result has a verdict (deliverable, risky, undeliverable, unknown) and one "
            "reason (accepted, accept-all, mailbox-unknown, mailbox-full, mailbox-disabled, "
            "policy-block, deferred, no-mail-domain, no-mail-host, unreachable, timeout, "
            "refused-sender, protocol, aborted, no-ipv4-host, bad-syntax, needs-smtputf8, "
            "provider-accepts-all), read from the code and the reply "
            "that decided it, weighing what every mail host answered: a first host's \"no such "
            "user\" stands when a backup host accepts (the code stays 0, the transcript says "
            "why), a temporary refusal stays the answer when the later hosts cannot be reached, "
            "and no-mail-host means that no mail host resolves. After an accepted address the "
            "server is asked, on the same connection, about a made-up address of the domain "
            "(once per domain and mail host in a run); if it accepts that too, that host accepts "
            "every address of the domain and the addresses it accepted are risky "
            "(accept-all). A domain with a null MX (RFC 7505) ends as 11001 without any "
            "connection.\n\n"
            "An address that breaks the rules of address syntax ends at once, without a DNS "
            "query: -1 for its domain (empty, over 253 octets, a label over 63 octets or "
            "beginning or ending with a hyphen, two dots in a row, no dot, a character a domain "
            "may not hold), -4 for its local part (empty, over 64 octets, a dot at its start or "
            "end, two dots in a row outside quotes); the transcript names the rule (\"Bad "
            "address syntax: RULE\"). A single trailing dot is removed. A domain with non-ASCII "
            "letters is asked for and written in RCPT TO in its ASCII form (IDNA), the "
            "transcript shows both; an address literal (user@[192.0.2.1]) is its own mail "
            "host. Only an address whose local part is not ASCII greets with EHLO, and it is "
            "asked for only where the server offers SMTPUTF8 (MAIL FROM with SMTPUTF8, RCPT "
            "TO as written); elsewhere it ends as -4, unknown, needs-smtputf8, without RCPT "
            "TO.\n\n"
            "The provider decides about the made-up address: Yahoo and AOL accept every "
            "recipient at RCPT TO and bounce later (their published bounce behaviour), so an "
            "address they accept is risky (provider-accepts-all) without asking; Google's and "
            "Microsoft's own consumer domains (gmail.com, googlemail.com, outlook.com, "
            "hotmail.com, live.com, msn.com) refuse unknown recipients at RCPT TO, so they "
            "are not asked; business domains hosted by Google or Microsoft 365 and the "
            "security gateways (Mimecast, Proofpoint, Barracuda, Cisco) are asked as "
            "usual.\n\n"
            "Each result also tells what the address says by itself: flags (role: info@, "
            "sales@ ...; disposable: a throw-away mail service; free: a free-mail provider; "
            "separated by \";\" in CSV), a suggestion for a mistyped domain (anna@gmial.com: "
            "anna@gmail.com; none when the domain has MX records) and the provider of the "
            "mail servers (Google, Microsoft 365, Yahoo, ...). The lists behind them are read "
            "from share/mailvetter beside the program; one that cannot be read ends the "
            "command with exit status 1. A line with the count per flag follows the verdicts.\n\n"
            "The five counters are shown on standard error while the run lasts, with the "
            "deferred addresses that wait for their recheck and the progress (\"DONE/TOTAL "
            "PCT% RATE/s ETA H:MM:SS\", the rate of the last 10 s); a line with the count per "
            "verdict ends the run, then the flags' line and \"checked N in H:MM:SS (R/s)\". A "
            "deferred address is "
            "written once, with its last result. The first "
            "Ctrl-C stops the run like Stop (rows in flight end as -8, waiting ones keep their "
            "last result) and still writes the results; a second one ends at once.\n\n"
            "The run watches its results for signs that this computer cannot check: at least "
            "20 connections, all refused or timed out, that have reached at least 5 mail "
            "server groups, or every group of the list when it has fewer (outgoing port 25 is "
            "probably blocked; a connection that succeeds ends the count), or refusals of this "
            "computer itself from at least 3 server groups, or from every group that has "
            "answered once 2 have (it is on a block list). Either is told on standard error, "
            "once, and stops the run like Ctrl-C unless --keep-going is given. An address of "
            "a server group that failed too often in a row ends with the group's last failure "
            "and the transcript line \"Not checked: mail server GROUP failed N times in a "
            "row\"; it keeps its mark.\n\n"
            "With --cluster, the marked rows are submitted as a run and checked by the workers "
            "(see cluster and worker); the results, counters and exit statuses are the same, and "
            "Ctrl-C cancels the run. The options of this computer's engine are refused then.\n\n"
            "Exit status: 0 when the run completed, 130 when it was stopped, 3 when a warning "
            "stopped it, 1 when it could not start or the input could not be read, 2 for a "
            "usage error.",
        .operands = Files("mlt txt csv tsv dbf"),
        .run = &RunCheck,
    };
}

Command Import() {
    return {
        .name = "import",
        .synopsis =
            "import INPUT --to PROJECT [--replace] [--email-column NAME] [--header | --data]",
        .summary = "import a text, CSV or dBase list into a project",
        .description =
            "Imports INPUT (a text, CSV or dBase file) into PROJECT, which is created when it "
            "does not exist, and saves PROJECT with its findings file. Text files may be UTF-8, "
            "Windows-1252 or UTF-16 with a byte-order mark; their fields are separated by "
            "commas, or by tabs when the first line holds tabs and no comma. A project file "
            "holds Windows-1252: a row whose address has a local part it cannot store is "
            "refused (\"N rows in PROJECT (M refused: their local part holds characters a "
            "project file cannot store)\"), a domain it cannot store is kept in its ASCII "
            "form (xn--...).",
        .options = {{"",
                     {
                         {.name = "to",
                          .value = "PROJECT",
                          .help = "the project (.mlt) to import into",
                          .complete = Files("mlt")},
                         {.name = "replace",
                          .help = "replace the project's rows and columns (else append)"},
                         {.name = "email-column",
                          .value = "NAME",
                          .help = "the source column that holds the addresses (default: "
                                  "\"email\" or \"e-mail\", else the first column holding an "
                                  "\"@\")"},
                         {.name = "header",
                          .help = "the first line is a header (default: chosen with the e-mail "
                                  "column)"},
                         {.name = "data", .help = "the first line is data"},
                     }}},
        .notes =
            "Exit status: 0 when PROJECT was saved, 1 when INPUT or PROJECT could not be "
            "read or PROJECT not written, 2 for a usage error.",
        .operands = Files("txt csv tsv dbf"),
        .run = &RunImport,
    };
}

Command Export() {
    return {
        .name = "export",
        .synopsis =
            "export PROJECT --to FILE [--tolerance zero | --tolerance "
            "mailbox,storage,timeout | --verdict deliverable,risky,...] "
            "[--leave-out role,disposable,free] [--recover]",
        .summary = "write the addresses that passed a check to a text, CSV or dBase file",
        .description =
            "Writes the rows of PROJECT whose result passes the tolerance to FILE: "
            ".txt one address per line, .csv all columns with a header line, .dbf a "
            "dBase table with one character field per column.",
        .options = {{"",
                     {
                         {.name = "to",
                          .value = "FILE",
                          .help = "the file to write (replaced as a whole, or kept as it was "
                                  "when writing fails)",
                          .complete = Files("txt csv dbf")},
                         {.name = "tolerance",
                          .value = "LIST",
                          .help = "zero: only valid addresses; else valid addresses and those "
                                  "whose result was one of mailbox (\"Mailbox unavailable\"), "
                                  "storage (\"Exceeded storage allocation. Try later\") and "
                                  "timeout (the time-out), separated by commas",
                          .complete = WordList("zero mailbox storage timeout")},
                         {.name = "verdict",
                          .value = "LIST",
                          .help = "instead of a tolerance: the rows whose verdict is one of LIST "
                                  "(deliverable, risky, undeliverable, unknown, separated by "
                                  "commas). The verdicts come from the project's findings file "
                                  "(PROJECT.findings); a row it does not hold gets the verdict of "
                                  "its result code.",
                          .complete = WordList("deliverable risky undeliverable unknown")},
                         {.name = "leave-out",
                          .value = "LIST",
                          .help = "of those rows, leave out the ones whose address is flagged "
                                  "role, disposable or free (separated by commas)",
                          .complete = WordList("role disposable free")},
                         RecoverOption(),
                     }}},
        .notes =
            "The tolerance is stored (section Export) and used when neither --tolerance nor "
            "--verdict is given.\n\n"
            "Exit status: 0 when FILE was written, 1 when PROJECT could not be read or FILE "
            "not written, 2 for a usage error.",
        .operands = Files("mlt"),
        .run = &RunExport,
    };
}

Command Show() {
    return {
        .name = "show",
        .synopsis = "show [--recover] PROJECT",
        .summary = "print the rows of a project as CSV",
        .description =
            "Prints the rows of PROJECT as CSV: a header with the column captions, "
            "then per row its position (from 0), its check mark (1 or 0) and its "
            "columns.",
        .options = {{"", {RecoverOption()}}},
        .notes =
            "Exit status: 0 when PROJECT was read, 1 when it could not be, 2 for a usage "
            "error.",
        .operands = Files("mlt"),
        .run = &RunShow,
    };
}

Command Settings() {
    return {
        .name = "settings",
        .synopsis = "settings [SECTION/KEY [VALUE]]",
        .summary = "read or write the stored settings",
        .description =
            "Without arguments, prints every setting as SECTION/KEY=VALUE. With "
            "SECTION/KEY, prints its value; with a VALUE too, stores it.\n\n"
            "The settings live in $XDG_CONFIG_HOME/Corvane/Mailvetter.ini "
            "(~/.config when XDG_CONFIG_HOME is not set).",
        .options = {},
        .notes =
            "Exit status: 0 on success, 1 when the settings file could not be written, 2 "
            "for a usage error (such as an unknown SECTION/KEY).",
        .operands = {},
        .run = &RunSettings,
    };
}

Command Mx() {
    return {
        .name = "mx",
        .synopsis = "mx DOMAIN [--dns SERVER] [--dns-port PORT] [--timeout SECONDS]",
        .summary = "show the mail exchangers of a domain",
        .description =
            "Asks a DNS server for the MX records of DOMAIN and prints the exchanger "
            "names in answer order, each followed by a tab and its preference.",
        .options = {{"",
                     {
                         {.name = "dns",
                          .value = "SERVER",
                          .help = "the DNS server (IPv4 address); default: the first name "
                                  "server of /etc/resolv.conf"},
                         {.name = "dns-port", .value = "PORT", .help = "its port (default 53)"},
                         {.name = "timeout",
                          .value = "SECONDS",
                          .help = "how long to wait for the answer (default 5)"},
                     }}},
        .notes =
            "Exit status: 0 when an answer came (even one without MX records), 1 when the "
            "query failed, the server answered SERVFAIL or REFUSED, or no answer came in time, "
            "2 for a usage error.",
        .operands = {},
        .run = &RunMx,
    };
}

Command Smtp() {
    return {
        .name = "smtp",
        .synopsis =
            "smtp HOST --from ADDRESS --rcpt ADDRESS [--helo NAME] [--port PORT] "
            "[--timeout SECONDS] [--socks HOST:PORT [--socks-level 4|4A|5] "
            "[--socks-user USER [--socks-password PASSWORD]]]",
        .summary = "probe one address at one mail server, showing the dialogue",
        .description =
            "Talks to the mail server HOST as the checker does: greeting, HELO, MAIL FROM, RCPT "
            "TO, then RSET and QUIT; no message is ever sent. Prints the dialogue (\"> \" "
            "commands, \"< \" replies) and a last line \"result<TAB>CODE\", where CODE is 0 when "
            "RCPT TO was accepted, else the failing reply code or socket error code (-2 when the "
            "server stayed silent longer than the time-out).",
        .options =
            {
                {"",
                 {
                     {.name = "from", .value = "ADDRESS", .help = "the sender given in MAIL FROM"},
                     {.name = "rcpt", .value = "ADDRESS", .help = "the address to probe (RCPT TO)"},
                     {.name = "helo",
                      .value = "NAME",
                      .help = "the name given in HELO (default: this machine's name)"},
                     {.name = "port", .value = "PORT", .help = "the server's port (default 25)"},
                     {.name = "timeout",
                      .value = "SECONDS",
                      .help = "give up after this long without a complete reply (default 30); "
                              "continuation lines alone do not count"},
                 }},
                SocksGroup("Through a SOCKS proxy"),
            },
        .notes =
            "HOST is looked up here (IPv4 and IPv6 addresses; IPv6 is used when it has no IPv4 "
            "address) and the proxy is given its address: an IPv6 address needs --socks-level "
            "5. A refusal by the "
            "proxy is shown on standard error (\"proxy: TEXT (error N)\") and N, from 20001 "
            "to 20018, is the result code.\n\n"
            "Exit status: 0 when RCPT TO was accepted, 1 otherwise, 2 for a usage error.",
        .operands = Hosts(),
        .run = &RunSmtp,
    };
}

}  // namespace

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands = {Check(),    Import(), Export(), Show(),
                                                  Settings(), Mx(),     Smtp(),   Doctor(),
                                                  Cluster(),  Worker()};
    return commands;
}

const Command* FindCommand(const std::string& name) {
    for (const Command& c : AllCommands())
        if (name == c.name) return &c;
    return nullptr;
}

std::vector<OptionSpec> OptionSpecsOf(const Command& command) {
    std::vector<OptionSpec> specs;
    for (const OptionGroup& group : command.options)
        for (const Option& option : group.options)
            specs.push_back({option.name, option.value != nullptr});
    return specs;
}

}  // namespace mv::cli
