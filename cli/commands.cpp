#include "commands.h"

namespace mv::cli {

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands = {
        {"check", "check [OPTIONS] INPUT",
         "check the addresses of a project, a list or standard input",
         "Checks the marked rows of INPUT as the window's Check command does, and\n"
         "writes one result per checked row, in the order the results arrive.\n\n"
         "INPUT is a project (.mlt: its marked rows are checked), a text, CSV or dBase\n"
         "file (imported with the automatic choices, every row marked), or - for\n"
         "addresses on standard input, one per line.\n\n"
         "Options override the stored settings for this run only:\n"
         "  --from ADDRESS        the sender for MAIL FROM (Connection/From)\n"
         "  --helo HOST           the name given in HELO (else the domain of From)\n"
         "  --dns \"SERVER [SERVER]\"  the DNS servers (DNS/Primary, DNS/Secondary)\n"
         "  --connections N       checks at once (Connection/Connections)\n"
         "  --timeout SECONDS     idle time-out of a check (Connection/TimeOut)\n"
         "  --smtp-port PORT      the port of the mail servers (default 25)\n"
         "  --dns-port PORT       the port of the DNS servers (default 53); when given,\n"
         "                        the names of the mail servers are looked up there too\n"
         "  --no-accept-all-probe do not ask the servers about a made-up address\n"
         "                        (Checks/AcceptAllProbe)\n"
         "  --recheck-deferred SECONDS\n"
         "                        check an address whose result is deferred (greylisting,\n"
         "                        \"try again later\") again after SECONDS, at most twice,\n"
         "                        in the same run (Checks/RecheckDeferred; 0: never)\n"
         "  --per-server N        connections open at once to one mail server address\n"
         "                        (Checks/PerServer, default 5; 0: no limit). A check\n"
         "                        whose server is at its limit waits for a free place.\n"
         "                        A server that refuses a connection at its greeting or\n"
         "                        to HELO with 421 or \"too many connections\" gets half\n"
         "                        its limit for the rest of the run, and the address is\n"
         "                        tried again after a pause, up to 3 times (with both\n"
         "                        limits 0, a 421 ends the address at once)\n"
         "  --per-server-rate N   new connections a minute to one mail server address,\n"
         "                        evenly spaced (Checks/PerServerRate; 0: no limit)\n"
         "  --source-address ADDR the local IPv4 address the SMTP connections leave\n"
         "                        from (Checks/SourceAddress; default: the system's\n"
         "                        choice); one that is not this computer's is refused\n"
         "  --keep-going          go on after a warning about this computer (below)\n"
         "  --socks HOST:PORT     connect to the mail servers through this SOCKS proxy\n"
         "                        (Proxy/Enabled, Proxy/Server, Proxy/Port); the DNS\n"
         "                        queries do not go through it\n"
         "  --socks-level L       the proxy's level: 4, 4A or 5 (Proxy/Level, default 5)\n"
         "  --socks-user USER     level 5: the user code to authenticate with; levels 4\n"
         "                        and 4A: the user id sent (Proxy/User)\n"
         "  --socks-password PASSWORD\n"
         "                        the password of the user code (Proxy/Password)\n"
         "A proxy that cannot be reached or refuses ends every address with its socket\n"
         "error or SOCKS error code (20001 to 20017), the proxy's text in the transcript.\n"
         "Output:\n"
         "  --output FILE         write the results to FILE instead of standard output\n"
         "  --format csv|jsonl    CSV (header row,email,address,code,result,valid,verdict,\n"
         "                        reason) or JSON Lines (the same keys and reply, the\n"
         "                        deciding reply); default: by the extension of FILE,\n"
         "                        else csv\n"
         "  --transcripts         JSON Lines only: add each row's transcript\n"
         "  --save                write the results back into the INPUT project\n\n"
         "The time-out counts from a check's last activity, not from its start, and the\n"
         "watchdog looks every SECONDS: a silent check ends as -2 between SECONDS and\n"
         "twice SECONDS after it last heard anything (about 6.1 s with --timeout 3).\n"
         "So --timeout 30 does not mean \"at most 30 s\": a check that keeps talking\n"
         "runs as long as it talks, and a silent one ends within 60 s.\n\n"
         "Each result has a verdict (deliverable, risky, undeliverable, unknown) and one\n"
         "reason (accepted, accept-all, mailbox-unknown, mailbox-full, mailbox-disabled,\n"
         "policy-block, deferred, no-mail-domain, no-mail-host, unreachable, timeout,\n"
         "refused-sender, protocol, aborted), read from the code and the reply that\n"
         "decided it. After an accepted address the server is asked, on the same\n"
         "connection, about a made-up address of the domain (once per domain and run);\n"
         "if it accepts that too, the domain accepts every address and its accepted\n"
         "addresses are risky (accept-all). A domain with a null MX (RFC 7505) ends as\n"
         "11001 without any connection.\n\n"
         "The five counters are shown on standard error while the run lasts, with the\n"
         "deferred addresses that wait for their recheck; a line with the count per\n"
         "verdict ends the run. A deferred address is written once, with its last\n"
         "result. The first Ctrl-C stops the run like Stop (rows in flight end as -8,\n"
         "waiting ones keep their last result) and still writes the results; a second\n"
         "one ends at once.\n\n"
         "The run watches its first results for signs that this computer cannot check:\n"
         "the first 20 connections, to at least 5 mail servers, all refused or timed\n"
         "out (outgoing port 25 is probably blocked), or more than half of the first 50\n"
         "refusals rejecting this computer (it is on a block list). Either is told on\n"
         "standard error, once, and stops the run like Ctrl-C unless --keep-going is\n"
         "given.\n\n"
         "Exit status: 0 when the run completed, 130 when it was stopped, 3 when a\n"
         "warning stopped it, 1 when it could not start or the input could not be\n"
         "read, 2 for a usage error.\n",
         &RunCheck},
        {"import",
         "import INPUT --to PROJECT [--replace] [--email-column NAME] [--header | --data]",
         "import a text, CSV or dBase list into a project",
         "Imports INPUT (a text, CSV or dBase file) into PROJECT, which is created when\n"
         "it does not exist, and saves PROJECT. Text files may be UTF-8, Windows-1252 or\n"
         "UTF-16 with a byte-order mark; their fields are separated by commas, or by\n"
         "tabs when the first line holds tabs and no comma.\n\n"
         "  --to PROJECT          the project (.mlt) to import into\n"
         "  --replace             replace the project's rows and columns (else append)\n"
         "  --email-column NAME   the source column that holds the addresses\n"
         "                        (default: \"email\" or \"e-mail\", else the first\n"
         "                        column holding an \"@\")\n"
         "  --header | --data     whether the first line is a header or data\n"
         "                        (default: chosen with the e-mail column)\n",
         &RunImport},
        {"export",
         "export PROJECT --to FILE [--tolerance zero | --tolerance mailbox,storage,timeout |\n"
         "                      --verdict deliverable,risky,...]",
         "write the addresses that passed a check to a text, CSV or dBase file",
         "Writes the rows of PROJECT whose result passes the tolerance to FILE: .txt\n"
         "one address per line, .csv all columns with a header line, .dbf a dBase\n"
         "table with one character field per column.\n\n"
         "  --to FILE             the file to write (replaced as a whole, or kept as it\n"
         "                        was when writing fails)\n"
         "  --tolerance zero      only valid addresses\n"
         "  --tolerance LIST      valid addresses and those whose result was one of\n"
         "                        mailbox (\"Mailbox unavailable\"), storage (\"Exceeded\n"
         "                        storage allocation. Try later\") and timeout (the\n"
         "                        time-out), separated by commas\n"
         "  --verdict LIST        instead of a tolerance: the rows whose verdict is one\n"
         "                        of LIST (deliverable, risky, undeliverable, unknown,\n"
         "                        separated by commas). A project keeps only the result\n"
         "                        code, so the verdict comes from the code alone.\n"
         "The tolerance is stored (section Export) and used when neither --tolerance nor\n"
         "--verdict is given.\n",
         &RunExport},
        {"show", "show PROJECT", "print the rows of a project as CSV",
         "Prints the rows of PROJECT as CSV: a header with the column captions, then\n"
         "per row its position (from 0), its check mark (1 or 0) and its columns.\n",
         &RunShow},
        {"settings", "settings [SECTION/KEY [VALUE]]", "read or write the stored settings",
         "Without arguments, prints every setting as SECTION/KEY=VALUE. With\n"
         "SECTION/KEY, prints its value; with a VALUE too, stores it.\n"
         "The settings live in $XDG_CONFIG_HOME/Corvane/Mailvetter.ini\n"
         "(~/.config when XDG_CONFIG_HOME is not set).\n",
         &RunSettings},
        {"mx", "mx DOMAIN [--dns SERVER] [--dns-port PORT] [--timeout SECONDS]",
         "show the mail exchangers of a domain",
         "Asks a DNS server for the MX records of DOMAIN and prints the exchanger\n"
         "names in answer order, each followed by a tab and its preference.\n\n"
         "  --dns SERVER       the DNS server (IPv4 address); default: the first\n"
         "                     name server of /etc/resolv.conf\n"
         "  --dns-port PORT    its port (default 53)\n"
         "  --timeout SECONDS  how long to wait for the answer (default 5)\n\n"
         "Exit status: 0 when an answer came (even one without MX records), 1 when\n"
         "the query failed or no answer came in time, 2 for a usage error.\n",
         &RunMx},
        {"smtp",
         "smtp HOST --from ADDRESS --rcpt ADDRESS [--helo NAME] [--port PORT] [--timeout SECONDS]\n"
         "                      [--socks HOST:PORT [--socks-level 4|4A|5]\n"
         "                      [--socks-user USER [--socks-password PASSWORD]]]",
         "probe one address at one mail server, showing the dialogue",
         "Talks to the mail server HOST as the checker does: greeting, HELO, MAIL FROM,\n"
         "RCPT TO, then RSET and QUIT; no message is ever sent. Prints the dialogue\n"
         "(\"> \" commands, \"< \" replies) and a last line \"result<TAB>CODE\", where CODE\n"
         "is 0 when RCPT TO was accepted, else the failing reply code or socket error\n"
         "code (-2 when the server stayed silent longer than the time-out).\n\n"
         "  --from ADDRESS     the sender given in MAIL FROM\n"
         "  --rcpt ADDRESS     the address to probe (RCPT TO)\n"
         "  --helo NAME        the name given in HELO (default: this machine's name)\n"
         "  --port PORT        the server's port (default 25)\n"
         "  --timeout SECONDS  give up after this long without a reply (default 30)\n\n"
         "Through a SOCKS proxy:\n"
         "  --socks HOST:PORT  connect through the SOCKS proxy at HOST:PORT\n"
         "  --socks-level L    the proxy's protocol level: 4, 4A or 5 (default 5)\n"
         "  --socks-user USER  level 5: authenticate with this user code (and the\n"
         "                     password below); levels 4 and 4A: the user id sent\n"
         "  --socks-password PASSWORD\n"
         "                     the password of the user code (level 5)\n"
         "HOST is looked up here and the proxy is given its address. A refusal by the\n"
         "proxy is shown on standard error (\"proxy: TEXT (error N)\") and N, from\n"
         "20001 to 20017, is the result code.\n\n"
         "Exit status: 0 when RCPT TO was accepted, 1 otherwise, 2 for a usage error.\n",
         &RunSmtp},
    };
    return commands;
}

const Command& FindCommand(const std::string& name) {
    for (const Command& c : AllCommands())
        if (name == c.name) return c;
    return AllCommands().front();
}

}  // namespace mv::cli
