#include "cluster/cluster_submit.h"

#include <ctime>
#include <random>

#include "cluster/cluster_entries.h"
#include "cluster/cluster_keys.h"
#include "project/run/address_text.h"

namespace mv::cluster {

std::string MakeRunName() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[32];
    if (localtime_r(&now, &local) == nullptr ||
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local) == 0)
        stamp[0] = '\0';
    std::random_device seed;
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "%04x", seed() & 0xFFFFu);
    return std::string(stamp) + "-" + suffix;
}

void RunSubmitter::Submit(const RecipientList& list, const RunOptions& options, Done done) {
    list_ = &list;
    options_ = options;
    done_ = std::move(done);
    if (options_.name.empty()) options_.name = MakeRunName();
    if (options_.claimAfterSeconds <= 0) options_.claimAfterSeconds = kDefaultClaimAfterSeconds;
    if (!ValidRunName(options_.name))
        return Fail("a run name is 1 to 64 letters, digits, '-', '_' or '.'");
    for (size_t row = 0; row < list.RowCount(); ++row)
        if (list.StateIndex(row) == kMarkChecked) rows_.push_back(row);
    if (rows_.empty()) return Fail("Nothing to check");
    // The state goes in first and only if the run is new: two submits of
    // one name cannot mix their rows.
    const bool sent = connection_.Command(
        {"HSETNX", RunKey(options_.name), run_field::kState, std::string(kStateSubmitting)},
        [this](const RedisValue& r) {
            if (r.IsError()) return Fail(r.text);
            if (r.AsInteger() != 1) return Fail("the run " + options_.name + " exists already");
            Describe();
        });
    if (!sent) Fail("not connected");
}

void RunSubmitter::Describe() {
    const std::string key = RunKey(options_.name);
    const auto check = [this](const RedisValue& r) {
        if (r.IsError()) Fail(r.text);
    };
    connection_.Command(
        {"HSET", key, run_field::kTotal, std::to_string(list_->RowCount()), run_field::kInput,
         options_.input, run_field::kProbe, options_.acceptAllProbe ? "1" : "0",
         run_field::kRecheck, std::to_string(options_.recheckSeconds), run_field::kClaimAfter,
         std::to_string(options_.claimAfterSeconds), run_field::kCreated,
         std::to_string(std::time(nullptr)), run_field::kDone, "0", run_field::kDuplicates, "0"},
        check);
    connection_.Command({"XGROUP", "CREATE", WorkKey(options_.name), kGroup, "0", "MKSTREAM"},
                        check);
    connection_.Command({"SADD", kRunsKey, options_.name}, check);
    SendMore();
}

void RunSubmitter::SendMore() {
    const std::string key = WorkKey(options_.name);
    while (!failed_ && !abandoned_ && next_ < rows_.size() && sent_ - acknowledged_ < kInFlight) {
        const size_t row = rows_[next_++];
        const std::string_view caption = list_->Caption(row);
        std::vector<std::string> args = {"XADD", key, "*"};
        for (std::string& f : WorkFields(row, ExtractAddress(caption), std::string(caption), 0))
            args.push_back(std::move(f));
        ++sent_;
        const bool sent = connection_.Command(args, [this](const RedisValue& r) {
            if (failed_) return;
            if (r.IsError()) return Fail(r.text);
            ++acknowledged_;
            if (abandoned_ && acknowledged_ == sent_) return Fail("stopped");
            if (acknowledged_ == rows_.size()) return Finish();
            // Refilled by batches, not one by one.
            if (sent_ - acknowledged_ <= kInFlight / 2) SendMore();
        });
        if (!sent) return Fail("the connection was lost");
    }
}

void RunSubmitter::Finish() {
    connection_.Command({"HSET", RunKey(options_.name), run_field::kRows,
                         std::to_string(rows_.size()), run_field::kState, std::string(kStateOpen)},
                        [this](const RedisValue& r) {
                            if (r.IsError()) return Fail(r.text);
                            if (done_) done_("", options_.name);
                        });
}

void RunSubmitter::Abandon() {
    abandoned_ = true;
    if (sent_ == acknowledged_) Fail("stopped");
}

void RunSubmitter::Fail(const std::string& message) {
    if (failed_) return;
    failed_ = true;
    if (done_) done_(message, options_.name);
}

}  // namespace mv::cluster
