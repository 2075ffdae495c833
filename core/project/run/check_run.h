// The check run as the main window drives it, without any window: starting a
// run from the recipient list and the settings, the dispatcher's three events
// turned into row updates and counters, the five status texts, and the switch
// between idle and running. The window and the command-line program both use
// this class unchanged; what they show is up to them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/smtp_relay_server.h"
#include "net/socks/socks_proxy.h"
#include "platform/error/exception.h"
#include "project/list/recipient_list.h"

namespace mv {

class TINI;

// A refusal to start a run, with the message the user sees.
class ECheckRunError : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "ECheckRunError"; }
};

// The settings a run starts from, as the settings store holds them.
struct CheckSettings {
    std::string from;  // Connection/From, as written (a display name is allowed)
    std::string dnsPrimary;
    std::string dnsSecondary;
    int hostFromDomain = 1;  // 1: the HELO host is the domain of From
    std::string host;        // the HELO host otherwise
    int connections = 200;
    int timeOut = 30;  // seconds
    // Every SMTP connection goes through `proxy` when this is set.
    bool proxyEnabled = false;
    SocksProxy proxy;

    // The largest stored Connections and TimeOut that a run uses.
    static constexpr int kMaxStoredValue = 999;
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

    CheckRun(RecipientList& list, TSmtpRelayServer& dispatcher);
    ~CheckRun();
    CheckRun(const CheckRun&) = delete;
    CheckRun& operator=(const CheckRun&) = delete;

    // Starts a run over the marked rows ("&Check"). Raises ECheckRunError
    // with "Please open / fill the recipient list before", "Please provide a
    // valid e-mail address for the FROM field (Tools | Options)", one of the
    // proxy refusals (kProxyServerMissing ...) or "Nothing to check", and passes the dispatcher's
    // own refusals on (after switching back to idle).
    void Start(const CheckSettings& settings);
    // Stops the run ("S&top"): every row in flight ends as -8.
    void Stop();
    bool Running() const { return running_; }

    int Waiting() const { return waiting_; }
    int Good() const { return good_; }
    int Bad() const { return bad_; }
    uint32_t CheckStart() const { return checkStart_; }
    // "Elapsed: %s", "Total: %d", "Waiting: %d", "Good: %d", "Bad: %d".
    std::array<std::string, 5> StatusTexts() const;

    // --- What the front end hears about -------------------------------
    std::function<void(bool running)> OnRunningChanged;
    std::function<void()> OnStatusChanged;                    // refresh the five panels
    std::function<void()> OnModified;                         // the project changed
    std::function<void(size_t row)> OnRowBegun;               // scroll the row into view
    std::function<void(size_t row, int code)> OnRowReported;  // likewise, with its result

  private:
    void OnGetData(int recipientIndex);
    void OnEMailProcessed(int recipientIndex, int err, const std::vector<std::string>& log);
    void OnFinished();
    void SetRunning(bool running);
    bool RowOf(int recipientIndex, size_t& row) const;
    void Refresh() const;
    void Modified() const;

    RecipientList& list_;
    TSmtpRelayServer& dispatcher_;
    bool running_ = false;
    uint32_t checkStart_ = 0;
    int waiting_ = 0;
    int good_ = 0;
    int bad_ = 0;
};

// "Elapsed: " followed by whole seconds shown as a time of day in the
// locale's long time format (83 seconds: 0 hours, 1 minute, 23 seconds).
std::string ElapsedText(uint32_t seconds);

}  // namespace mv
