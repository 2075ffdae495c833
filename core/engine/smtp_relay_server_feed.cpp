// The dispatcher's open-ended run: addresses handed over while the run goes
// on (the rest of the dispatcher is in smtp_relay_server.cpp).
#include "engine/smtp_relay_server.h"
#include "engine/smtp_thread.h"

namespace mv {

void TSmtpRelayServer::VerifyFeed() {
    if (busy_) throw TSmtpRelayServerException("Component is busy");
    // Rechecks find their address by its position, which fed addresses lack.
    if (recheckDeferredMs_ != 0)
        throw TSmtpRelayServerException("A fed run does not recheck deferred addresses");
    recipients_.clear();
    fed_.clear();
    feedOpen_ = true;
    try {
        Verify();
    } catch (...) {
        feedOpen_ = false;
        throw;
    }
}

void TSmtpRelayServer::AddRecipients(const TRecipientList& entries) {
    if (!busy_ || !feedOpen_ || aborted_) throw TSmtpRelayServerException("No open feed");
    fed_.insert(fed_.end(), entries.begin(), entries.end());
    StartFedSessions();
}

// Every live session is busy with an address (one that finds none ends), so
// each free connection gets a session of its own; each takes one address as
// it starts.
void TSmtpRelayServer::StartFedSessions() {
    while (feedOpen_ && busy_ && !held_ && !aborted_ && !fed_.empty() &&
           liveSessions_ < connections_)
        StartSession();
}

void TSmtpRelayServer::CloseFeed() {
    if (!feedOpen_) return;
    feedOpen_ = false;
    if (busy_ && liveSessions_ == 0 && sessionsToStart_ == 0) SessionEnded(SIZE_MAX);
}

TRecipientList TSmtpRelayServer::TakeBackFed() {
    TRecipientList back(fed_.begin(), fed_.end());
    fed_.clear();
    return back;
}

bool TSmtpRelayServer::TakeFedAddress(int& index, std::string& address) {
    if (fed_.empty()) return false;
    index = fed_.front().Tag;
    address = std::move(fed_.front().Text);
    fed_.pop_front();
    return true;
}

}  // namespace mv
