// The dispatcher's warnings about the checking computer and the hold they
// put on a run (the rest of the dispatcher is in smtp_relay_server.cpp).
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

}  // namespace mv
