// The pre-flight check: is this computer able to check addresses at all? The
// checks run side by side on the message loop, through the program's own DNS
// client and sockets, and each ends with one line:
//   DNS servers, From address, HELO name, Outgoing port 25,
//   Reverse name (PTR), Block list ZONE (one per zone).
// The reverse name and the block lists are about the address the receivers
// see: the address given as public, else the source address when one is set,
// else the address this computer's connections to the mail hosts leave from.
// When that is a private address (behind a router) both are skipped with a
// note. Whatever has not ended when
// the whole time limit is over ends with a warning, so the check always ends
// within the limit.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/loop/message_loop.h"
#include "project/preflight/preflight_item.h"
#include "project/preflight/preflight_settings.h"

namespace mv {

class PreflightStep;
class DnsServersStep;
class FromDomainStep;
class HeloNameStep;
class Port25Step;
class ReverseNameStep;
class BlockListStep;

class PreflightRun {
  public:
    PreflightRun(MessageLoop& loop, PreflightSettings settings);
    ~PreflightRun();
    PreflightRun(const PreflightRun&) = delete;
    PreflightRun& operator=(const PreflightRun&) = delete;

    void Start();
    bool Finished() const { return finished_; }

    // One line per check in the fixed order; a check still at work has the
    // status kSkipped and the advice "checking..." until it ends.
    std::vector<PreflightItem> Items() const;
    bool Pending(size_t index) const;
    // The address the reverse name and block lists were asked about, once
    // known; empty before (or when it could not be found).
    const std::string& CheckedAddress() const { return address_; }
    uint32_t ElapsedMs() const;

    // A check has ended (from the loop).
    std::function<void()> OnChanged;
    // Every check has ended; comes from the loop, on a stack of its own, so
    // the run may be destroyed in it.
    std::function<void()> OnFinished;

  private:
    void StepDone();
    void AddressKnown(const std::string& address);
    void AddressFromRoute(const std::string& towards);
    void AddressFromSource();
    void OutgoingAddress(const std::string& local);
    void SkipAddressChecks(const std::string& why);
    void Expire();

    MessageLoop& loop_;
    PreflightSettings settings_;
    std::unique_ptr<DnsServersStep> dnsServers_;
    std::unique_ptr<FromDomainStep> fromDomain_;
    std::unique_ptr<HeloNameStep> heloName_;
    std::unique_ptr<Port25Step> port25_;
    std::unique_ptr<ReverseNameStep> reverseName_;
    std::vector<std::unique_ptr<BlockListStep>> blockLists_;
    std::vector<PreflightStep*> order_;
    bool addressDecided_ = false;
    std::string address_;
    bool started_ = false;
    bool finished_ = false;
    uint32_t startTick_ = 0;
    uint32_t endTick_ = 0;
    MessageLoop::TimerId deadline_ = 0;
    WeakToken token_;
};

}  // namespace mv
