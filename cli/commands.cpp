#include "commands.h"

namespace mv::cli {

const std::vector<Command>& AllCommands() {
    static const std::vector<Command> commands = {
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
    };
    return commands;
}

}  // namespace mv::cli
