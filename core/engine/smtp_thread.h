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
// (host_evidence.h), not only the last one. A host whose name has IPv6
// addresses only is reached over IPv6 (IPv6 first with the dispatcher's
// PreferIPv6); when this computer has no route there (10051, 10065) the host
// is told apart from one that leads nowhere.
//
// What the address tells by itself comes first (smtp_thread_address.cpp):
// an address that breaks a syntax rule ends at once without a DNS query; a
// domain written with non-ASCII letters is asked for, and written in RCPT TO,
// in its ASCII form; an address literal is its own mail host. Only an
// address whose local part is not ASCII greets with EHLO, and is asked for
// only where the host offers SMTPUTF8. With the dispatcher's Providers, the
// provider of the accepting host may make the accept-all probe needless.
//
// A session that drops a connection waits for its SMTP client to become idle
// by processing messages in place (DropConnection). A time-out or abort that
// reaches it during that wait is held back and carried out when the wait
// ends; events of its own that arrive during the wait are stale and ignored;
// and it is never ended while the wait runs.
//
// With the dispatcher's politeness per mail server, a session holds a place
// at the server group of the host it talks to (smtp_thread_places.cpp): the
// place reserved when its address was taken, or one it asks for before it
// connects, and gives it back once its connection is closed. An address whose
// group refuses it as one too many goes back to its domain's queue, and the
// session takes other work; one that finds nothing it may take parks (no
// address, no place) until the dispatcher resumes it. Waiting for a place at
// a fallback host is bounded and is not idleness. A session that finds the
// run held between two addresses stops there until the run goes on.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "address/provider_profiles.h"
#include "engine/host_evidence.h"
#include "engine/mx_cache.h"
#include "engine/reply_recorder.h"
#include "engine/result_finding.h"
#include "engine/result_verdict.h"
#include "engine/smtp_relay_server.h"
#include "net/smtp/custom_smtp_client.h"
#include "platform/loop/message_loop.h"

namespace mv {

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
    // The run goes on after a hold, or work came for a parked session: a
    // session stopped there takes its next address.
    void Resume();
    bool Parked() const { return parked_; }

    uint32_t LastActivity() const { return lastActivity_; }
    // Waiting for a place at a fallback host: the watchdog leaves the session
    // alone (the wait has a bound of its own).
    bool Waiting() const { return placeTicket_ != 0; }
    const std::vector<std::string>& Log() const { return log_; }
    bool Ended() const { return ended_; }

  private:
    void ProcessNext();
    void Begin(TSmtpRelayServer::TakenAddress& taken);
    void SendDnsQuery();
    void OnDnsDone(uint16_t error);
    // The MX answer, from the name server or the run's cache.
    void ApplyMxAnswer(const MxAnswer& answer);
    // The scout's answer: the domain's mail hosts (none: nothing learnt).
    void ScoutDone(const std::vector<std::string>& hosts);
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
    // A place at the current host's group: held, taken at once, the address
    // put back (a scout's first host), or waited for (bounded).
    void AcquirePlace();
    void WaitForPlace(const std::string& group);
    void PlaceGranted();
    void ReleasePlace();
    // Gives the current address back to its queue (it holds no address then).
    void PutBack(std::optional<TSmtpRelayServer::AddressTry> tried);
    // Cancels the wait for a place.
    void StopWaiting();
    // The failed request was the group's "too many connections" at the
    // greeting or to HELO, or a refusal for its reputation rules.
    bool ServerPauses(int error) const;
    // Pauses the group; true when the address went back to its queue.
    bool PauseServer(int error);
    // Tells the dispatcher what the current host's group did.
    void NoteServerFailure(int code);
    // The connection attempt has ended: connected, or failed with `error`.
    void AttemptEnded(bool connected, int error = 0);
    // A connection failed for want of a route (10051, 10065): notes whether
    // the host has IPv6 addresses only.
    void NoteIpv6Only();
    // --- Several addresses on one connection (smtp_thread_reuse.cpp) ---
    void ConnectionOpened();
    void CountRcptReply(int code);
    bool MayReuse() const;
    // After RSET: true when the session went on with another address here.
    bool ContinueOnConnection();
    void BeginOnConnection(TSmtpRelayServer::TakenAddress& next, const std::string& host);
    // Puts an address refused as one recipient too many back; true when it did.
    bool TooManyRecipients(int error);
    bool LostWithConnection();
    void LeaveConnection();
    void LeftConnection();
    // The three lines that begin an address's MX question.
    void LogDnsRequest();
    // --- What the address tells by itself (smtp_thread_address.cpp) ---
    // Reads the syntax of the current address and sets the domain to ask
    // for and the address RCPT TO carries. False when the address breaks a
    // rule: it has been reported then.
    bool ReadAddress();
    // Begins an address literal's check with its own address as the host.
    void StartAtLiteral();
    // EHLO was refused: greets with HELO, then leaves without RCPT TO.
    void EhloRefused(int error);
    // Greeted: true when MAIL FROM goes on with SMTPUTF8; false when the
    // host lacks it and is being left.
    bool GreetedForSmtputf8();
    // What the accepting host's provider says about the accept-all probe.
    ProbeAdvice ProviderAdvice() const;
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
    std::string domain_;       // as asked for: ASCII, no trailing dot
    std::string rcptAddress_;  // as RCPT TO carries it
    bool smtputf8_ = false;    // the local part is not ASCII: EHLO and SMTPUTF8
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
    bool ipv6Only_ = false;     // the current host has IPv6 addresses only, out of reach
    ResultFinding finding_;     // reused for every report
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

    // Politeness per mail server group.
    uint32_t domainId_ = AddressQueues::kNone;  // in the queues; kNone: list order
    uint32_t position_ = 0;                     // in the queues
    bool scout_ = false;                        // learning the domain's server (until its answer)
    bool tookAsScout_ = false;                  // taken as the scout: may go back untried
    std::string hostGroup_;                     // the group of the current host
    uint64_t placeTicket_ = 0;                  // waiting for a place
    MessageLoop::TimerId waitTimer_ = 0;        // the bound of that wait
    std::string placeGroup_;                    // the group whose place is held; empty: none
    uint32_t placeGeneration_ = 0;
    int tries_ = 0;             // tries of the current address before this one
    int retryCode_ = 0;         // the refusal the next try follows; 0: none
    bool attemptOpen_ = false;  // connecting: no sign of the server yet
    // Several addresses on one connection.
    int onConnection_ = 0;  // addresses (and probes) on the open connection; 0: none open
    int rcpt4xx_ = 0;
    int rcpt5xx_ = 0;
    size_t hostLogStart_ = 0;                   // where the current host's lines begin in log_
    std::vector<std::string> connectionLines_;  // "Trying SMTP host" to the HELO reply
    bool leaving_ = false;                      // QUIT without an address
    // The MX answer of a cache hit, until the step that reads it.
    MxAnswer cached_;
    uint32_t dnsGeneration_ = 0;
    WeakToken token_;  // drops posted steps once the session is freed
};

}  // namespace mv
