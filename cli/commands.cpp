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
