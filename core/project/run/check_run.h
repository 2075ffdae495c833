// The check run as the main window drives it, without any window: starting a
// run from the recipient list and the settings, the dispatcher's three events
// turned into row updates and counters, the five status texts, and the switch
// between idle and running. The window and the command-line program both use
// this class unchanged; what they show is up to them.
//
// Beyond the five counters, a run keeps per row what each result means
// (RecipientList::FindingOf, VerdictOfRow), counts the final results per
// verdict and reason, and tells how many deferred addresses wait to be
// checked again. A row whose result is deferred and will be checked again
// shows that result and stays counted in "Waiting"; only its last result
// counts in "Good" or "Bad", once.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/smtp_relay_server.h"
#include "net/socks/socks_proxy.h"
#include "platform/error/exception.h"
#include "project/list/recipient_list.h"
#include "project/run/run_rows.h"

namespace mv {

class TINI;
class JournalWriter;

// A refusal to start a run, with the message the user sees.
class ECheckRunError : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "ECheckRunError"; }
};

// How many final results of a run had each verdict and each reason.
struct VerdictTally {
    std::array<int, 4> verdicts{};            // by Verdict
    std::array<int, kReasonCount> reasons{};  // by Reason
    int Of(Verdict v) const { return verdicts[static_cast<size_t>(v)]; }
    int Of(Reason r) const { return reasons[static_cast<size_t>(r)]; }
};

// The settings a run starts from, as the settings store holds them.
struct CheckSettings {
    std::string from;  // Connection/From, as written (a display name is allowed)
    std::string dnsPrimary;
    std::string dnsSecondary;
    int hostFromDomain = 1;  // 1: the HELO host is the domain of From
    std::string host;        // the HELO host otherwise
    int connections = 200;
    int timeOut = 30;            // seconds
    bool acceptAllProbe = true;  // Checks/AcceptAllProbe
    int recheckDeferred = 0;     // Checks/RecheckDeferred: seconds, 0 = never
    // Every SMTP connection goes through `proxy` when this is set.
    bool proxyEnabled = false;
    SocksProxy proxy;
    // Politeness per mail server address: connections open at once
    // (Checks/PerServer) and new connections a minute (Checks/PerServerRate);
    // 0 = no limit. Tests and benchmarks that compare figures set 0.
    int perServer = 5;
    int perServerRate = 0;
    std::string sourceAddress;  // Checks/SourceAddress: empty = the system's choice

    // The largest stored Connections and TimeOut that a run uses.
    static constexpr int kMaxStoredValue = 999;
    // The longest stored RecheckDeferred that a run uses: a day.
    static constexpr int kMaxRecheckDeferred = 86400;
    // The largest stored PerServerRate that a run uses.
    static constexpr int kMaxPerServerRate = 9999;
    // Stored Connections and TimeOut above kMaxStoredValue are taken as it.
    static CheckSettings FromIni(TINI& ini);
};

class CheckRun {
  public:
    // The status bar's five panels when no run has happened.
    static constexpr std::array<const char*, 5> kIdleStatus = {
        "Elapsed:", "Total:", "Waiting:", "Good:", "Bad:"};

    // A proxy switched on without a usable server, port or level.
    static constexpr const char* kProxyServerMissing =
        "Please provide the server of the SOCKS proxy (Tools | Options)";
    static constexpr const char* kProxyPortInvalid =
        "The port of the SOCKS proxy must be a number from 1 to 65535 (Tools | Options)";
    static constexpr const char* kProxyLevelInvalid =
        "The level of the SOCKS proxy must be 4, 4A or 5 (Tools | Options)";
    // A source address that connections cannot leave from.
    static constexpr const char* kSourceAddressInvalid =
        "The source address must be an IPv4 address of this computer, such as 192.168.1.20 "
        "(Tools | Options)";
    // "The source address %s is not an address of this computer (Tools | Options)".
    static std::string SourceAddressNotLocal(const std::string& address);

    CheckRun(RecipientList& list, TSmtpRelayServer& dispatcher);
    ~CheckRun();
    CheckRun(const CheckRun&) = delete;
    CheckRun& operator=(const CheckRun&) = delete;

    // Starts a run over the marked rows ("&Check"), or over those of them
    // that have no result yet (RunRows::kRest). Raises ECheckRunError
    // with "Please open / fill the recipient list before", "Please provide a
    // valid e-mail address for the FROM field (Tools | Options)", one of the
    // proxy refusals (kProxyServerMissing ...), one of the source address refusals or
    // "Nothing to check", and passes the dispatcher's own refusals on (after
    // switching back to idle).
    void Start(const CheckSettings& settings, RunRows rows = RunRows::kMarked);
    // Stops the run ("S&top"): every row in flight ends as -8.
    void Stop();
    bool Running() const { return running_; }
    // After OnWarning: the run is held until GoOn (or Stop).
    bool Held() const { return dispatcher_.Held(); }
    void GoOn();
    // Every result from now on is appended to `journal` (null: none), which
    // is flushed to the disk when the run ends. It must outlive the run.
    void SetJournal(JournalWriter* journal) { journal_ = journal; }

    int Waiting() const { return waiting_; }
    int Good() const { return good_; }
    int Bad() const { return bad_; }
    uint32_t CheckStart() const { return checkStart_; }
    // "Elapsed: %s", "Total: %d", "Waiting: %d", "Good: %d", "Bad: %d".
    std::array<std::string, 5> StatusTexts() const;
    // The final results of the current or last run per verdict and reason.
    const VerdictTally& Tally() const { return tally_; }
    // Deferred addresses waiting to be checked again (counted in Waiting),
    // and the milliseconds until the next try; none when none waits.
    size_t RechecksWaiting() const { return dispatcher_.RechecksWaiting(); }
    std::optional<uint32_t> NextRecheckInMs() const { return dispatcher_.NextRecheckInMs(); }
    // "Deferred: %d, next try at %s" with the local time of the next try in
    // the locale's long time format; empty when no address waits.
    std::string RecheckText() const;

    // --- What the front end hears about -------------------------------
    std::function<void(bool running)> OnRunningChanged;
    std::function<void()> OnStatusChanged;                    // refresh the five panels
    std::function<void()> OnModified;                         // the project changed
    std::function<void(size_t row)> OnRowBegun;               // scroll the row into view
    std::function<void(size_t row, int code)> OnRowReported;  // likewise, with its result
    // The row's last result of this run (counted in Good or Bad); comes after
    // OnRowReported. A deferred result that will be checked again is
    // reported, but not final.
    std::function<void(size_t row, int code)> OnRowFinal;
    // The run has been held because its first results show that this
    // computer cannot check (RunWarnings); the front end answers with GoOn or
    // Stop. Set before Start: a run without a listener is never held.
    std::function<void(const RunWarning& warning)> OnWarning;

  private:
    void OnGetData(int recipientIndex);
    void OnEMailProcessed(int recipientIndex, int err, const std::vector<std::string>& log,
                          const TResultInfo& info);
    void OnFinished();
    void SetRunning(bool running);
    bool RowOf(int recipientIndex, size_t& row) const;
    void Refresh() const;
    void Modified() const;

    RecipientList& list_;
    TSmtpRelayServer& dispatcher_;
    JournalWriter* journal_ = nullptr;
    bool running_ = false;
    uint32_t checkStart_ = 0;
    int waiting_ = 0;
    int good_ = 0;
    int bad_ = 0;
    VerdictTally tally_;
    // Addresses (by recipient index) whose result was not final and whose
    // next check has not begun: still counted in Waiting.
    std::unordered_set<int> awaitingRecheck_;
};

// "Elapsed: " followed by whole seconds shown as a time of day in the
// locale's long time format (83 seconds: 0 hours, 1 minute, 23 seconds).
std::string ElapsedText(uint32_t seconds);

}  // namespace mv
