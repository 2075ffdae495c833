#include "sender_options.h"

#include "socks_options.h"

namespace mv::cli {

CheckSettings StoredSettingsWithSender(const ParsedArgs& args, TINI& ini) {
    CheckSettings s = CheckSettings::FromIni(ini);
    if (auto v = args.Value("from")) s.from = *v;
    if (auto v = args.Value("helo")) {
        s.hostFromDomain = 0;
        s.host = *v;
    }
    if (auto v = args.Value("dns")) {
        s.dnsPrimary = *v;
        s.dnsSecondary.clear();
    }
    return s;
}

CheckSettings CheckSettingsFor(const ParsedArgs& args, TINI& ini) {
    CheckSettings s = StoredSettingsWithSender(args, ini);
    if (auto v = args.Number("connections", 1, 100000)) s.connections = static_cast<int>(*v);
    if (auto v = args.Number("timeout", 1, 86400)) s.timeOut = static_cast<int>(*v);
    if (args.Has("no-accept-all-probe")) s.acceptAllProbe = false;
    if (auto v = args.Number("recheck-deferred", 0, CheckSettings::kMaxRecheckDeferred))
        s.recheckDeferred = static_cast<int>(*v);
    if (auto v = args.Number("per-server", 0, CheckSettings::kMaxStoredValue))
        s.perServer = static_cast<int>(*v);
    if (auto v = args.Number("per-server-rate", 0, CheckSettings::kMaxPerServerRate))
        s.perServerRate = static_cast<int>(*v);
    if (auto v = args.Value("source-address")) s.sourceAddress = *v;
    if (auto proxy = ParseSocksOptions(args)) {
        s.proxyEnabled = true;
        s.proxy = *proxy;
    }
    return s;
}

}  // namespace mv::cli
