// Every key, field and value the cluster keeps in Redis, in one place. All
// keys start with "mailvetter:", so that one ACL rule (~mailvetter:*) covers
// them; NAME is a run's name (letters, digits, '-', '_', '.').
//
//   mailvetter:runs                 set     the names of the runs
//   mailvetter:workers              set     the names of the workers seen
//   mailvetter:worker:W             hash    a worker: host, seen (Unix
//                                           seconds), done, state, held
//   mailvetter:run:NAME             hash    the run's description: rows,
//                                           total, input, probe, recheck,
//                                           claim-after, created, state, and
//                                           its counters done, duplicates
//   mailvetter:run:NAME:work        stream  one entry per row to check (row,
//                                           address, email, try); consumer
//                                           group "workers"
//   mailvetter:run:NAME:events      stream  what happened, in order: begun,
//                                           result, error, cancelled
//   mailvetter:run:NAME:delayed     zset    rechecks waiting, by due time
//                                           (Unix milliseconds); member
//                                           "row TAB try TAB address TAB email"
//   mailvetter:run:NAME:final       string  a bitmap: bit ROW is set once the
//                                           row has its final result
//   mailvetter:run:NAME:by-worker   hash    final results per worker
#pragma once

#include <string>
#include <string_view>

namespace mv::cluster {

inline constexpr std::string_view kPrefix = "mailvetter:";
inline const std::string kRunsKey = "mailvetter:runs";
inline const std::string kWorkersKey = "mailvetter:workers";
inline constexpr const char* kGroup = "workers";
// The consumer that entries handed back by a held or stopping worker belong
// to until another worker takes them over.
inline constexpr const char* kReturnedConsumer = "returned";

inline std::string WorkerKey(std::string_view worker) {
    return std::string(kPrefix) + "worker:" + std::string(worker);
}
inline std::string RunKey(std::string_view run) {
    return std::string(kPrefix) + "run:" + std::string(run);
}
inline std::string WorkKey(std::string_view run) {
    return RunKey(run) + ":work";
}
inline std::string EventsKey(std::string_view run) {
    return RunKey(run) + ":events";
}
inline std::string DelayedKey(std::string_view run) {
    return RunKey(run) + ":delayed";
}
inline std::string FinalKey(std::string_view run) {
    return RunKey(run) + ":final";
}
inline std::string ByWorkerKey(std::string_view run) {
    return RunKey(run) + ":by-worker";
}

// Fields of the run's hash.
namespace run_field {
inline constexpr const char* kRows = "rows";               // entries submitted (rows to check)
inline constexpr const char* kTotal = "total";             // rows of the input, marked or not
inline constexpr const char* kInput = "input";             // the input's name, as given
inline constexpr const char* kProbe = "probe";             // 1: the accept-all probe
inline constexpr const char* kRecheck = "recheck";         // seconds before a recheck; 0: none
inline constexpr const char* kClaimAfter = "claim-after";  // seconds
inline constexpr const char* kCreated = "created";         // Unix seconds
inline constexpr const char* kState = "state";             // see below
inline constexpr const char* kDone = "done";               // rows with their final result
inline constexpr const char* kDuplicates = "duplicates";   // final results after the first
}  // namespace run_field

// Values of the run's state.
inline constexpr std::string_view kStateSubmitting = "submitting";
inline constexpr std::string_view kStateOpen = "open";
inline constexpr std::string_view kStateCancelled = "cancelled";

// Fields of a work entry and of the events.
namespace field {
inline constexpr const char* kRow = "row";
inline constexpr const char* kAddress = "address";  // as checked
inline constexpr const char* kEmail = "email";      // the row's caption
inline constexpr const char* kTry = "try";          // 0, then 1.. for rechecks
inline constexpr const char* kType = "type";        // of an event
inline constexpr const char* kWorker = "worker";
inline constexpr const char* kFinding = "finding";        // a findings line
inline constexpr const char* kTranscript = "transcript";  // lines joined by "\n"
inline constexpr const char* kFinal = "final";            // "1" or "0"
inline constexpr const char* kDue = "due";                // a recheck's due time, Unix ms
inline constexpr const char* kEntry = "entry";            // the work entry an error is about
inline constexpr const char* kMessage = "message";
}  // namespace field

// Event types.
inline constexpr std::string_view kEventBegun = "begun";
inline constexpr std::string_view kEventResult = "result";
inline constexpr std::string_view kEventError = "error";
inline constexpr std::string_view kEventCancelled = "cancelled";

// Fields of a worker's hash, and its states.
namespace worker_field {
inline constexpr const char* kHost = "host";
inline constexpr const char* kSeen = "seen";  // Unix seconds
inline constexpr const char* kDone = "done";  // checks done since it started
inline constexpr const char* kState = "state";
inline constexpr const char* kHeld = "held";  // the reason, while held
}  // namespace worker_field
inline constexpr std::string_view kWorkerWorking = "working";
inline constexpr std::string_view kWorkerIdle = "idle";
inline constexpr std::string_view kWorkerHeld = "held";
inline constexpr std::string_view kWorkerStopped = "stopped";

// Entries idle longer than this are taken over from their worker: two
// minutes and a half.
inline constexpr int kDefaultClaimAfterSeconds = 2 * 60 + 30;
// How often a worker looks for runs and tells that it lives.
inline constexpr int kWorkerRefreshMs = 5000;

// A run name: 1 to 64 letters, digits, '-', '_' or '.'.
bool ValidRunName(std::string_view name);

}  // namespace mv::cluster
