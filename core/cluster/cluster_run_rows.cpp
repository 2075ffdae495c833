// A cluster run's events turned into rows and counters, as CheckRun turns
// the dispatcher's (the rest of the run is in cluster_run.cpp).
#include "cluster/cluster_keys.h"
#include "cluster/cluster_run.h"
#include "engine/result_codes.h"
#include "project/run/address_text.h"

namespace mv::cluster {

namespace {

// How long the rows in flight of a cancelled run may take beyond claim-after.
constexpr uint32_t kGraceMs = 10000;

}  // namespace

void ClusterRun::Apply(const ClusterEvent& event) {
    switch (event.type) {
        case ClusterEvent::Type::kBegun:
            if (RowFits(event)) ApplyBegun(event.row);
            break;
        case ClusterEvent::Type::kResult:
            if (RowFits(event)) {
                ApplyResult(event);
            } else if (event.final && event.row < states_.size() &&
                       states_[event.row] != RowState::kFinal) {
                EndRow(event.row, event.record.code, false);  // done, though not written
            }
            break;
        case ClusterEvent::Type::kError:
            ApplyError(event);
            break;
        case ClusterEvent::Type::kCancelled:
            ApplyCancelled();
            break;
    }
}

// A row of the run, and for a result the address its row holds.
bool ClusterRun::RowFits(const ClusterEvent& event) {
    if (event.row >= states_.size() || event.row >= list_.RowCount()) {
        if (misfits_++ == 0 && OnMessage)
            OnMessage("run " + name_ + ": row " + std::to_string(event.row) +
                      " lies outside the list (left out)");
        return false;
    }
    if (event.type != ClusterEvent::Type::kResult) return true;
    if (madeRows_) {
        if (list_.Caption(event.row).empty())
            list_.SetCaption(event.row, event.email.empty() ? event.record.address : event.email);
        return true;
    }
    if (ExtractAddress(list_.Caption(event.row)) == event.record.address) return true;
    if (OnMessage)
        OnMessage("run " + name_ + ": row " + std::to_string(event.row) + " holds " +
                  std::string(list_.Caption(event.row)) + ", not " + event.record.address +
                  " (left out)");
    return false;
}

void ClusterRun::ApplyBegun(size_t row) {
    RowState& state = states_[row];
    if (state == RowState::kFinal || state == RowState::kBegun) return;
    if (state == RowState::kNone) ++waiting_;
    state = RowState::kBegun;
    awaitingCode_.erase(row);
    awaitingDue_.erase(row);
    list_.SetImageIndex(row, kIconChecking);
    list_.SetSubItem(row, 0, "Checking...");
    list_.SetFinding(row, std::nullopt);
    if (OnRowBegun) OnRowBegun(row);
    Refresh();
}

void ClusterRun::ApplyResult(const ClusterEvent& event) {
    const size_t row = event.row;
    RowState& state = states_[row];
    if (state == RowState::kFinal) {
        if (event.final) ++duplicates_;  // the first final result stands
        return;
    }
    if (OnModified) OnModified();
    const int code = event.record.code;
    list_.SetTranscript(row, event.transcript);
    list_.SetFinding(row, event.record.finding);
    list_.SetImageIndex(row, code != 0 ? kIconFailed : kIconValid);
    if (code == 0) list_.SetStateIndex(row, kMarkUnchecked);
    list_.SetSubItem(row, 0, ResultColumnText(code));
    Journal(row);
    if (OnRowReported) OnRowReported(row, code);
    if (event.final) {
        EndRow(row, code, true);
    } else {
        if (state == RowState::kNone) ++waiting_;
        state = RowState::kAwaiting;
        awaitingCode_[row] = code;
        awaitingDue_[row] = event.due;
    }
    Refresh();
}

// The row has its last result; `counted`: it is one to write and count.
void ClusterRun::EndRow(size_t row, int code, bool counted) {
    RowState& state = states_[row];
    if (state == RowState::kBegun || state == RowState::kAwaiting) --waiting_;
    state = RowState::kFinal;
    awaitingCode_.erase(row);
    awaitingDue_.erase(row);
    ++finals_;
    if (!counted) return;
    ++(code != 0 ? bad_ : good_);
    if (const ResultFinding* f = list_.FindingOf(row)) {
        ++tally_.verdicts[static_cast<size_t>(f->verdict)];
        ++tally_.reasons[static_cast<size_t>(f->reason)];
    }
    if (OnRowFinal) OnRowFinal(row, code);
}

void ClusterRun::Journal(size_t row) {
    if (journal_ != nullptr) journal_->Append(list_, row);
}

// A corrupted entry: its row, when known, ends without a result.
void ClusterRun::ApplyError(const ClusterEvent& event) {
    ++errors_;
    if (OnMessage)
        OnMessage("run " + name_ + ", entry " + event.entry + ": " + event.message +
                  " (skipped by " + event.worker + ")");
    if (event.hasRow && event.row < states_.size() && states_[event.row] != RowState::kFinal)
        EndRow(event.row, 0, false);
    Refresh();
}

// A waiting recheck keeps its last result; the rows in flight get until
// claim-after (and a little) for their -8.
void ClusterRun::ApplyCancelled() {
    if (cancelled_) return;
    cancelled_ = true;
    std::vector<std::pair<size_t, int>> awaiting(awaitingCode_.begin(), awaitingCode_.end());
    for (const auto& [row, code] : awaiting)
        EndRow(row, code, true);
    if (waiting_ > 0 && giveUpTimer_ == 0)
        giveUpTimer_ = loop_.StartTimer(claimAfterMs_ + kGraceMs, [this] { GiveUpInFlight(); });
    Refresh();
}

// The workers of these rows have gone: they end as aborted here.
void ClusterRun::GiveUpInFlight() {
    loop_.StopTimer(giveUpTimer_);
    giveUpTimer_ = 0;
    ResultFinding aborted;
    aborted.reason = Reason::kAborted;
    aborted.verdict = VerdictOfReason(Reason::kAborted);
    for (size_t row = 0; row < states_.size(); ++row) {
        if (states_[row] != RowState::kBegun) continue;
        list_.SetFinding(row, aborted);
        list_.SetImageIndex(row, kIconFailed);
        list_.SetSubItem(row, 0, ResultColumnText(ResultAborted));
        Journal(row);
        if (OnRowReported) OnRowReported(row, ResultAborted);
        EndRow(row, ResultAborted, true);
    }
    Refresh();
    CheckComplete();
}

}  // namespace mv::cluster
