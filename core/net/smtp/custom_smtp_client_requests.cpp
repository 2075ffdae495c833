// The requests of the SMTP client: single commands and the chains Open and
// Mail.
#include <algorithm>

#include "net/smtp/custom_smtp_client.h"
#include "net/socket/local_host_name.h"
#include "platform/text/text_trim.h"

namespace mv {

void _TCustomSmtpClient::SendCommand(const std::string& text) {
    FireCommand(text);
    Display("> ", text);
    if (socket_->state() != wsConnected) return;
    commandLine_.assign(text).append("\r\n");
    socket_->SendStr(commandLine_);  // queued before anything can run again
}

void _TCustomSmtpClient::ExecCommand(TSmtpRequest type, const std::string& text,
                                     std::initializer_list<int> codes, Action after) {
    CheckReady();
    if (!connected_) throw SmtpException("SMTP component not connected");
    // A line break inside an argument would let the text become a second
    // command on the wire. Two plain searches: find_first_of would look up
    // every character of the text in the set, one call each.
    if (text.find('\r') != std::string::npos || text.find('\n') != std::string::npos)
        throw SmtpException("SMTP command contains a line break");
    if (!chained_) requestType_ = type;
    acceptedCodes_.assign(codes);  // keeps its storage from command to command
    requestDone_ = false;
    afterReply_ = after;
    replyLines_ = 0;
    SetState(ssAwaitingReply);
    SendCommand(text);
}

void _TCustomSmtpClient::Helo() {
    ExecCommand(smtpHelo,
                (ehlo_ ? "EHLO " : "HELO ") + (signOn_.empty() ? LocalHostName() : signOn_), {250});
}

void _TCustomSmtpClient::Vrfy() {
    ExecCommand(smtpVrfy, "VRFY " + hdrTo_, {250});
}

void _TCustomSmtpClient::MailFrom() {
    std::string command = "MAIL FROM:<" + TrimBlanks(fromName_) + ">";
    if (!mailParameters_.empty()) command += " " + mailParameters_;
    ExecCommand(smtpMailFrom, command, {250});
}

void _TCustomSmtpClient::RcptTo() {
    if (rcptName_.empty()) throw SmtpException("RcptName list is empty");
    itemIndex_ = 0;
    ExecCommand(smtpRcptTo, "RCPT TO:<" + TrimBlanks(rcptName_[0]) + ">", {250, 251},
                rcptName_.size() > 1 ? &_TCustomSmtpClient::AfterRcpt : nullptr);
}

// Every recipient but the last: send the next one whatever the reply was.
void _TCustomSmtpClient::AfterRcpt() {
    ++itemIndex_;
    const auto i = static_cast<size_t>(itemIndex_);
    SetState(ssBetweenSteps, false);
    Action after = i + 1 < rcptName_.size() ? &_TCustomSmtpClient::AfterRcpt : nullptr;
    const TSmtpRequest type = requestType_;
    ExecCommand(type, "RCPT TO:<" + TrimBlanks(rcptName_[i]) + ">", {250, 251}, after);
}

void _TCustomSmtpClient::Quit() {
    CheckReady();
    if (connected_) {
        ExecCommand(smtpQuit, "QUIT", {221});
        return;
    }
    requestType_ = smtpQuit;
    requestDone_ = false;
    RequestDone(0);  // delivered later through the loop
}

void _TCustomSmtpClient::Rset() {
    ExecCommand(smtpRset, "RSET", {250});
}

// --- Chains -------------------------------------------------------------------

void _TCustomSmtpClient::Open() {
    if (connected_) throw SmtpException("SMTP component already connected");
    CheckReady();
    StartChain(smtpOpen, kStepConnect | kStepHelo);
}

void _TCustomSmtpClient::Mail() {
    CheckReady();
    StartChain(smtpMail, kStepMailFrom | kStepRcptTo | kStepData);
}

void _TCustomSmtpClient::StartChain(TSmtpRequest type, unsigned steps) {
    requestType_ = type;
    errorCode_ = 0;
    steps_ = steps;
    chained_ = true;
    lastResponse_.clear();
    errorMessage_.clear();
    NextStep(true);
}

void _TCustomSmtpClient::NextStep(bool fromCaller) {
    static const std::pair<Step, Action> kOrder[] = {{kStepConnect, &_TCustomSmtpClient::Connect},
                                                     {kStepHelo, &_TCustomSmtpClient::Helo},
                                                     {kStepVrfy, &_TCustomSmtpClient::Vrfy},
                                                     {kStepMailFrom, &_TCustomSmtpClient::MailFrom},
                                                     {kStepRcptTo, &_TCustomSmtpClient::RcptTo},
                                                     {kStepData, &_TCustomSmtpClient::Data},
                                                     {kStepQuit, &_TCustomSmtpClient::Quit}};
    for (const auto& [step, action] : kOrder) {
        if ((steps_ & step) == 0) continue;
        steps_ &= ~static_cast<unsigned>(step);
        if (fromCaller) {
            (this->*action)();  // misuse raises at the caller's call
            return;
        }
        try {
            (this->*action)();
        } catch (const Exception& e) {
            // Inside a notification nobody could catch it: end the chain with
            // a failure instead, so that the owner still gets its notice.
            FailLine(std::string("500 ") + e.ClassName() + ": " + e.what(), 500);
            chained_ = false;
            requestDone_ = false;
            RequestDone(500);
        }
        return;
    }
    chained_ = false;
    requestDone_ = false;
    RequestDone(0);
}

}  // namespace mv
