// What a run holds back: the whole run after a warning about the checking
// computer, and the reports of addresses that wait for an accept-all probe
// (the rest of the dispatcher is in smtp_relay_server.cpp).
#include "engine/smtp_relay_server.h"
#include "engine/smtp_thread.h"

namespace mv {

void TSmtpRelayServer::NoteConnectAttempt(const std::string& server, bool connected) {
    // Through a proxy, a failed connection says nothing about port 25 here.
    if (!warnings_ || aborted_ || proxy_.Enabled()) return;
    if (auto warning = runWarnings_.ConnectAttempt(server, connected)) Warn(*warning);
}

// Holds the run at once; the owner hears of it from the loop, so that its
// answer (GoOn, Abort) never runs inside the step of the session that gave
// the last sign.
void TSmtpRelayServer::Warn(const RunWarning& warning) {
    held_ = true;
    loop_.Post([this, warning, alive = token_.Weak()] {
        if (alive.expired() || !busy_ || aborted_) return;
        if (OnWarning)
            OnWarning(this, warning);
        else
            GoOn();  // nobody to ask: the run goes on
    });
}

void TSmtpRelayServer::GoOn() {
    if (!held_) return;
    held_ = false;
    // The sessions that stopped at the hold begin their next addresses from
    // the loop, not inside the owner's handler.
    loop_.Post([this, alive = token_.Weak()] {
        if (alive.expired() || held_) return;
        for (size_t slot = 0; slot < sessions_.size(); ++slot) {
            TSmtpThread* s = sessions_[slot].get();
            if (s != nullptr) s->Resume();
        }
        ArmRecheckTimer();  // due rechecks that the hold kept back
        StartFedSessions();
    });
}

// --- Reports held for an accept-all probe -------------------------------------------

void TSmtpRelayServer::ProbeEnded(const std::string& domain, const std::string& host,
                                  std::optional<bool> acceptsAll) {
    probes_.End(domain, host, acceptsAll);
    if (probes_.AnyReady()) PostRelease();
}

// The held reports go out from the loop, never inside the step of the session
// whose probe answered: the owner's handler may stop the run.
void TSmtpRelayServer::PostRelease() {
    if (releasePosted_) return;
    releasePosted_ = true;
    loop_.Post([this, alive = token_.Weak()] {
        if (alive.expired()) return;
        releasePosted_ = false;
        ReleaseHeld();
    });
}

void TSmtpRelayServer::ReleaseHeld() {
    // Without a session, no probe can answer any more.
    const bool none = liveSessions_ == 0;
    for (const AcceptAllProbes::HeldReport& r : none ? probes_.TakeAll() : probes_.TakeReady())
        Deliver(r.index, r.code, r.log, r.finding);
    if (busy_ && liveSessions_ == 0 && sessionsToStart_ == 0) SessionEnded(SIZE_MAX);
}

void TSmtpRelayServer::ReportHeld() {
    for (const AcceptAllProbes::HeldReport& r : probes_.TakeAll())
        Deliver(r.index, r.code, r.log, r.finding);
}

}  // namespace mv
