// A run on the cluster as the window and the command line watch it: the rows
// of a recipient list turned to "Checking..." at their begun events and to
// their results as these arrive, with the counters, status texts and
// callbacks of the local CheckRun, so that a front end drives either the same
// way. The results come from the run's event stream, read from its start, so
// a watcher that comes late, or two at once, see the same results.
//
// Start submits the marked rows of the list and then watches the new run
// ("Check on the Cluster"); Attach watches a run that exists (collect). For
// every row the first final result is kept; a later one counts as a
// duplicate. A row whose result is deferred and will be checked again shows
// that result and stays counted in "Waiting". Stop cancels the run: the
// rows in flight end as -8 when their workers report, a waiting recheck
// keeps its last result; rows whose workers have gone end as -8 once the
// run's claim-after has passed. Detach only stops watching.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "cluster/cluster_entries.h"
#include "cluster/cluster_submit.h"
#include "cluster/redis_connection.h"
#include "project/journal/journal_writer.h"
#include "project/list/recipient_list.h"
#include "project/run/check_run.h"

namespace mv::cluster {

class ClusterRun {
  public:
    explicit ClusterRun(RecipientList& list, MessageLoop& loop = MessageLoop::Current());
    ~ClusterRun();
    ClusterRun(const ClusterRun&) = delete;
    ClusterRun& operator=(const ClusterRun&) = delete;

    // Submits the marked rows, then watches. Raises ECheckRunError "Please
    // open / fill the recipient list before" or "Nothing to check" at once;
    // later failures (no connection, a refused login) come to OnFailed.
    void Start(const RedisUrl& url, const RunOptions& options);
    // Watches the run `name`. An empty list gets the run's rows, their
    // captions from the results; a list with rows must be the one the run
    // was submitted from (a result whose address differs from its row's is
    // left out, with a message).
    void Attach(const RedisUrl& url, const std::string& name);
    // Cancels the run (its results are still collected).
    void Stop();
    // Stops watching; the run goes on without this watcher.
    void Detach();
    bool Running() const { return running_; }
    // Every result from now on is appended to `journal` (null: none), which
    // is flushed to the disk when watching ends. It must outlive the run.
    void SetJournal(JournalWriter* journal) { journal_ = journal; }
    const std::string& Name() const { return name_; }

    int Waiting() const { return waiting_; }
    int Good() const { return good_; }
    int Bad() const { return bad_; }
    // Final results after the first of their row, and entries the workers
    // found corrupted.
    int Duplicates() const { return duplicates_; }
    int Errors() const { return errors_; }
    bool Complete() const { return complete_; }
    // As CheckRun's; the elapsed time counts from the run's submission.
    std::array<std::string, 5> StatusTexts() const;
    const VerdictTally& Tally() const { return tally_; }
    std::string RecheckText() const;

    std::function<void(bool running)> OnRunningChanged;
    std::function<void()> OnStatusChanged;
    std::function<void()> OnModified;
    std::function<void(size_t row)> OnRowBegun;
    std::function<void(size_t row, int code)> OnRowReported;
    std::function<void(size_t row, int code)> OnRowFinal;
    // The run has been submitted under this name.
    std::function<void(const std::string& name)> OnSubmitted;
    // The run could not be submitted or watched; it is over for this watcher.
    std::function<void(const std::string& message)> OnFailed;
    // A line worth showing (a corrupted entry, a result that does not fit).
    std::function<void(const std::string& message)> OnMessage;

  private:
    enum class RowState : uint8_t { kNone, kBegun, kAwaiting, kFinal };

    // cluster_run.cpp: connections, the run's description, the events.
    void Connect(std::function<void()> then);
    void Submitted(const std::string& error, const std::string& name);
    void Describe();
    bool ReadDescription(const RedisValue& reply);
    void ReadEvents();
    void Lost(const std::string& message);
    void Fail(const std::string& message);
    void Cancel();
    void CheckComplete();
    void Finish();

    // cluster_run_rows.cpp: events turned into rows and counters.
    void Apply(const ClusterEvent& event);
    void ApplyBegun(size_t row);
    void ApplyResult(const ClusterEvent& event);
    void ApplyError(const ClusterEvent& event);
    void ApplyCancelled();
    void EndRow(size_t row, int code, bool counted);
    void GiveUpInFlight();
    bool RowFits(const ClusterEvent& event);
    void Refresh() const;
    void Journal(size_t row);
    void Stopped();

    RecipientList& list_;
    JournalWriter* journal_ = nullptr;
    MessageLoop& loop_;
    RedisUrl url_;
    std::unique_ptr<RedisConnection> commands_;
    std::unique_ptr<RedisConnection> reader_;
    std::unique_ptr<RunSubmitter> submitter_;
    std::string name_;
    std::string lastId_ = "0-0";
    bool running_ = false;
    bool submitting_ = false;
    bool stopRequested_ = false;
    bool cancelled_ = false;
    bool complete_ = false;
    bool reconnecting_ = false;
    bool madeRows_ = false;       // the list's rows were made for the run
    std::optional<size_t> rows_;  // rows of the run, once submitted whole
    size_t total_ = 0;
    int64_t created_ = 0;  // Unix seconds
    uint32_t claimAfterMs_ = 0;
    MessageLoop::TimerId describeTimer_ = 0;
    MessageLoop::TimerId giveUpTimer_ = 0;

    std::vector<RowState> states_;
    std::unordered_map<size_t, int> awaitingCode_;  // rows waiting for a recheck
    std::unordered_map<size_t, int64_t> awaitingDue_;
    size_t finals_ = 0;
    int waiting_ = 0;
    int good_ = 0;
    int bad_ = 0;
    int duplicates_ = 0;
    int errors_ = 0;
    int misfits_ = 0;
    VerdictTally tally_;
    WeakToken token_;
};

}  // namespace mv::cluster
