// The checking dispatcher: runs one check run over a list of addresses with
// up to `Connections` check sessions side by side, finds the DNS servers to
// use, expires sessions that stay idle longer than `TimeOut` seconds, and
// tells its owner when a session takes an address (OnGetData), when an
// address has a result (OnEMailProcessed) and when the run is over
// (OnFinished).
//
// Everything runs on the thread of the message loop; there are no worker
// threads and no locks. Sessions end inside their own callbacks: a session
// that ends empties its slot and is retired through the loop (freed once the
// loop is back at its outermost level). Slots are emptied, never removed,
// during a run, so code that walks them (watchdog, abort) uses stable slot
// numbers while sessions end under its feet.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/error/exception.h"
#include "platform/loop/message_loop.h"
#include "platform/loop/socket_notifier.h"

namespace mv {

class TSmtpThread;

class TSmtpRelayServerException : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "TSmtpRelayServerException"; }
};

// One address of a run: its text and the owner's key for it (the main window
// keeps the list row index there).
struct TRecipientEntry {
    std::string Text;
    int Tag = 0;
};
using TRecipientList = std::vector<TRecipientEntry>;

class TSmtpRelayServer {
  public:
    using TGetDataEvent = std::function<void(TSmtpRelayServer* Sender, int recipientIndex)>;
    using TEMailProcessedEvent = std::function<void(TSmtpRelayServer* Sender, int recipientIndex,
                                                    int Err, const std::vector<std::string>& log)>;
    using TFinishedEvent = std::function<void(TSmtpRelayServer* Sender, bool Aborted)>;

    // The last-resort DNS server of the program (a public resolver).
    static constexpr const char* kDefaultInternalDns = "9.9.9.9";

    explicit TSmtpRelayServer(MessageLoop& loop = MessageLoop::Current());
    ~TSmtpRelayServer();
    TSmtpRelayServer(const TSmtpRelayServer&) = delete;
    TSmtpRelayServer& operator=(const TSmtpRelayServer&) = delete;

    // --- Properties (set before a run; "Component is busy" during one) -----
    int Connections() const { return connections_; }
    void SetConnections(int value);  // 0 or less is stored as 1
    int TimeOut() const { return timeOut_; }
    void SetTimeOut(int seconds);  // 0 or less is stored as 60
    const std::string& Signon() const { return signon_; }
    void SetSignon(const std::string& value) { signon_ = value; }
    const std::string& From() const { return from_; }
    void SetFrom(const std::string& value) { from_ = value; }
    const std::string& Dns() const { return dns_; }
    void SetDns(const std::string& value);  // trimmed of blanks
    const std::string& InternalDns() const { return internalDns_; }
    void SetInternalDns(const std::string& value);
    const TRecipientList& Recipients() const { return recipients_; }
    void SetRecipients(TRecipientList value);
    // The port of every mail host (default "smtp") and of the DNS servers
    // (default "53"); tests and tunnels use other ports.
    const std::string& SmtpPort() const { return smtpPort_; }
    void SetSmtpPort(const std::string& value);
    const std::string& DnsPort() const { return dnsPort_; }
    void SetDnsPort(const std::string& value);
    // Milliseconds a connect to a mail host may take before it fails with
    // 10060 and the next host is tried (default 21000, as on Windows).
    uint32_t ConnectTimeOutMs() const { return connectTimeOutMs_; }
    void SetConnectTimeOutMs(uint32_t ms);
    // Where the system's name servers come from (default: the resolver
    // configuration file); a text of entries separated by blanks.
    void SetSystemNameServerSource(std::function<std::string()> source);

    bool Busy() const { return busy_; }
    bool Aborted() const { return aborted_; }
    const std::vector<std::string>& DnsServerList() const { return dnsServerList_; }
    MessageLoop& Loop() const { return loop_; }
    // Sessions created and not yet ended.
    int LiveSessions() const { return liveSessions_; }

    // --- Operations -------------------------------------------------------
    // Starts a run over Recipients; returns once all sessions have started.
    // Raises TSmtpRelayServerException "FROM property is empty" or "No DNS
    // SERVER Available"; the component is then idle again.
    void Verify();
    // Stops the run: every session reports -8 and ends (a session inside its
    // own wait for its SMTP client does so when the wait is over).
    void Abort();

    TGetDataEvent OnGetData;
    TEMailProcessedEvent OnEMailProcessed;
    TFinishedEvent OnFinished;

    // Test seam: called inside every session's wait for its SMTP client, so
    // that a test can deliver a time-out or an abort while a session waits
    // (the client normally becomes idle at once, so the wait is short).
    std::function<void()> OnDropWaitForTesting;

    // Splits a list of servers by the platform separator: the part before
    // the first separator is an entry (untrimmed), the rest, trimmed, is
    // split again.
    static std::vector<std::string> SplitServers(const std::string& text);

  private:
    friend class TSmtpThread;

    void CheckIdle() const;
    void BuildDnsServerList();
    void StartSessions();
    void OnWatchdog();
    void OnFinishTimer();
    void StopTimers();
    // Called by the sessions.
    bool TakeNextAddress(int& index, std::string& address);
    void RaiseGetData(int index);
    void RaiseEMailProcessed(int index, int err, const std::vector<std::string>& log);
    void SessionEnded(size_t slot);

    MessageLoop& loop_;
    int connections_ = 1;
    int timeOut_ = 60;
    std::string signon_;
    std::string from_;
    std::string dns_;
    std::string internalDns_;
    TRecipientList recipients_;
    std::string smtpPort_ = "smtp";
    std::string dnsPort_ = "53";
    uint32_t connectTimeOutMs_ = SocketNotifier::kDefaultConnectLimitMs;
    std::function<std::string()> systemNameServers_;

    bool busy_ = false;
    bool aborted_ = false;
    std::vector<std::string> dnsServerList_;
    std::vector<std::unique_ptr<TSmtpThread>> sessions_;
    size_t nextIndex_ = 0;
    int liveSessions_ = 0;
    MessageLoop::TimerId watchdog_ = 0;
    MessageLoop::TimerId finishTimer_ = 0;
};

}  // namespace mv
