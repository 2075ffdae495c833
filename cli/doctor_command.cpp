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
#include "project/run/check_run.h"
#include "sender_options.h"
#include "settings/tini.h"

namespace mv::cli {

namespace {

PreflightSettings DoctorSettings(const ParsedArgs& args, TINI& ini) {
    CheckSettings check = StoredSettingsWithSender(args, ini);
    if (auto v = args.Value("source-address")) check.sourceAddress = *v;
    PreflightSettings s = PreflightSettings::FromCheckSettings(
        check, args.ValueOr("blocklists", ini.ilBlockLists.Text()));
    if (auto p = args.Number("dns-port", 1, 65535)) s.dnsPort = std::to_string(*p);
    if (auto p = args.Number("smtp-port", 1, 65535)) s.smtpPort = std::to_string(*p);
    if (auto v = args.Value("public-address")) {
        if (!IsDottedQuad(*v))
            throw UsageError("--public-address needs an IPv4 address, not '" + *v + "'");
        s.publicAddress = *v;
    }
    s.SetDomains(args.Positional());
    return s;
}

void PrintItem(const PreflightItem& item) {
    std::printf("%-8s %s: %s\n", PreflightStatusName(item.status), item.name.c_str(),
                item.advice.c_str());
}

}  // namespace

int RunDoctor(const ParsedArgs& parsed) {
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
