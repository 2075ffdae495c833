// One check of the pre-flight check: it starts, works on the message loop and
// ends with its line (PreflightItem). A check ends once; whatever reaches it
// afterwards (a late answer after the time limit) is ignored.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "project/preflight/preflight_item.h"

namespace mv {

class PreflightStep {
  public:
    explicit PreflightStep(std::string name) { item_.name = std::move(name); }
    virtual ~PreflightStep() = default;
    PreflightStep(const PreflightStep&) = delete;
    PreflightStep& operator=(const PreflightStep&) = delete;

    bool Done() const { return done_; }
    const PreflightItem& Item() const { return item_; }
    // Ends the check with this line unless it has ended already.
    void Finish(PreflightStatus status, std::string advice) {
        if (done_) return;
        done_ = true;
        item_.status = status;
        item_.advice = std::move(advice);
        if (OnDone) OnDone();
    }

    std::function<void()> OnDone;

  private:
    PreflightItem item_;
    bool done_ = false;
};

}  // namespace mv
