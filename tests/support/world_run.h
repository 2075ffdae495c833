// One run of the dispatcher over a list of addresses against the fake mail
// world, with everything the run told: each report, the addresses taken, the
// order of the events and the end. The engine tests that check addresses end
// to end share it.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/smtp_relay_server.h"
#include "fake_world.h"

namespace mv::test {

struct RunReport {
    int code = 0;
    std::vector<std::string> log;
    TResultInfo info;
};

class WorldRun {
  public:
    explicit WorldRun(MessageLoop& runLoop) : loop(runLoop), d(runLoop) {}
    ~WorldRun();  // host lookups go back to the system's name servers
    WorldRun(const WorldRun&) = delete;
    WorldRun& operator=(const WorldRun&) = delete;

    // Points the dispatcher and the host lookups at `world`, with a sender, a
    // HELO name and the time-out, and listens to the dispatcher's events.
    void Point(const FakeWorld& world, int timeOutSeconds = 1);
    // Forgets the last run's records and starts a run, recipient index i for
    // address i.
    void Begin(const std::vector<std::string>& addresses, int connections);
    // Begin, then waits for the end of the run; false when it did not end.
    bool Check(const std::vector<std::string>& addresses, int connections,
               std::chrono::milliseconds limit = std::chrono::seconds(20));
    // The last report of an address.
    const RunReport& Final(int index) const { return last.at(index); }

    MessageLoop& loop;
    TSmtpRelayServer d;
    std::map<int, std::vector<RunReport>> reports;  // every report, by recipient index
    std::map<int, RunReport> last;                  // the last report, by recipient index
    std::map<int, int> begun;                       // OnGetData, by recipient index
    int begunTotal = 0;
    std::vector<std::string> events;  // "get I", "report I", "finished" or "finished aborted"
    int finished = 0;
    bool aborted = false;
    std::function<void(int index)> onReport;  // after a report is recorded
};

}  // namespace mv::test
