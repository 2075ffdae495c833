// One address check session of the dispatcher. Despite its name it is not a
// thread: a plain object whose steps run when its DNS query, its SMTP client
// or the dispatcher's timers deliver an event.
//
// It takes the next address of the run, asks the DNS server for the mail
// exchangers of the domain, connects to them in turn, greets, gives MAIL FROM
// and RCPT TO and leaves with RSET and QUIT; whether RCPT TO was accepted
// decides the result: once a host has answered RCPT TO, a hang-up, a refusal
// or silence while the session leaves that host changes nothing. It never
// sends DATA. Every address it takes gets exactly one report; after a report
// it begins its next address or ends.
//
// With the dispatcher's AcceptAllProbe, an accepted address is followed, on
// the same connection and before RSET, by one RCPT TO for a made-up address
// of the same domain, unless the run already knows how that host answers for
// the domain or another session's probe of it is out (then the dispatcher
// holds this report until that probe answers): if the made-up address is
// accepted too, the host accepts every address of the domain. The probe's
// answer never changes the address's result code.
//
// Every report carries what the result means (verdict, reason, the deciding
// reply and host), decided from what happened at every host tried
// (host_evidence.h), not only the last one. A host whose name has no IPv4
// address (11004) is asked for its IPv6 address, which tells a host this
// computer cannot reach from a name that leads nowhere.
//
// A session that drops a connection waits for its SMTP client to become idle
// by processing messages in place (DropConnection). A time-out or abort that
// reaches it during that wait is held back and carried out when the wait
// ends; events of its own that arrive during the wait are stale and ignored;
// and it is never ended while the wait runs.
//
// With the dispatcher's politeness per mail server, a session looks up the
// address of each host itself and asks for a place there before it connects
// (smtp_thread_places.cpp); it holds the place until its connection is
// closed. Waiting for a place, or pausing before it tries a server again that
// said it had too many connections, is not idleness. A session that finds the
// run held between two addresses stops there until the run goes on.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/host_evidence.h"
#include "engine/reply_recorder.h"
#include "engine/result_finding.h"
#include "engine/result_verdict.h"
#include "net/smtp/custom_smtp_client.h"
#include "platform/loop/message_loop.h"

namespace mv {

class TSmtpRelayServer;
class _TDnsQuery;
class _TSmtpCli;

class TSmtpThread {
  public:
    TSmtpThread(TSmtpRelayServer& owner, size_t slot);
    ~TSmtpThread();
    TSmtpThread(const TSmtpThread&) = delete;
    TSmtpThread& operator=(const TSmtpThread&) = delete;

    // From the dispatcher.
    void Start();
    void TimeOut();
    void UserAbort();
    // The run goes on after a hold: a session stopped there takes its next address.
    void Resume();

    uint32_t LastActivity() const { return lastActivity_; }
    // Waiting for a place at the mail server, or pausing before trying it
    // again: the watchdog leaves the session alone.
    bool Waiting() const { return placeTicket_ != 0 || retryTimer_ != 0; }
    const std::vector<std::string>& Log() const { return log_; }
    bool Ended() const { return ended_; }

  private:
    void ProcessNext();
    void SendDnsQuery();
    void OnDnsDone(uint16_t error);
    void StartSmtp();
    void ConnectHost();
    void OnSmtpDone(TSmtpRequest request, uint16_t error);
    void OnSmtpSuccess(TSmtpRequest request);
    // RCPT TO accepted the address: probe the domain, or leave.
    void AfterAccepted();
    void ProbeDone(uint16_t error);
    void EndHost();
    void NextHost();
    // Leaving a host that has answered RCPT TO ended otherwise than with QUIT
    // answered: the answer decides.
    void DecideByRcptReply();
    // Returns true when the caller must stop: a time-out or an abort that
    // came during the wait has been carried out.
    bool DropConnection(bool forAbort);
    void FinishTimeOut();
    void FinishAbort();
    // --- Politeness per mail server (smtp_thread_places.cpp) ---
    // Starts the connection to `target` (a host name or address).
    void OpenHost(const std::string& target);
    void FindServer(const std::string& host);
    void ServerFound(int error, const std::vector<std::string>& addresses);
    void PlaceGranted(const std::string& server);
    void ReleasePlace();
    // Cancels the host lookup, the wait for a place and the pause.
    void StopWaiting();
    // The failed request was the server's "too many connections" at the
    // greeting or to HELO, and the address may try again.
    bool TooManyConnections(int error) const;
    void TryAgainLater(int error);
    // The connection attempt has ended: connected, or failed with `error`.
    void AttemptEnded(bool connected, int error = 0);
    // A host's lookup ended in 11004: asks the run's DNS server for its IPv6
    // address, then goes on with the failure.
    void AskForIpv6Address(TSmtpRequest request, uint16_t error);
    void Ipv6AddressAnswered(uint16_t error);
    // --- Evidence and the accept-all probe (smtp_thread_probe.cpp) ---
    // Keeps what ended the current host, once.
    void NoteHostOutcome(int code, const DecidingReply* reply);
    // The probe of (domain, current host) has ended; none: without a lasting answer.
    void EndProbe(std::optional<bool> acceptsAll);
    // Reports `code`; `reply` is the reply that decided it (none for the
    // checker's own outcomes).
    void Report(int code, const DecidingReply* reply = nullptr);
    // The host being talked to, or empty.
    std::string CurrentHost() const;
    void End();
    void AddLog(std::string line);
    bool RunAborted() const;

    TSmtpRelayServer& owner_;
    size_t slot_;
    std::unique_ptr<_TDnsQuery> dns_;
    std::unique_ptr<_TSmtpCli> smtp_;

    std::vector<std::string> log_;
    int recipientIndex_ = -1;
    std::string address_;
    std::string domain_;
    std::vector<std::string> hostList_;
    size_t hostIndex_ = 0;
    int firstError_ = 0;
    int lastError_ = 0;
    // The current host's reply to RCPT TO (0 accepted, else the refusal's
    // code); empty until one has been received.
    std::optional<int> rcptReply_;
    // The replies behind rcptReply_, firstError_ and lastError_.
    ReplyRecorder replies_;
    DecidingReply rcptAnswer_;
    DecidingReply firstReply_;
    DecidingReply lastReply_;
    AddressEvidence evidence_;  // where the hosts came from and what each one did
    bool hostsBegun_ = false;   // the first host of the address has been tried
    bool probing_ = false;      // the made-up address's RCPT TO is out
    bool acceptsAll_ = false;   // the accepting host accepts every address of the domain
    std::string probeHost_;     // the host whose probe this session has out; empty: none
    std::string awaitedHost_;   // the host whose probe, out elsewhere, this report awaits
    // The IPv6 question after an 11004.
    bool ipv6Asked_ = false;
    bool ipv6Pending_ = false;
    bool ipv6Found_ = false;
    TSmtpRequest ipv6Request_ = smtpConnect;
    ResultFinding finding_;  // reused for every report
    bool logging_ = true;
    bool checkOnly_ = false;
    uint32_t lastActivity_ = 0;

    // An address is taken and not yet reported; false between two addresses,
    // also while the step that begins the next one is posted.
    bool hasAddress_ = false;
    bool resolving_ = false;  // the MX query of the current address is out
    bool inWait_ = false;
    bool pendingTimeOut_ = false;
    bool pendingAbort_ = false;
    bool ended_ = false;
    bool parked_ = false;  // stopped at a hold, between two addresses

    // Politeness per mail server.
    uint64_t lookup_ = 0;       // the host lookup in progress
    uint64_t placeTicket_ = 0;  // waiting for a place
    std::string placeServer_;   // the address whose place is held; empty: none
    uint32_t placeGeneration_ = 0;
    MessageLoop::TimerId retryTimer_ = 0;
    int retries_ = 0;           // tries again of the current address
    int retryCode_ = 0;         // the refusal the next try follows; 0: none
    bool attemptOpen_ = false;  // connecting: no sign of the server yet
    WeakToken token_;           // drops posted steps once the session is freed
};

}  // namespace mv
