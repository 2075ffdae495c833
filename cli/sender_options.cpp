#include "sender_options.h"

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

}  // namespace mv::cli
