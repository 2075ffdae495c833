#include "settings/tini.h"

namespace mv {

TINI::TINI(std::filesystem::path configHome)
    : INIArquivo1(std::move(configHome)),
      isConnection("Connection", &INIArquivo1),
      isDNS("DNS", &INIArquivo1),
      isEnvironment("Environment", &INIArquivo1),
      isExport("Export", &INIArquivo1),
      isProxy("Proxy", &INIArquivo1),
      isChecks("Checks", &INIArquivo1),
      isFolders("Folders", &INIArquivo1),
      isCluster("Cluster", &INIArquivo1),
      ilConnections("Connections", "200", &isConnection),
      ilTimeOut("TimeOut", "30", &isConnection),
      ilFrom("From", "", &isConnection),
      ilHost("Host", "", &isDNS),
      ilDNS1("Primary", "", &isDNS),
      ilDNS2("Secondary", "", &isDNS),
      ilHostFromDomain("HostFromDomain", "1", &isDNS),
      isMaximized("Maximized", "False", &isEnvironment),
      ilFolderProjects("Projects", "", &isFolders),
      ilFolderImports("Imports", "", &isFolders),
      ilFolderExports("Exports", "", &isFolders),
      ilFolderSummary("Summary", "", &isFolders),
      isToleranceZero("ToleranceZero", "True", &isExport),
      isToleranceMailboxUnavailable("ToleranceMailboxUnavailable", "False", &isExport),
      isToleranceExceededStorage("ToleranceExceededStorage", "False", &isExport),
      isToleranceTimeOut("ToleranceTimeOut", "False", &isExport),
      isExportByVerdict("ByVerdict", "False", &isExport),
      ilExportVerdicts("Verdicts", "deliverable", &isExport),
      ilExportLeaveOut("LeaveOut", "", &isExport),
      ilProxyEnabled("Enabled", "0", &isProxy),
      ilProxyServer("Server", "", &isProxy),
      ilProxyPort("Port", "1080", &isProxy),
      ilProxyLevel("Level", "5", &isProxy),
      ilProxyUser("User", "", &isProxy),
      ilProxyPassword("Password", "", &isProxy),
      ilAcceptAllProbe("AcceptAllProbe", "1", &isChecks),
      ilRecheckDeferred("RecheckDeferred", "0", &isChecks),
      ilBlockLists("BlockLists", "zen.spamhaus.org,bl.spamcop.net", &isChecks),
      ilPerServer("PerServer", "5", &isChecks),
      ilPerServerRate("PerServerRate", "0", &isChecks),
      ilAddressesPerConnection("AddressesPerConnection", "1", &isChecks),
      ilSourceAddress("SourceAddress", "", &isChecks),
      ilPreferIPv6("PreferIPv6", "0", &isChecks),
      ilClusterRedis("Redis", "", &isCluster),
      ilClusterUser("User", "", &isCluster),
      ilClusterPassword("Password", "", &isCluster) {
    INIArquivo1.SetLanguage(iclEnglish);
    INIArquivo1.SetFileName(kKeyPath);
}

}  // namespace mv
