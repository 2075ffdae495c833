// What goes into the checking dispatcher and what comes out of it beside
// the code and transcript: the addresses of a run, what it knows of a
// result, and the counts of its scheduling.
#pragma once

#include <string>
#include <vector>

#include "engine/result_finding.h"

namespace mv {

// One address of a run: its text and the owner's key for it (the main window
// keeps the list row index there).
struct TRecipientEntry {
    std::string Text;
    int Tag = 0;
};
using TRecipientList = std::vector<TRecipientEntry>;

// What the dispatcher knows of a result beyond its code and transcript.
struct TResultInfo {
    ResultFinding finding;
    // False when the result is a deferral that will be checked again in this
    // run: a later report of the same address replaces it.
    bool final = true;
    // The address was not checked: its mail server group had failed too often
    // in a row (the transcript says "Not checked: ..."), and a later run
    // should check it again. Its code is the group's last failure.
    bool notChecked = false;
};

// What the dispatcher counts of its scheduling (tests and benchmarks read it).
struct TSchedulerCounters {
    int parks = 0;                 // a session found nothing it may take
    int parkedWhileEligible = 0;   // ... while an address could be taken (never)
    int putBacks = 0;              // addresses gone back to their queue
    int fallbackWaits = 0;         // waits for a place at a fallback host
    int fallbackWaitsOverrun = 0;  // ... that ran out and connected anyway
    int notChecked = 0;
    int reused = 0;  // addresses checked on a connection opened for another
};

}  // namespace mv
