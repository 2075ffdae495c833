// The description of the doctor command (see help_text.h).
#include "commands.h"
#include "help_text_parts.h"

namespace mv::cli {

Command Doctor() {
    return {
        .name = "doctor",
        .synopsis =
            "doctor [--from ADDRESS] [--helo HOST] [--dns \"SERVER [SERVER]\"] [--dns-port P] "
            "[--smtp-port P] [--source-address ADDR] [--public-address ADDR] "
            "[--blocklists ZONE,ZONE...] [DOMAIN...]",
        .summary =
            "check whether this computer can check addresses (DNS, HELO, port 25, block "
            "lists)",
        .description =
            "Checks whether this computer can check addresses at all, and prints one line per "
            "check: its result (OK, warning, failed or skipped), its name and one line of "
            "advice. The whole check takes at most 15 seconds.\n\n"
            "DNS servers: every DNS server in use answers (an answer REFUSED or SERVFAIL counts "
            "as a failure).\n\n"
            "From address: the sender's domain exists, has mail hosts and is not a null MX "
            "(receivers refuse senders they cannot answer).\n\n"
            "HELO name: the HELO name is a full domain name that resolves, and not the domain "
            "of a large mail provider (gmail.com and the like: receivers take it for a "
            "forgery).\n\n"
            "Outgoing port 25: the mail hosts of the DOMAINs (at most 5; none given: the "
            "sender's domain) can be connected to and greet; the line tells connections that "
            "time out (a blocked port) from refused ones and shows each greeting. Each "
            "connection gets 5 seconds, of which at most 3 for the greeting; a connection "
            "without a greeting is a warning (the provider may intercept port 25). Nothing is "
            "sent.\n\n"
            "Reverse name (PTR): the address the receivers see has a reverse name, and it is "
            "the HELO name.\n\n"
            "Block list ZONE: that address is not listed in the DNS block list ZONE (the "
            "answer code explained).\n\n"
            "With a source address (--source-address or Checks/SourceAddress) the connections "
            "leave from it, and the last two are about it; one that is not this computer's "
            "fails the port check.\n\n"
            "The last two are skipped when this computer's outgoing address is private "
            "(behind a router), unless the router's address is given with --public-address. "
            "Options override the stored settings for this check only.",
        .options = {{"",
                     {
                         {.name = "from",
                          .value = "ADDRESS",
                          .help = "the sender for MAIL FROM (Connection/From)"},
                         {.name = "helo",
                          .value = "HOST",
                          .help = "the name given in HELO (else the domain of From)",
                          .complete = Hosts()},
                         {.name = "dns",
                          .value = "\"SERVER [SERVER]\"",
                          .help = "the DNS servers (DNS/Primary, DNS/Secondary)"},
                         {.name = "dns-port",
                          .value = "PORT",
                          .help = "the port of the DNS servers (default 53)"},
                         {.name = "smtp-port",
                          .value = "PORT",
                          .help = "the port of the mail servers (default 25)"},
                         {.name = "source-address",
                          .value = "ADDR",
                          .help = "the local IPv4 address the connections leave from "
                                  "(Checks/SourceAddress; default: the system's choice)"},
                         {.name = "public-address",
                          .value = "ADDR",
                          .help = "the IPv4 address the receivers see (for a computer behind "
                                  "a router)"},
                         {.name = "blocklists",
                          .value = "ZONE,ZONE...",
                          .help = "the block-list zones (Checks/BlockLists, default "
                                  "zen.spamhaus.org,bl.spamcop.net)"},
                     }}},
        .notes =
            "Exit status: 0 when no check failed (warnings and skipped checks alone give 0), "
            "1 when one failed, 2 for a usage error.",
        .operands = Hosts(),
        .run = &RunDoctor,
    };
}

}  // namespace mv::cli
