#include "project/preflight/preflight_settings.h"

#include <algorithm>
#include <cctype>

#include "engine/smtp_relay_server.h"
#include "net/socket/local_host_name.h"
#include "platform/resolver/system_name_servers.h"
#include "platform/text/text_trim.h"
#include "project/list/recipient_list.h"
#include "project/run/address_text.h"
#include "project/run/check_run.h"

namespace mv {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The HELO name of a run: the domain of From, or the stored host name, or
// (when that is empty) this machine's name, as the SMTP client gives it.
std::string HeloNameOf(const CheckSettings& settings, const std::string& from) {
    std::string name = settings.hostFromDomain == 1 ? DomainOf(from) : settings.host;
    if (name.empty()) {
        try {
            name = LocalHostName();
        } catch (const std::exception&) {
            name.clear();
        }
    }
    return name;
}

void AddDomainsOf(const RecipientList& list, bool marked, size_t max,
                  std::vector<std::string>& domains) {
    for (size_t row = 0; row < list.RowCount() && domains.size() < max; ++row) {
        if ((list.StateIndex(row) == kMarkChecked) != marked) continue;
        const std::string address = ExtractAddress(list.Caption(row));
        if (address.empty()) continue;
        const std::string domain = Lower(DomainOf(address));
        if (!domain.empty() && std::find(domains.begin(), domains.end(), domain) == domains.end())
            domains.push_back(domain);
    }
}

}  // namespace

std::vector<std::string> SplitPreflightList(const std::string& text) {
    std::vector<std::string> entries;
    std::string entry;
    for (char c : text + ",") {
        if (c == ',' || c == ' ' || c == '\t') {
            if (!entry.empty()) entries.push_back(entry);
            entry.clear();
        } else {
            entry += c;
        }
    }
    return entries;
}

PreflightSettings PreflightSettings::FromCheckSettings(const CheckSettings& settings,
                                                       const std::string& blockLists) {
    PreflightSettings s;
    s.from = ExtractAddress(settings.from);
    s.helo = HeloNameOf(settings, s.from);
    s.dnsServers = SplitPreflightList(settings.dnsPrimary + " " + settings.dnsSecondary);
    if (s.dnsServers.empty()) s.dnsServers = SplitPreflightList(SystemNameServers());
    if (s.dnsServers.empty()) s.dnsServers = {TSmtpRelayServer::kDefaultInternalDns};
    s.sourceAddress = TrimBlanks(settings.sourceAddress);
    s.blockLists = SplitPreflightList(blockLists);
    return s;
}

void PreflightSettings::SetDomains(std::vector<std::string> given) {
    domains = std::move(given);
    if (domains.empty() && from.find('@') != std::string::npos) domains = {DomainOf(from)};
}

std::vector<std::string> DistinctDomains(const RecipientList& list, size_t max) {
    std::vector<std::string> domains;
    AddDomainsOf(list, true, max, domains);
    AddDomainsOf(list, false, max, domains);
    return domains;
}

}  // namespace mv
