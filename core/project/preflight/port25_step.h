// "Outgoing port 25": the mail hosts of a few domains are connected to at
// once, each within the connect limit, and must greet. When none can be
// reached the checks would all fail (most networks and cloud providers block
// the port); a line tells whether the attempts timed out (dropped) or were
// refused, and shows each greeting. A connection without a greeting is a
// warning: something between (the provider) took it. With a
// source address the probes leave from it, as a run's connections do; one
// that is not this computer's fails the check before any probe.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/loop/message_loop.h"
#include "project/preflight/port_probe.h"
#include "project/preflight/preflight_step.h"

namespace mv {

struct PreflightSettings;

class Port25Step : public PreflightStep {
  public:
    Port25Step(MessageLoop& loop, const PreflightSettings& settings);
    void Start();

    // The address of the first mail host found (once).
    std::function<void(const std::string& address)> OnHostAddress;

  private:
    void ProbeDone();
    void Conclude();
    std::string Details() const;
    // The advice when the source address cannot be used; empty when it can.
    std::string SourceAddressFault() const;

    std::vector<std::unique_ptr<PortProbe>> probes_;
    std::string smtpPort_;
    std::string sourceAddress_;
    bool addressTold_ = false;
};

}  // namespace mv
