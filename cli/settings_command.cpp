// mailvetter-cli settings: reads or writes the stored settings, so that a
// machine without a display can be set up.
#include <strings.h>

#include <cstdio>

#include "cli_args.h"
#include "commands.h"
#include "settings/tini.h"

namespace mv::cli {

namespace {

struct Entry {
    std::string name;  // "Section/Key"
    TINILinha* key;
};

std::vector<Entry> AllKeys(TINI& ini) {
    std::vector<Entry> out;
    for (TINILinha* k : {&ini.ilConnections,
                         &ini.ilTimeOut,
                         &ini.ilFrom,
                         &ini.ilHost,
                         &ini.ilDNS1,
                         &ini.ilDNS2,
                         &ini.ilHostFromDomain,
                         &ini.isMaximized,
                         &ini.ilFolderProjects,
                         &ini.ilFolderImports,
                         &ini.ilFolderExports,
                         &ini.ilFolderSummary,
                         &ini.isToleranceZero,
                         &ini.isToleranceMailboxUnavailable,
                         &ini.isToleranceExceededStorage,
                         &ini.isToleranceTimeOut,
                         &ini.isExportByVerdict,
                         &ini.ilExportVerdicts,
                         &ini.ilExportLeaveOut,
                         &ini.ilProxyEnabled,
                         &ini.ilProxyServer,
                         &ini.ilProxyPort,
                         &ini.ilProxyLevel,
                         &ini.ilProxyUser,
                         &ini.ilProxyPassword,
                         &ini.ilAcceptAllProbe,
                         &ini.ilRecheckDeferred,
                         &ini.ilBlockLists,

                         &ini.ilPerServer,
                         &ini.ilPerServerRate,
                         &ini.ilAddressesPerConnection,
                         &ini.ilSourceAddress,
                         &ini.ilPreferIPv6,
                         &ini.ilClusterRedis,
                         &ini.ilClusterUser,
                         &ini.ilClusterPassword}) {
        out.push_back({k->SecaoAssociada()->Caption() + "/" + k->Caption(), k});
    }
    return out;
}

}  // namespace

std::vector<std::string> SettingNames() {
    TINI ini;  // reads nothing until a value is asked for
    std::vector<std::string> names;
    for (const Entry& e : AllKeys(ini))
        names.push_back(e.name);
    return names;
}

int RunSettings(const ParsedArgs& parsed) {
    const auto& pos = parsed.Positional();
    if (pos.size() > 2) throw UsageError("settings takes at most SECTION/KEY and a VALUE");
    TINI ini;
    const std::vector<Entry> keys = AllKeys(ini);
    if (pos.empty()) {
        for (const Entry& e : keys)
            std::printf("%s=%s\n", e.name.c_str(), e.key->Text().c_str());
        return kExitOk;
    }
    for (const Entry& e : keys) {
        if (strcasecmp(e.name.c_str(), pos[0].c_str()) != 0) continue;
        if (pos.size() == 1) {
            std::printf("%s\n", e.key->Text().c_str());
            return kExitOk;
        }
        e.key->SetText(pos[1]);
        if (e.key->Modified()) {
            const SettingsFile* file = ini.INIArquivo1.File();
            PrintError(file != nullptr && !file->LastError().empty()
                           ? file->LastError()
                           : "cannot write the settings file");
            return kExitFailure;
        }
        return kExitOk;
    }
    throw UsageError("unknown setting '" + pos[0] + "' (see mailvetter-cli settings)");
}

}  // namespace mv::cli
