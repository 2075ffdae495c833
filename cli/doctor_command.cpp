// mailvetter-cli doctor: the pre-flight check. Can this computer check
// addresses at all (DNS, sender, HELO name, outgoing port 25, reverse name,
// block lists)? One line per check, in a fixed order, each printed as soon as
// it and the ones above it have ended.
#include <cstdio>
#include <string>
#include <vector>

#include "cli_args.h"
#include "commands.h"
#include "platform/loop/epoll_loop.h"
#include "project/preflight/outgoing_address.h"
#include "project/preflight/preflight_run.h"
#include "project/run/address_text.h"
#include "project/run/check_run.h"
#include "settings/tini.h"

namespace mv::cli {

const char* const kDoctorHelp =
    "Checks whether this computer can check addresses at all, and prints one line\n"
    "per check: its result (OK, warning, failed or skipped), its name and one line\n"
    "of advice. The whole check takes at most 15 seconds.\n\n"
    "  DNS servers          every DNS server in use answers\n"
    "  From address         the sender's domain exists, has mail hosts and is not a\n"
    "                       null MX (receivers refuse senders they cannot answer)\n"
    "  HELO name            the HELO name is a full domain name that resolves\n"
    "  Outgoing port 25     the mail hosts of the DOMAINs (at most 5; none given:\n"
    "                       the sender's domain) can be connected to; the line tells\n"
    "                       connections that time out (a blocked port) from refused\n"
    "                       ones. Each connection gets 5 seconds; nothing is sent.\n"
    "  Reverse name (PTR)   the address the receivers see has a reverse name, and\n"
    "                       it is the HELO name\n"
    "  Block list ZONE      that address is not listed in the DNS block list ZONE\n"
    "                       (the answer code explained)\n"
    "The last two are skipped when this computer's outgoing address is private\n"
    "(behind a router), unless the router's address is given with --public-address.\n\n"
    "Options override the stored settings for this check only:\n"
    "  --from ADDRESS        the sender for MAIL FROM (Connection/From)\n"
    "  --helo HOST           the name given in HELO (else the domain of From)\n"
    "  --dns \"SERVER [SERVER]\"  the DNS servers (DNS/Primary, DNS/Secondary)\n"
    "  --dns-port PORT       the port of the DNS servers (default 53)\n"
    "  --smtp-port PORT      the port of the mail servers (default 25)\n"
    "  --public-address ADDR the IPv4 address the receivers see\n"
    "  --blocklists ZONE,ZONE...\n"
    "                        the block-list zones (Checks/BlockLists, default\n"
    "                        zen.spamhaus.org,bl.spamcop.net)\n\n"
    "Exit status: 0 when no check failed (warnings and skipped checks alone give\n"
    "0), 1 when one failed, 2 for a usage error.\n";

namespace {

PreflightSettings DoctorSettings(const ParsedArgs& args, TINI& ini) {
    CheckSettings check = CheckSettings::FromIni(ini);
    if (auto v = args.Value("from")) check.from = *v;
    if (auto v = args.Value("helo")) {
        check.hostFromDomain = 0;
        check.host = *v;
    }
    if (auto v = args.Value("dns")) {
        check.dnsPrimary = *v;
        check.dnsSecondary.clear();
    }
    PreflightSettings s = PreflightSettings::FromCheckSettings(
        check, args.ValueOr("blocklists", ini.ilBlockLists.Text()));
    if (auto p = args.Number("dns-port", 1, 65535)) s.dnsPort = std::to_string(*p);
    if (auto p = args.Number("smtp-port", 1, 65535)) s.smtpPort = std::to_string(*p);
    if (auto v = args.Value("public-address")) {
        if (!IsDottedQuad(*v))
            throw UsageError("--public-address needs an IPv4 address, not '" + *v + "'");
        s.publicAddress = *v;
    }
    s.domains = args.Positional();
    if (s.domains.empty() && s.from.find('@') != std::string::npos) s.domains = {DomainOf(s.from)};
    return s;
}

void PrintItem(const PreflightItem& item) {
    std::printf("%-8s %s: %s\n", PreflightStatusName(item.status), item.name.c_str(),
                item.advice.c_str());
}

}  // namespace

int RunDoctor(const std::vector<std::string>& args) {
    const ParsedArgs parsed(args, {{"from"},
                                   {"helo"},
                                   {"dns"},
                                   {"dns-port"},
                                   {"smtp-port"},
                                   {"public-address"},
                                   {"blocklists"}});
    if (parsed.HelpRequested()) {
        std::fputs(FindCommand("doctor").help, stdout);
        return kExitOk;
    }
    TINI ini;
    PreflightSettings settings = DoctorSettings(parsed, ini);

    EpollLoop loop;
    PreflightRun run(loop, std::move(settings));
    size_t printed = 0;
    run.OnChanged = [&] {
        const std::vector<PreflightItem> items = run.Items();
        for (; printed < items.size() && !run.Pending(printed); ++printed)
            PrintItem(items[printed]);
        std::fflush(stdout);
    };
    run.OnFinished = [&] { loop.Quit(); };
    run.Start();
    if (!run.Finished()) loop.Run();
    run.OnChanged();
    std::fprintf(stderr, "checked in %.1f s\n", run.ElapsedMs() / 1000.0);
    return AnyPreflightFailed(run.Items()) ? kExitFailure : kExitOk;
}

}  // namespace mv::cli
