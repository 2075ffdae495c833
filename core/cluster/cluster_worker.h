// A worker of the cluster: takes rows of the open runs from Redis, checks
// them with the local engine and writes their results back.
//
// Two connections: one for the blocking XREADGROUP, one for everything
// else. The worker looks for runs every few seconds, joins the consumer
// group of each open run, and keeps at most Connections addresses in flight,
// reading more as places free. Each run gets a dispatcher of its own (the
// run decides the accept-all probe), fed while the run lasts.
//
// Every write goes through one queue, in order: the begun event of a row,
// then its result. A result and the acknowledgement of its work entry are one
// atomic step (a script), so an entry is never acknowledged without its
// result. Writes that were out when the connection broke are sent again after
// it comes back; a result already carried out is not written twice.
//
// Deferred results with a recheck left go to the run's delayed set; before
// each read the worker moves the due ones back into the work stream.
// Entries another worker left idle longer than the run's claim-after are
// taken over (XAUTOCLAIM). A worker whose engine warns (port 25 blocked, a
// block list) is held: it takes no more work, hands the entries it has not
// begun back at once (to the consumer "returned", idle past claim-after, so
// the next worker takes them) and finishes those in flight. Stop does the
// same without the warning and ends once nothing is left in flight.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "cluster/cluster_entries.h"
#include "cluster/cluster_scripts.h"
#include "cluster/redis_connection.h"
#include "engine/smtp_relay_server.h"
#include "platform/loop/message_loop.h"
#include "project/run/check_run.h"

namespace mv::cluster {

struct WorkerOptions {
    std::string name;        // unique among the workers
    std::string host;        // this machine's name, for the status
    CheckSettings settings;  // connections, time-out, sender, DNS, politeness, proxy
    std::string smtpPort;    // empty: the default
    std::string dnsPort;
    uint32_t refreshMs = 5000;  // how often it looks for new runs and reports itself
    uint32_t blockMs = 1000;    // how long one read waits for work
    // The mail providers' rules for the accept-all probe (none: probe all).
    const ProviderTable* providers = nullptr;
};

// The sender, HELO name, DNS, ports, politeness and proxy of `settings` on a
// dispatcher, with the checks "&Check" makes; raises ECheckRunError with the
// same messages.
void ApplyCheckSettings(const CheckSettings& settings, TSmtpRelayServer& dispatcher);

class ClusterWorker {
  public:
    ClusterWorker(MessageLoop& loop, RedisUrl url, WorkerOptions options);
    ~ClusterWorker();
    ClusterWorker(const ClusterWorker&) = delete;
    ClusterWorker& operator=(const ClusterWorker&) = delete;

    // Connects; `failed` comes when the first connection fails (a wrong
    // address, a refused login, an old server). Later losses reconnect.
    void Start(std::function<void(const std::string& error)> failed);
    // Finishes the checks in flight, hands the rest back, then OnStopped.
    void Stop();

    std::function<void()> OnStopped;
    // Something worth a line on standard error (a lost connection, a held
    // worker, a corrupted entry).
    std::function<void(const std::string& message)> OnMessage;
    // The engine refused to start (no DNS server and the like): the worker
    // cannot check anything.
    std::function<void(const std::string& message)> OnFatal;

    size_t InFlight() const { return checking_; }
    long long Done() const { return done_; }
    bool Held() const { return held_; }

  private:
    struct Run {
        std::string name;
        size_t total = 0;
        bool probe = true;
        uint32_t recheckMs = 0;
        uint32_t claimAfterMs = 0;
        bool cancelled = false;
        bool readOwnPending = true;  // after joining or reconnecting
        uint64_t lastMaintenance = 0;
        std::unique_ptr<TSmtpRelayServer> dispatcher;
    };
    struct Job {
        std::string run;
        WorkItem item;
        bool checking = true;  // else its result is being written
    };
    struct Write {
        Script script;
        std::vector<std::string> keys;
        std::vector<std::string> args;  // for a plain command: the whole command
        bool plain = false;
        int tag = 0;  // the job that ends when it is written; 0: none
        bool sent = false;
    };

    // cluster_worker.cpp: connections, runs, status.
    void ConnectCommands();
    void ConnectReader();
    void CommandsLost(const std::string& message);
    void ReaderLost(const std::string& message);
    void Refresh();
    // Every second: whether a joined run has been cancelled meanwhile.
    void WatchRuns();
    void ReadRuns(const RedisValue& names);
    void JoinRun(const std::string& name, const FieldList& description);
    void CancelRun(Run& run);
    void LeaveRun(const std::string& name);
    void Heartbeat();
    void Say(const std::string& message) const;
    // Runs `fn` once after `ms`, unless the worker has gone.
    void Later(uint32_t ms, std::function<void()> fn);
    Run* FindRun(const std::string& name);

    // worker_reading.cpp: taking work.
    void ReadMore();
    void Maintain(Run& run, int room);
    void ReadOwnPending(Run& run);
    void ReadNew(int room);
    void Take(const std::string& run, const std::vector<StreamEntry>& entries);
    void Feed();
    void HandBack(const std::string& run, const std::vector<std::string>& ids);
    void HoldAll(const std::string& reason);
    void MaybeStopped();

    // worker_reports.cpp: the engine's events and the write queue.
    void Attach(Run& run);
    void Begun(int tag);
    void Reported(int tag, int err, const std::vector<std::string>& log, const TResultInfo& info);
    void ReportCorrupted(const std::string& run, const StreamEntry& entry,
                         const std::string& message);
    void Queue(Write write);
    void Flush();
    void Written(uint64_t seq, const RedisValue& reply);
    int NewTag();

    MessageLoop& loop_;
    RedisUrl url_;
    WorkerOptions options_;
    RedisConnection commands_;
    RedisConnection reader_;
    ScriptRunner scripts_;
    std::function<void(const std::string&)> failed_;
    bool started_ = false;  // the first connection has come up
    bool reading_ = false;  // a read is out on reader_
    bool held_ = false;
    std::string heldReason_;
    bool stopping_ = false;
    bool stopped_ = false;
    uint32_t commandsBackoffMs_ = 0;
    uint32_t readerBackoffMs_ = 0;
    MessageLoop::TimerId refreshTimer_ = 0;
    MessageLoop::TimerId watchTimer_ = 0;

    std::map<std::string, Run> runs_;
    std::unordered_map<int, Job> jobs_;
    std::unordered_set<std::string> inHand_;  // "run id" of every job and waiting item
    std::deque<std::pair<std::string, WorkItem>> waiting_;  // taken, not yet fed
    size_t checking_ = 0;
    int nextTag_ = 1;
    long long done_ = 0;
    std::map<uint64_t, Write> outbox_;  // by the order of queueing
    uint64_t nextWrite_ = 1;
    WeakToken token_;
};

}  // namespace mv::cluster
