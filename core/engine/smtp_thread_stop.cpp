// Dropping a connection, the time-out and the user's abort of a session, and
// its end (the rest of the session is in smtp_thread.cpp).
#include "engine/result_codes.h"
#include "engine/smtp_relay_server.h"
#include "engine/smtp_thread.h"
#include "net/dns/dns_query.h"
#include "net/smtp/smtp_cli.h"
#include "platform/error/exception.h"
#include "platform/error/winsock_errors.h"

namespace mv {

// --- Dropping connections, time-outs and aborts ---------------------------------

bool TSmtpThread::DropConnection(bool forAbort) {
    smtp_->Abort();
    inWait_ = true;
    if (owner_.OnDropWaitForTesting) owner_.OnDropWaitForTesting();
    owner_.Loop().WaitUntil([this] { return !smtp_->Connected() && smtp_->State() == ssReady; });
    inWait_ = false;
    ReleasePlace();  // the connection is closed now
    if (forAbort) {
        pendingAbort_ = pendingTimeOut_ = false;
        return false;
    }
    if (pendingAbort_) {
        pendingAbort_ = pendingTimeOut_ = false;
        FinishAbort();
        return true;
    }
    if (pendingTimeOut_) {
        pendingTimeOut_ = false;
        FinishTimeOut();
        return true;
    }
    return false;
}

void TSmtpThread::TimeOut() {
    // Between two addresses (one reported, the step that begins the next one
    // still to come, possibly posted) there is nothing to expire: taking an
    // address here would make that step take another, and lose this one.
    if (ended_ || !hasAddress_) return;
    if (inWait_) {
        pendingTimeOut_ = true;  // carried out when the wait is over
        return;
    }
    if (ipv6Pending_) {  // no answer about the IPv6 address: the 11004 stands alone
        ipv6Pending_ = false;
        dns_->Socket().Abort();
        return OnSmtpDone(ipv6Request_, wsa::kNoData);
    }
    if (attemptOpen_)
        AttemptEnded(smtp_->Connected(), smtp_->State() == ssConnecting ? wsa::kTimedOut : 0);
    StopWaiting();
    resolving_ = false;
    dns_->Socket().Abort();  // a late answer must not reach the next address
    try {
        if (DropConnection(false)) return;
    } catch (const Exception&) {
        // The connection could not be ended politely: it is dropped anyway,
        // and the time-out is the address's result.
    }
    FinishTimeOut();
}

void TSmtpThread::FinishTimeOut() {
    AddLog("Connection time-out");
    if (rcptReply_) return DecideByRcptReply();  // silent while it was left
    Report(ResultTimeOut);
    ProcessNext();
}

void TSmtpThread::UserAbort() {
    if (ended_) return;
    if (inWait_) {
        pendingAbort_ = true;
        return;
    }
    if (!hasAddress_) return End();  // between two addresses: the next step is dropped
    attemptOpen_ = ipv6Pending_ = false;
    StopWaiting();
    resolving_ = false;
    try {
        dns_->Socket().Abort();
        DropConnection(true);
    } catch (const Exception&) {
        // Ending the connections failed: the abort is the result either way.
    }
    FinishAbort();
}

void TSmtpThread::Resume() {
    if (ended_ || !parked_) return;
    parked_ = false;
    ProcessNext();
}

void TSmtpThread::FinishAbort() {
    AddLog("User Abort");
    Report(ResultAborted);
    End();
}

// --- Ending (reports are in smtp_thread_probe.cpp) -------------------------------

void TSmtpThread::End() {
    if (ended_) return;
    ended_ = true;
    // A retired session delivers no further events.
    dns_->OnRequestDone = nullptr;
    smtp_->OnRequestDone = nullptr;
    smtp_->OnCommand = nullptr;
    smtp_->OnResponse = nullptr;
    StopWaiting();
    try {
        smtp_->Abort();
        dns_->Socket().Abort();
    } catch (const Exception&) {
        // The session ends regardless; its sockets close when it is freed.
    }
    EndProbe(std::nullopt);
    ReleasePlace();
    owner_.SessionEnded(slot_);  // retires this object; nothing may follow
}

}  // namespace mv
