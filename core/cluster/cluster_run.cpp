#include "cluster/cluster_run.h"

#include <algorithm>
#include <ctime>

#include "cluster/cluster_keys.h"
#include "cluster/cluster_scripts.h"

namespace mv::cluster {

namespace {

// More rows than any list the program holds: a corrupted description.
constexpr long long kMaxRows = 100'000'000;
constexpr uint32_t kReconnectMs = 1000;

long long Number(const FieldList& fields, const char* name, long long fallback) {
    const std::string* text = FindField(fields, name);
    if (text == nullptr) return fallback;
    RedisValue v;
    v.type = RedisValue::Type::kString;
    v.text = *text;
    return v.AsInteger().value_or(-1);
}

}  // namespace

ClusterRun::ClusterRun(RecipientList& list, MessageLoop& loop) : list_(list), loop_(loop) {}

ClusterRun::~ClusterRun() {
    if (describeTimer_ != 0) loop_.StopTimer(describeTimer_);
    if (giveUpTimer_ != 0) loop_.StopTimer(giveUpTimer_);
}

void ClusterRun::Start(const RedisUrl& url, const RunOptions& options) {
    if (list_.Empty()) throw ECheckRunError("Please open / fill the recipient list before");
    bool marked = false;
    for (size_t row = 0; row < list_.RowCount() && !marked; ++row)
        marked = list_.StateIndex(row) == kMarkChecked;
    if (!marked) throw ECheckRunError("Nothing to check");
    url_ = url;
    running_ = submitting_ = true;
    if (OnRunningChanged) OnRunningChanged(true);
    Connect([this, options] {
        submitter_ = std::make_unique<RunSubmitter>(*commands_);
        submitter_->Submit(
            list_, options,
            [this](const std::string& error, const std::string& name) { Submitted(error, name); });
    });
}

void ClusterRun::Attach(const RedisUrl& url, const std::string& name) {
    url_ = url;
    name_ = name;
    running_ = true;
    if (OnRunningChanged) OnRunningChanged(true);
    if (!ValidRunName(name)) return Fail("the run " + name + " does not exist");
    Connect([this] { Describe(); });
}

void ClusterRun::Connect(std::function<void()> then) {
    commands_ = std::make_unique<RedisConnection>(loop_);
    reader_ = std::make_unique<RedisConnection>(loop_);
    commands_->OnLost = [this](const std::string& m) { Lost(m); };
    reader_->OnLost = [this](const std::string& m) { Lost(m); };
    commands_->Connect(url_, [this, then = std::move(then)](const std::string& error) {
        if (!error.empty()) return Fail(error);
        then();
    });
}

void ClusterRun::Submitted(const std::string& error, const std::string& name) {
    submitting_ = false;
    name_ = name;
    if (!error.empty() && !(stopRequested_ && error == "stopped")) return Fail(error);
    if (OnSubmitted) OnSubmitted(name);
    Describe();
    if (stopRequested_) Cancel();
}

void ClusterRun::Describe() {
    commands_->Command({"HGETALL", RunKey(name_)}, [this](const RedisValue& r) {
        if (!running_ || !ReadDescription(r)) return;
        if (!reader_->Connected()) {
            reader_->Connect(url_, [this](const std::string& error) {
                if (!error.empty()) return Lost(error);
                ReadEvents();
            });
        }
        CheckComplete();
    });
}

// The run's size and times; the first reading also prepares the rows.
bool ClusterRun::ReadDescription(const RedisValue& reply) {
    const auto fields = ReadFieldList(reply);
    if (!fields || fields->empty()) {
        Fail(reply.IsError() ? reply.text : "the run " + name_ + " does not exist");
        return false;
    }
    const long long total = Number(*fields, run_field::kTotal, -1);
    const long long rows = Number(*fields, run_field::kRows, 0);
    if (total < 0 || total > kMaxRows || rows < 0 || rows > total) {
        Fail("the description of the run " + name_ + " is corrupted");
        return false;
    }
    const std::string* state = FindField(*fields, run_field::kState);
    if (state != nullptr && *state != kStateSubmitting && FindField(*fields, run_field::kRows))
        rows_ = static_cast<size_t>(rows);
    created_ = std::max(0LL, Number(*fields, run_field::kCreated, 0));
    claimAfterMs_ = static_cast<uint32_t>(
        std::clamp(Number(*fields, run_field::kClaimAfter, kDefaultClaimAfterSeconds), 1LL,
                   86400LL) *
        1000);
    if (states_.empty()) {
        total_ = static_cast<size_t>(total);
        if (list_.RowCount() == 0) {
            madeRows_ = true;
            list_.Reserve(total_);
            for (size_t i = 0; i < total_; ++i)
                list_.AppendRow({}, {}, kIconNotChecked, kMarkUnchecked);
        }
        states_.assign(std::max(total_, list_.RowCount()), RowState::kNone);
    }
    // A run still being submitted is read again until its size is known.
    if (!rows_ && describeTimer_ == 0 && !(state != nullptr && *state == kStateCancelled))
        describeTimer_ = loop_.StartTimer(1000, [this] { Describe(); });
    if ((rows_ || cancelled_) && describeTimer_ != 0) {
        loop_.StopTimer(describeTimer_);
        describeTimer_ = 0;
    }
    return true;
}

void ClusterRun::ReadEvents() {
    if (!running_) return;
    reader_->Command(
        {"XREAD", "COUNT", "1000", "BLOCK", "1000", "STREAMS", EventsKey(name_), lastId_},
        [this](const RedisValue& r) {
            if (!running_) return;
            const auto streams = ReadStreams(r);
            if (!streams) return Fail(r.IsError() ? r.text : "a malformed reply to XREAD");
            for (const auto& [key, entries] : *streams)
                for (const StreamEntry& entry : entries) {
                    lastId_ = entry.id;
                    std::string error;
                    if (auto event = ReadEvent(entry, error)) {
                        Apply(*event);
                    } else if (OnMessage) {
                        OnMessage("event " + entry.id + " of run " + name_ + ": " + error);
                    }
                    if (!running_) return;
                }
            CheckComplete();
            ReadEvents();
        },
        1000 + RedisConnection::kDefaultLimitMs);
}

// Both connections come back after a pause; reading goes on where it was.
void ClusterRun::Lost(const std::string& message) {
    if (!running_ || reconnecting_) return;
    reconnecting_ = true;
    if (OnMessage) OnMessage("lost " + message + "; connecting again");
    const auto id = std::make_shared<MessageLoop::TimerId>(0);
    *id = loop_.StartTimer(kReconnectMs, [this, id, alive = token_.Weak()] {
        loop_.StopTimer(*id);
        if (alive.expired() || !running_) return;
        reconnecting_ = false;
        if (!commands_->Connected())
            commands_->Connect(url_, [this](const std::string& e) {
                if (!e.empty()) Lost(e);
            });
        if (!reader_->Connected() && !name_.empty())
            reader_->Connect(url_, [this](const std::string& e) {
                if (!e.empty()) return Lost(e);
                ReadEvents();
            });
    });
}

void ClusterRun::Fail(const std::string& message) {
    if (!running_) return;
    running_ = false;
    if (commands_) commands_->Close();
    if (reader_) reader_->Close();
    Stopped();
    if (OnFailed) OnFailed(message);
    if (OnRunningChanged) OnRunningChanged(false);
}

void ClusterRun::Stop() {
    if (!running_ || stopRequested_) return;
    stopRequested_ = true;
    if (submitting_) {
        if (submitter_) submitter_->Abandon();
        return;  // cancelled once the entries out have been answered
    }
    if (!name_.empty()) Cancel();
}

void ClusterRun::Cancel() {
    auto scripts = std::make_shared<ScriptRunner>(*commands_);
    scripts->Run(Script::kCancel,
                 {RunKey(name_), WorkKey(name_), DelayedKey(name_), EventsKey(name_)}, {},
                 [this, scripts](const RedisValue& r) {
                     if (r.IsError()) return Fail("cannot cancel: " + r.text);
                     if (r.AsInteger() == -1) Fail("the run " + name_ + " does not exist");
                 });
}

void ClusterRun::Detach() {
    if (!running_) return;
    running_ = false;
    commands_->Close();
    reader_->Close();
    Stopped();
    Refresh();
    if (OnRunningChanged) OnRunningChanged(false);
}

void ClusterRun::CheckComplete() {
    if (!running_) return;
    const bool allFinal = rows_ && finals_ >= *rows_;
    const bool cancelledAndSettled = cancelled_ && waiting_ == 0;
    if (allFinal || cancelledAndSettled) Finish();
}

void ClusterRun::Finish() {
    complete_ = true;
    running_ = false;
    if (describeTimer_ != 0) loop_.StopTimer(describeTimer_);
    if (giveUpTimer_ != 0) loop_.StopTimer(giveUpTimer_);
    describeTimer_ = giveUpTimer_ = 0;
    commands_->Close();
    reader_->Close();
    Stopped();
    Refresh();
    if (OnRunningChanged) OnRunningChanged(false);
}

// Watching has ended: what the journal holds goes to the disk.
void ClusterRun::Stopped() {
    if (journal_ != nullptr) journal_->Sync();
}

std::array<std::string, 5> ClusterRun::StatusTexts() const {
    const int64_t now = std::time(nullptr);
    const auto elapsed = static_cast<uint32_t>(created_ > 0 && now > created_ ? now - created_ : 0);
    return {ElapsedText(elapsed), "Total: " + std::to_string(list_.RowCount()),
            "Waiting: " + std::to_string(waiting_), "Good: " + std::to_string(good_),
            "Bad: " + std::to_string(bad_)};
}

std::string ClusterRun::RecheckText() const {
    if (awaitingDue_.empty()) return {};
    int64_t first = INT64_MAX;
    for (const auto& [row, due] : awaitingDue_)
        first = std::min(first, due);
    const std::time_t at = static_cast<std::time_t>((first + 999) / 1000);
    std::tm local{};
    char buf[64];
    if (localtime_r(&at, &local) == nullptr || std::strftime(buf, sizeof buf, "%X", &local) == 0)
        buf[0] = '\0';
    return "Deferred: " + std::to_string(awaitingDue_.size()) + ", next try at " + buf;
}

void ClusterRun::Refresh() const {
    if (OnStatusChanged) OnStatusChanged();
}

}  // namespace mv::cluster
