// The settings of this program (data module TINI): one store at the key path
// "\software\Corvane\Mailvetter" with English boolean words, its sections and
// its keys with their defaults. Every other part of the program reads and
// writes settings only through these keys. The module is created at start,
// before the main window, and lives until the program ends.
#pragma once

#include <filesystem>

#include "settings/ini_store.h"

namespace mv {

class TINI {
  public:
    // `configHome` overrides the folder of the store (tests and the command
    // line use a folder of their own); empty means $XDG_CONFIG_HOME or
    // ~/.config.
    explicit TINI(std::filesystem::path configHome = {});
    TINI(const TINI&) = delete;
    TINI& operator=(const TINI&) = delete;

    // The key path of the store.
    static constexpr const char* kKeyPath = "\\software\\Corvane\\Mailvetter";

    TINIArquivo INIArquivo1;

    TINISecao isConnection;
    TINISecao isDNS;
    TINISecao isEnvironment;
    TINISecao isExport;
    TINISecao isProxy;
    TINISecao isChecks;
    TINISecao isFolders;
    TINISecao isCluster;

    // [Connection]
    TINILinha ilConnections;  // "200", AsInteger: simultaneous connections
    TINILinha ilTimeOut;      // "30", AsInteger: seconds
    TINILinha ilFrom;         // "": sender address for MAIL FROM
    // [DNS]
    TINILinha ilHost;            // "": HELO host name when HostFromDomain is not 1
    TINILinha ilDNS1;            // "": primary DNS server
    TINILinha ilDNS2;            // "": secondary DNS server
    TINILinha ilHostFromDomain;  // "1", AsInteger: 1 = HELO host from the domain of From
    // [Environment]
    TINILinha isMaximized;  // "False", AsBoolean
    // [Folders]: where the window's file dialogs start, one folder per purpose
    TINILinha ilFolderProjects;  // "": opening and saving projects
    TINILinha ilFolderImports;   // "": the lists imported
    TINILinha ilFolderExports;   // "": the lists exported
    TINILinha ilFolderSummary;   // "": the summary's charts and tables
    // [Export]
    TINILinha isToleranceZero;                // "True", AsBoolean
    TINILinha isToleranceMailboxUnavailable;  // "False", AsBoolean
    TINILinha isToleranceExceededStorage;     // "False", AsBoolean
    TINILinha isToleranceTimeOut;             // "False", AsBoolean
    TINILinha isExportByVerdict;              // "False", AsBoolean: rows chosen by verdict
    TINILinha ilExportVerdicts;               // "deliverable": the verdicts chosen, by name,
                                              // separated by commas
    TINILinha ilExportLeaveOut;               // "": the flags whose rows are left out
                                              // ("role,disposable,free")
    // [Proxy]: the SOCKS proxy of the check runs' SMTP connections. The
    // password is kept as every other value is, in plain text.
    TINILinha ilProxyEnabled;   // "0", AsInteger: 1 = connect through the proxy
    TINILinha ilProxyServer;    // "": host name or address
    TINILinha ilProxyPort;      // "1080"
    TINILinha ilProxyLevel;     // "5": "4", "4A" or "5"
    TINILinha ilProxyUser;      // "": user code (level 5), user id (levels 4, 4A)
    TINILinha ilProxyPassword;  // "": level 5 only
    // [Checks]
    TINILinha ilAcceptAllProbe;   // "1", AsInteger: 1 = ask each domain about a made-up address
    TINILinha ilRecheckDeferred;  // "0", AsInteger: seconds before a deferred address is
                                  // checked again; 0 = never
    TINILinha ilBlockLists;       // "zen.spamhaus.org,bl.spamcop.net": the DNS block-list zones
                                  // of the pre-flight check, separated by commas
    TINILinha ilPerServer;        // "5", AsInteger: connections open at once to one mail
                                  // server group; 0 = no limit
    TINILinha ilPerServerRate;    // "0", AsInteger: new connections a minute to one mail
                                  // server group; 0 = no limit
    TINILinha ilAddressesPerConnection;  // "1", AsInteger: addresses checked on one
                                         // connection, 1 to 20
    TINILinha ilSourceAddress;           // "": the local addresses SMTP connections leave
                                         // from (one IPv4, one IPv6, or one of each
                                         // separated by a blank); empty = the system's choice
    TINILinha ilPreferIPv6;              // "0", AsInteger: 1 = reach a mail host that has
                                         // addresses of both families over IPv6
    // [Cluster]: the Redis server of checks on many machines. The password
    // is kept as the proxy's is, in plain text.
    TINILinha ilClusterRedis;     // "": redis://host:port/db or unix:///path
    TINILinha ilClusterUser;      // "": the ACL user; empty = the default user
    TINILinha ilClusterPassword;  // "": empty = no login
};

}  // namespace mv
