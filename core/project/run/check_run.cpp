#include "project/run/check_run.h"

#include <algorithm>
#include <ctime>

#include "engine/result_codes.h"
#include "net/socket/local_address.h"
#include "platform/text/text_trim.h"
#include "platform/time/tick_count.h"
#include "project/journal/journal_writer.h"
#include "project/run/address_text.h"
#include "settings/tini.h"

namespace mv {

namespace {

// The options dialog offers 1 to 999 for both; a larger stored value (an
// edited or damaged file) would overflow the watchdog's interval in
// milliseconds, so it counts as 999. Zero and below are left to the
// dispatcher, which has its own rules for them.
int StoredLimit(int32_t value) {
    return std::min<int32_t>(value, CheckSettings::kMaxStoredValue);
}

// A proxy that is switched on must be usable: going round it silently would
// send the checks from the user's own address.
void CheckProxy(const CheckSettings& settings) {
    if (!settings.proxyEnabled) return;
    switch (FindSocksProxyFault(settings.proxy)) {
        case SocksProxyFault::kServer:
            throw ECheckRunError(CheckRun::kProxyServerMissing);
        case SocksProxyFault::kPort:
            throw ECheckRunError(CheckRun::kProxyPortInvalid);
        case SocksProxyFault::kLevel:
            throw ECheckRunError(CheckRun::kProxyLevelInvalid);
        case SocksProxyFault::kNone:
            return;
    }
}

// A source address must be one that connections can leave from: else every
// connection would fail, and every address with it.
void CheckSourceAddress(const CheckSettings& settings) {
    switch (CheckLocalAddress(settings.sourceAddress)) {
        case LocalAddressFault::kNotAnAddress:
            throw ECheckRunError(CheckRun::kSourceAddressInvalid);
        case LocalAddressFault::kNotLocal:
            throw ECheckRunError(
                CheckRun::SourceAddressNotLocal(TrimBlanks(settings.sourceAddress)));
        case LocalAddressFault::kNone:
            return;
    }
}

}  // namespace

std::string CheckRun::SourceAddressNotLocal(const std::string& address) {
    return "The source address " + address +
           " is not an address of this computer (Tools | Options)";
}

CheckSettings CheckSettings::FromIni(TINI& ini) {
    CheckSettings s;
    s.from = ini.ilFrom.Text();
    s.dnsPrimary = ini.ilDNS1.Text();
    s.dnsSecondary = ini.ilDNS2.Text();
    s.hostFromDomain = ini.ilHostFromDomain.AsInteger();
    s.host = ini.ilHost.Text();
    s.connections = StoredLimit(ini.ilConnections.AsInteger());
    s.timeOut = StoredLimit(ini.ilTimeOut.AsInteger());
    s.acceptAllProbe = ini.ilAcceptAllProbe.AsInteger() != 0;
    s.recheckDeferred =
        std::clamp<int32_t>(ini.ilRecheckDeferred.AsInteger(), 0, kMaxRecheckDeferred);
    s.proxyEnabled = ini.ilProxyEnabled.AsInteger() == 1;
    s.proxy.server = TrimBlanks(ini.ilProxyServer.Text());
    s.proxy.port = TrimBlanks(ini.ilProxyPort.Text());
    s.proxy.level = ini.ilProxyLevel.Text();
    s.proxy.user = ini.ilProxyUser.Text();
    s.proxy.password = ini.ilProxyPassword.Text();
    s.perServer = std::clamp<int32_t>(ini.ilPerServer.AsInteger(), 0, kMaxStoredValue);
    s.perServerRate = std::clamp<int32_t>(ini.ilPerServerRate.AsInteger(), 0, kMaxPerServerRate);
    s.sourceAddress = TrimBlanks(ini.ilSourceAddress.Text());
    return s;
}

std::string ElapsedText(uint32_t seconds) {
    std::tm t{};
    t.tm_hour = static_cast<int>((seconds / 3600) % 24);
    t.tm_min = static_cast<int>((seconds / 60) % 60);
    t.tm_sec = static_cast<int>(seconds % 60);
    t.tm_mday = 1;
    t.tm_year = 100;
    char buf[64];
    if (std::strftime(buf, sizeof buf, "%X", &t) == 0) buf[0] = '\0';
    return std::string("Elapsed: ") + buf;
}

CheckRun::CheckRun(RecipientList& list, TSmtpRelayServer& dispatcher)
    : list_(list), dispatcher_(dispatcher) {
    dispatcher_.OnGetData = [this](TSmtpRelayServer*, int i) { OnGetData(i); };
    dispatcher_.OnEMailProcessed =
        [this](TSmtpRelayServer*, int i, int err, const std::vector<std::string>& log,
               const TResultInfo& info) { OnEMailProcessed(i, err, log, info); };
    dispatcher_.OnFinished = [this](TSmtpRelayServer*, bool) { OnFinished(); };
    dispatcher_.OnWarning = [this](TSmtpRelayServer*, const RunWarning& w) {
        if (OnWarning)
            OnWarning(w);
        else
            GoOn();
    };
}

CheckRun::~CheckRun() {
    dispatcher_.OnGetData = nullptr;
    dispatcher_.OnEMailProcessed = nullptr;
    dispatcher_.OnFinished = nullptr;
    dispatcher_.OnWarning = nullptr;
}

void CheckRun::Start(const CheckSettings& settings, RunRows rows) {
    if (list_.Empty()) throw ECheckRunError("Please open / fill the recipient list before");
    dispatcher_.SetFrom(ExtractAddress(settings.from));
    dispatcher_.SetDns(TrimBlanks(settings.dnsPrimary + " " + settings.dnsSecondary));
    dispatcher_.SetSignon(settings.hostFromDomain == 1 ? DomainOf(dispatcher_.From())
                                                       : settings.host);
    if (dispatcher_.From().empty())
        throw ECheckRunError(
            "Please provide a valid e-mail address for the FROM field (Tools | Options)");
    CheckProxy(settings);
    CheckSourceAddress(settings);
    dispatcher_.SetProxy(settings.proxyEnabled ? settings.proxy : SocksProxy{});
    TRecipientList recipients;
    for (size_t row = 0; row < list_.RowCount(); ++row) {
        if (RunTakesRow(rows, list_, row))
            recipients.push_back({ExtractAddress(list_.Caption(row)), static_cast<int>(row)});
    }
    dispatcher_.SetRecipients(std::move(recipients));
    if (dispatcher_.Recipients().empty()) throw ECheckRunError("Nothing to check");

    checkStart_ = GetTickCount();
    waiting_ = good_ = bad_ = 0;
    tally_ = {};
    awaitingRecheck_.clear();
    Refresh();
    SetRunning(true);
    dispatcher_.SetConnections(settings.connections);
    dispatcher_.SetTimeOut(settings.timeOut);
    dispatcher_.SetAcceptAllProbe(settings.acceptAllProbe);
    const int recheck = std::clamp(settings.recheckDeferred, 0, CheckSettings::kMaxRecheckDeferred);
    dispatcher_.SetRecheckDeferredMs(static_cast<uint32_t>(recheck) * 1000u);
    dispatcher_.SetPerServer(std::clamp(settings.perServer, 0, CheckSettings::kMaxStoredValue));
    dispatcher_.SetPerServerRate(
        std::clamp(settings.perServerRate, 0, CheckSettings::kMaxPerServerRate));
    dispatcher_.SetSourceAddress(settings.sourceAddress);
    dispatcher_.SetWarnings(OnWarning != nullptr);
    Modified();
    try {
        dispatcher_.Verify();
    } catch (...) {
        SetRunning(false);  // the window is restored before the message shows
        Refresh();
        throw;
    }
}

void CheckRun::Stop() {
    dispatcher_.Abort();
}

void CheckRun::GoOn() {
    dispatcher_.GoOn();
}

std::array<std::string, 5> CheckRun::StatusTexts() const {
    const auto elapsed = static_cast<uint32_t>(TickDiff(GetTickCount(), checkStart_)) / 1000u;
    return {ElapsedText(elapsed), "Total: " + std::to_string(list_.RowCount()),
            "Waiting: " + std::to_string(waiting_), "Good: " + std::to_string(good_),
            "Bad: " + std::to_string(bad_)};
}

std::string CheckRun::RecheckText() const {
    const std::optional<uint32_t> next = NextRecheckInMs();
    if (!next) return {};
    const std::time_t at = std::time(nullptr) + static_cast<std::time_t>((*next + 999) / 1000);
    std::tm local{};
    char buf[64];
    if (localtime_r(&at, &local) == nullptr || std::strftime(buf, sizeof buf, "%X", &local) == 0)
        buf[0] = '\0';
    return "Deferred: " + std::to_string(RechecksWaiting()) + ", next try at " + buf;
}

bool CheckRun::RowOf(int recipientIndex, size_t& row) const {
    const TRecipientList& r = dispatcher_.Recipients();
    if (recipientIndex < 0 || static_cast<size_t>(recipientIndex) >= r.size()) return false;
    row = static_cast<size_t>(r[static_cast<size_t>(recipientIndex)].Tag);
    return row < list_.RowCount();
}

void CheckRun::OnGetData(int recipientIndex) {
    size_t row = 0;
    if (RowOf(recipientIndex, row)) {
        list_.SetImageIndex(row, kIconChecking);
        list_.SetSubItem(row, 0, "Checking...");
        list_.SetFinding(row, std::nullopt);
        if (OnRowBegun) OnRowBegun(row);
    }
    // A deferred address checked again is still counted from its first check.
    if (awaitingRecheck_.erase(recipientIndex) == 0) ++waiting_;
    Refresh();
}

void CheckRun::OnEMailProcessed(int recipientIndex, int err, const std::vector<std::string>& log,
                                const TResultInfo& info) {
    Modified();
    size_t row = 0;
    const bool found = RowOf(recipientIndex, row);
    const std::string text = err != 0 ? ResultText(err) : "Valid E-mail Address!";
    if (info.final) {
        ++(err != 0 ? bad_ : good_);
        ++tally_.verdicts[static_cast<size_t>(info.finding.verdict)];
        ++tally_.reasons[static_cast<size_t>(info.finding.reason)];
    }
    if (found) {
        list_.SetTranscript(row, log);
        list_.SetFinding(row, info.finding);
        list_.SetImageIndex(row, err != 0 ? kIconFailed : kIconValid);
        if (err == 0) list_.SetStateIndex(row, kMarkUnchecked);
        list_.SetSubItem(row, 0, "[" + std::to_string(err) + "] " + text);
        if (journal_ != nullptr) journal_->Append(list_, row);
        if (OnRowReported) OnRowReported(row, err);
        if (info.final && OnRowFinal) OnRowFinal(row, err);
    }
    // A deferred result that will be checked again leaves the row waiting.
    if (info.final) {
        awaitingRecheck_.erase(recipientIndex);
        --waiting_;
    } else {
        awaitingRecheck_.insert(recipientIndex);
    }
    Refresh();
}

void CheckRun::OnFinished() {
    if (journal_ != nullptr) journal_->Sync();
    SetRunning(false);
    Refresh();
}

void CheckRun::SetRunning(bool running) {
    running_ = running;
    if (OnRunningChanged) OnRunningChanged(running);
}

void CheckRun::Refresh() const {
    if (OnStatusChanged) OnStatusChanged();
}

void CheckRun::Modified() const {
    if (OnModified) OnModified();
}

}  // namespace mv
