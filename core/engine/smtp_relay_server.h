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
//
// Beyond the code and the transcript, every result comes with what it means
// (TResultInfo). Two checks go further than the plain conversation, both set
// before a run: the accept-all probe (AcceptAllProbe: each mail host's answer
// for a domain is learnt once per run, accept_all_probes.h; an accepted
// address whose host is being probed by another session is reported once that
// probe has answered, and counts as taken but not reported meanwhile) and the
// recheck of deferred addresses
// (RecheckDeferredMs): an address whose result is a temporary refusal is
// reported as not final, waits in the dispatcher, and is taken again by a
// session once its delay is over, at most twice. The dispatcher stays busy
// while addresses wait; Abort ends the waiting, and each waiting address is
// reported once more, final, with the result it had.
//
// Politeness per mail server group (PerServer, PerServerRate; both off for
// the component, the program sets them): addresses are taken from one queue
// per mail domain (address_queues.h), the smallest list position among the
// domains whose server group has room, so that no session waits for a busy
// server while another one has work. A session that finds nothing it may
// take parks, holding no address and no place, and resumes from the loop
// when a group gets room. A group that refuses a connection as one too many
// is paused and the address goes back to its queue (at most kMaxTries tries);
// a group that keeps failing is dead for a back-off, and its addresses that
// are left when nothing else is end as not checked (TResultInfo::notChecked).
// With both limits 0 the addresses are taken strictly in list order.
//
// MX answers are kept for the run (mx_cache.h), so that the addresses of a
// domain ask the name server once.
//
// With Warnings on, the run is held (no session takes a new address) when
// the first results show that the checking computer cannot check (port 25
// blocked, the computer on a block list); OnWarning tells the owner, who
// answers with GoOn or Abort.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/accept_all_probes.h"
#include "engine/address_queues.h"
#include "engine/dispatcher_records.h"
#include "engine/host_evidence.h"
#include "engine/mx_cache.h"
#include "engine/result_finding.h"
#include "engine/run_warnings.h"
#include "engine/server_groups.h"
#include "engine/server_places.h"
#include "net/socks/socks_proxy.h"
#include "platform/error/exception.h"
#include "platform/loop/message_loop.h"
#include "platform/loop/socket_notifier.h"

namespace mv {

class ProviderTable;

class TSmtpThread;

class TSmtpRelayServerException : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "TSmtpRelayServerException"; }
};

class TSmtpRelayServer {
  public:
    using TGetDataEvent = std::function<void(TSmtpRelayServer* Sender, int recipientIndex)>;
    using TEMailProcessedEvent =
        std::function<void(TSmtpRelayServer* Sender, int recipientIndex, int Err,
                           const std::vector<std::string>& log, const TResultInfo& info)>;
    using TFinishedEvent = std::function<void(TSmtpRelayServer* Sender, bool Aborted)>;
    using TWarningEvent = std::function<void(TSmtpRelayServer* Sender, const RunWarning& warning)>;

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
    // The SOCKS proxy every SMTP connection of a run goes through (none by
    // default); the DNS queries never do.
    const SocksProxy& Proxy() const { return proxy_; }
    void SetProxy(const SocksProxy& value);
    // Milliseconds a connect to a mail host may take before it fails with
    // 10060 and the next host is tried (default 21000, as on Windows).
    uint32_t ConnectTimeOutMs() const { return connectTimeOutMs_; }
    void SetConnectTimeOutMs(uint32_t ms);
    // Where the system's name servers come from (default: the resolver
    // configuration file); a text of entries separated by blanks.
    void SetSystemNameServerSource(std::function<std::string()> source);
    // Whether an accepted address is followed by the accept-all probe
    // (default off: the component alone holds the plain conversation; the
    // program turns it on from its settings).
    bool AcceptAllProbe() const { return acceptAllProbe_; }
    void SetAcceptAllProbe(bool on);
    // The mail providers known by their mail hosts (null, the default: none;
    // the table must outlive the runs). An address accepted by a provider
    // that accepts every recipient is risky without a probe, and the probe is
    // left out where a provider's answer is final (provider_profiles.h).
    const ProviderTable* Providers() const { return providers_; }
    void SetProviders(const ProviderTable* table) { providers_ = table; }
    // Milliseconds after which a deferred address is checked again; 0 (the
    // default) checks every address once.
    uint32_t RecheckDeferredMs() const { return recheckDeferredMs_; }
    void SetRecheckDeferredMs(uint32_t ms);
    // How often a deferred address is checked again at most. A server's own
    // word in its refusal ("try again in 5 minutes") replaces the delay,
    // within 10 seconds and 30 minutes (recheck_hint.h).
    static constexpr int kMaxRechecks = 2;
    // Connections open at once to one mail server address (0, the default:
    // no limit), and new connections a minute to one (0: no limit).
    int PerServer() const { return perServer_; }
    void SetPerServer(int value);  // below 0 is stored as 0
    int PerServerRate() const { return perServerRate_; }
    void SetPerServerRate(int value);
    // With either limit set, a server group that refuses a connection at its
    // greeting or to HELO with 421 or "too many connections", or refuses for
    // its reputation rules, is paused this long; the address is tried again
    // later, kMaxTries times in all.
    uint32_t RetryPauseMs() const { return retryPauseMs_; }
    void SetRetryPauseMs(uint32_t ms);
    static constexpr int kMaxTries = 3;
    // The first back-off of a dead server group (5 minutes; tests shorten it).
    void SetDeadBackOffMs(uint32_t ms);
    // Addresses checked one after the other on one connection (1 to 20,
    // default 1); more than 1 needs politeness per server (the queues).
    int AddressesPerConnection() const { return addressesPerConnection_; }
    void SetAddressesPerConnection(int value);  // clamped to 1..20
    static constexpr int kMaxAddressesPerConnection = 20;
    // The local addresses every SMTP connection leaves from: an IPv4 one, an
    // IPv6 one, or one of each separated by a blank (empty, the default: the
    // system's choice). Whether they are this computer's is for the owner to
    // check before a run.
    const std::string& SourceAddress() const { return sourceAddress_; }
    void SetSourceAddress(const std::string& value);  // trimmed of blanks
    // A mail host with addresses of both families is reached over IPv6 (off,
    // the default: over IPv4); one with IPv6 addresses only always is.
    bool PreferIPv6() const { return preferIPv6_; }
    void SetPreferIPv6(bool on);
    // Whether the run watches for the signs of RunWarnings (default off).
    bool Warnings() const { return warnings_; }
    void SetWarnings(bool on);

    bool Busy() const { return busy_; }
    bool Aborted() const { return aborted_; }
    // Held after a warning: no session takes a new address until GoOn.
    bool Held() const { return held_; }
    const std::vector<std::string>& DnsServerList() const { return dnsServerList_; }
    MessageLoop& Loop() const { return loop_; }
    // Sessions created and not yet ended.
    int LiveSessions() const { return liveSessions_; }
    // Deferred addresses waiting to be checked again, and the milliseconds
    // until the first of them is due (0 when it is due; none when none waits).
    size_t RechecksWaiting() const { return rechecks_.size(); }
    std::optional<uint32_t> NextRecheckInMs() const;
    // Accepted addresses whose reports wait for another session's accept-all
    // probe of their mail host.
    size_t HeldForProbe() const { return probes_.Holding(); }
    // Whether the run takes its addresses from the queues per domain.
    bool Queued() const { return queued_; }
    const TSchedulerCounters& Counters() const { return counters_; }

    // --- Operations -------------------------------------------------------
    // Starts a run over Recipients; returns once all sessions have started.
    // Raises TSmtpRelayServerException "FROM property is empty" or "No DNS
    // SERVER Available"; the component is then idle again.
    void Verify();
    // Stops the run: every session reports -8 and ends (a session inside its
    // own wait for its SMTP client does so when the wait is over); every
    // address waiting for its recheck is reported, final, with its last result,
    // and every address held for an accept-all probe with its own result
    // (accepted: the probe's answer will not come).
    void Abort();
    // Ends a hold: the sessions take addresses again.
    void GoOn();

    // --- A run fed while it lasts (smtp_relay_server_feed.cpp) ----------------
    // For an owner that receives its addresses while the run goes on (a
    // worker of the cluster). VerifyFeed starts a run over no address, with
    // the same checks and refusals as Verify, and opens the feed: the run
    // stays busy while the feed is open, even with no address to check.
    // AddRecipients hands addresses to the running feed; sessions start for
    // them at once, up to Connections, unless the run is held or aborted.
    // A fed address is reported (OnGetData, OnEMailProcessed) with its Tag in
    // place of a position in Recipients, which stays empty, so tags must be
    // unique among the addresses in flight. CloseFeed lets the run end once
    // the addresses fed have been checked; Abort ends it as usual, and the
    // fed addresses no session had taken are dropped unreported.
    // Rechecks of deferred addresses are the owner's business in such a run:
    // VerifyFeed refuses a RecheckDeferredMs other than 0.
    void VerifyFeed();
    // Raises TSmtpRelayServerException "No open feed" outside a fed run.
    void AddRecipients(const TRecipientList& entries);
    void CloseFeed();
    bool FeedOpen() const { return feedOpen_; }
    // Addresses fed and not yet taken by a session.
    size_t FedWaiting() const { return fed_.size() + fedQueued_.size(); }
    // Takes the addresses fed and not yet taken out of the run (a held owner
    // hands them to someone else); they are never reported.
    TRecipientList TakeBackFed();

    TGetDataEvent OnGetData;
    TEMailProcessedEvent OnEMailProcessed;
    TFinishedEvent OnFinished;
    // Raised (from the loop) when the run has been held by a warning.
    TWarningEvent OnWarning;

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
    void StartSlice();
    void OnWatchdog();
    void OnFinishTimer();
    void StopTimers();
    // --- Called by the sessions ---
    // What a session carries over when its address goes back to its queue
    // after a try, to go on where it stopped.
    struct AddressTry {
        std::vector<std::string> log;
        AddressEvidence evidence;
        std::vector<std::string> hosts;
        size_t hostIndex = 0;
        int tries = 0;
        int retryCode = 0;  // the refusal the next try follows
    };
    struct TakenAddress {
        int index = 0;          // as the events tell it (a fed address: its tag)
        uint32_t position = 0;  // in the queues
        std::string address;
        uint32_t domain = AddressQueues::kNone;  // kNone: taken in list order
        bool scout = false;                      // its domain's server is learnt through it
        std::string group;                       // the group whose place was reserved; empty: none
        bool begun = false;                      // OnGetData was raised for it before
        std::optional<AddressTry> resumed;
    };
    enum class Take { kTaken, kPark, kEnd };
    Take TakeNextAddress(TakenAddress& out);
    // The next queued address whose first mail host is `host`, for a
    // connection open there; false when there is none.
    bool TakeForHost(const std::string& host, TakenAddress& out);
    // Puts a taken address back at the front of its domain's queue; `tried`
    // holds what it has done so far (none: it goes back untried).
    void PutBack(const TakenAddress& taken, std::optional<AddressTry> tried);
    // The scout of `domain` has its mail hosts (empty: none to be polite to).
    void ScoutAnswered(uint32_t domain, const std::vector<std::string>& hosts);
    // A session found nothing it may take; it is resumed from the loop.
    void Park(size_t slot);
    void WakeParked();
    // What a session tells of a server group (smtp_relay_server_queues.cpp).
    void ServerSucceeded(const std::string& group);
    void ServerFailed(const std::string& group, const GroupFailure& failure);
    void ServerBlocks(const std::string& group, const GroupFailure& failure);
    TSchedulerCounters& Count() { return counters_; }
    int AddressesOnConnection() const { return addressesOnConnection_; }
    MxCache& MxAnswers() { return mxCache_; }
    ServerGroups& Groups() { return groups_; }
    void RaiseGetData(int index);
    // `awaitedHost`: the accepting host whose accept-all probe of `domain`,
    // out in another session, the report waits for; empty: none.
    void RaiseEMailProcessed(int index, int err, const std::vector<std::string>& log,
                             const ResultFinding& finding, const std::string& domain,
                             const std::string& awaitedHost);
    void Deliver(int index, int err, const std::vector<std::string>& log,
                 const ResultFinding& finding, bool notChecked = false);
    ServerPlaces& Places() { return places_; }
    // A connection attempt to `server` ended: connected, or refused or timed out.
    void NoteConnectAttempt(const std::string& server, bool connected);
    void Warn(const RunWarning& warning);
    void SessionEnded(size_t slot);
    // The next fed address, if any, and sessions for the fed addresses
    // (smtp_relay_server_feed.cpp).
    bool TakeFedAddress(int& index, std::string& address);
    void StartFedSessions();
    bool FeedKeepsRunOpen() const { return feedOpen_ && !aborted_; }
    // The accept-all probes of the run (smtp_relay_server_hold.cpp).
    AcceptAllProbes& Probes() { return probes_; }
    void ProbeEnded(const std::string& domain, const std::string& host,
                    std::optional<bool> acceptsAll);
    // Reports the held reports whose probe has ended, from the loop; all of
    // them once no session is left to answer.
    void PostRelease();
    void ReleaseHeld();
    void ReportHeld();  // all of them, now (Abort)
    // A local part that cannot exist: 24 random letters and digits.
    std::string MadeUpLocalPart();

    // Deferred addresses.
    struct WaitingRecheck {
        int index = 0;
        uint32_t due = 0;  // tick count
        int code = 0;      // the last result, reported again if the run stops
        std::vector<std::string> log;
        TResultInfo info;
    };
    bool ScheduleRecheck(int index, int err, const std::vector<std::string>& log,
                         const TResultInfo& info);
    bool RecheckDue() const;
    uint32_t RecheckDelayMs(std::string_view reply) const;
    void ArmRecheckTimer();
    void OnRecheckTimer();
    void StartSession();
    void ReportWaitingAsFinal();
    // The queues (smtp_relay_server_queues.cpp).
    void BuildQueues();
    void FillTaken(const AddressQueues::Taken& taken, TakenAddress& out);
    // The event index and text of a queue position (a fed one leaves the table).
    bool Release(uint32_t position, int& index, std::string& address);
    void EndDeadLeft();
    void OnGroupRoom(const std::string& group);

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
    SocksProxy proxy_;
    uint32_t connectTimeOutMs_ = SocketNotifier::kDefaultConnectLimitMs;
    std::function<std::string()> systemNameServers_;
    bool acceptAllProbe_ = false;
    uint32_t recheckDeferredMs_ = 0;
    int perServer_ = 0;
    int perServerRate_ = 0;
    uint32_t retryPauseMs_ = 5000;
    std::string sourceAddress_;
    bool preferIPv6_ = false;
    bool warnings_ = false;

    bool busy_ = false;
    bool held_ = false;
    bool aborted_ = false;
    std::vector<std::string> dnsServerList_;
    std::vector<std::unique_ptr<TSmtpThread>> sessions_;
    size_t nextIndex_ = 0;
    int liveSessions_ = 0;
    // Sessions of the run not started yet. They start kStartSlice to a turn
    // of the loop: a thousand at once, each telling the front end of its
    // first address, would keep a window from its input for tens of
    // milliseconds. The run cannot end while some are still to start.
    static constexpr size_t kStartSlice = 100;
    size_t sessionsToStart_ = 0;
    MessageLoop::TimerId watchdog_ = 0;
    MessageLoop::TimerId finishTimer_ = 0;

    AcceptAllProbes probes_;
    const ProviderTable* providers_ = nullptr;
    bool releasePosted_ = false;
    std::mt19937_64 random_;
    std::deque<WaitingRecheck> rechecks_;         // in order of their due times
    std::unordered_map<int, int> rechecksTaken_;  // by recipient index
    MessageLoop::TimerId recheckTimer_ = 0;

    bool feedOpen_ = false;
    std::deque<TRecipientEntry> fed_;  // fed and not yet taken

    ServerPlaces places_;
    bool queued_ = false;  // the run takes its addresses from the queues
    AddressQueues queues_{places_};
    // By position, until taken again.
    std::unordered_map<uint32_t, std::optional<AddressTry>> putBack_;
    // Fed addresses in the queues, by position (after those of Recipients).
    std::unordered_map<uint32_t, TRecipientEntry> fedQueued_;
    uint32_t nextFedPosition_ = 0;
    std::deque<size_t> parked_;     // slots of parked sessions, in the order they parked
    std::vector<bool> parkedSlot_;  // by slot: in parked_
    bool wakePosted_ = false;
    uint32_t deadBackOffMs_ = ServerPlaces::kFirstBackOffMs;
    int addressesOnConnection_ = 1;  // of this run
    MxCache mxCache_;
    ServerGroups groups_;
    int addressesPerConnection_ = 1;
    TSchedulerCounters counters_;
    RunWarnings runWarnings_;
    WeakToken token_;  // drops posted warnings once the dispatcher is gone
};

}  // namespace mv
