// The cluster's stream entries as values: a row to check (work entry) and
// what happened to one (event), read back with every field checked. Results
// carry their findings in the findings line format, the transcript beside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cluster/redis_value.h"
#include "project/findings/finding_line.h"

namespace mv::cluster {

// The most a row may be tried: the first check and its rechecks.
inline constexpr int kMaxTry = 16;

struct WorkItem {
    std::string id;  // the entry's id in the work stream
    size_t row = 0;
    std::string address;
    std::string email;
    int tryNumber = 0;
};

// A work entry of a run of `rows` rows; none, with `error` set, when a field
// is missing or wrong or the row lies outside the run.
std::optional<WorkItem> ReadWorkItem(const StreamEntry& entry, size_t rows, std::string& error);
// The fields of a work entry (for XADD).
std::vector<std::string> WorkFields(size_t row, const std::string& address,
                                    const std::string& email, int tryNumber);
// The member of the delayed set for a recheck.
std::string DelayedMember(const WorkItem& item);

struct ClusterEvent {
    enum class Type { kBegun, kResult, kError, kCancelled };
    Type type = Type::kBegun;
    std::string id;  // the event's id in the events stream
    size_t row = 0;
    bool hasRow = false;  // an error about an entry without a usable row has none
    std::string worker;
    int tryNumber = 0;
    // Results.
    bool final = true;
    int64_t due = 0;  // a recheck's due time (Unix milliseconds); 0: none
    std::string email;
    FindingRecord record;
    std::vector<std::string> transcript;
    // Errors.
    std::string entry;
    std::string message;
};

// An event; none, with `error` set, when it is malformed.
std::optional<ClusterEvent> ReadEvent(const StreamEntry& entry, std::string& error);

// Transcript lines joined by "\n", and back.
std::string JoinTranscript(const std::vector<std::string>& lines);
std::vector<std::string> SplitTranscript(const std::string& text);

}  // namespace mv::cluster
