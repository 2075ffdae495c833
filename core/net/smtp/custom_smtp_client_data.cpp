// Message transmission of the SMTP client: DATA, the header lines, the body
// lines from OnGetData, and the final ".". Each line is sent only after the
// previous one has been handed to the network.
#include "net/smtp/custom_smtp_client.h"
#include "net/smtp/smtp_message_format.h"

namespace mv {

void _TCustomSmtpClient::BuildHeaderLines() {
    headerLines_ = {
        "From: " + hdrFrom_,
        "To: " + hdrTo_,
        "Subject: " + hdrSubject_,
        "Mime-Version: 1.0",
        "Content-Type: " + contentTypeText_ + "; charset=\"" + charSet_ + "\"",
        "Date: " + FormatHeaderDate(LocalNow()),
    };
    FireProcessHeader(headerLines_);
    headerLines_.emplace_back();
}

void _TCustomSmtpClient::FireProcessHeader(std::vector<std::string>& lines) {
    if (OnProcessHeader) OnProcessHeader(this, lines);
}

void _TCustomSmtpClient::FireHeaderLine(std::string& line, int size) {
    if (OnHeaderLine) OnHeaderLine(this, line, size);
    if (line.size() > static_cast<size_t>(size - 1)) line.resize(static_cast<size_t>(size - 1));
}

bool _TCustomSmtpClient::FireGetData(int lineNum, std::string& line, int maxLen) {
    if (!OnGetData) return false;  // no body
    bool more = true;
    OnGetData(this, lineNum, line, maxLen, more);
    if (line.size() > static_cast<size_t>(maxLen)) line.resize(static_cast<size_t>(maxLen));
    return more;
}

void _TCustomSmtpClient::Data() {
    CheckReady();
    BuildHeaderLines();
    ExecCommand(smtpData, "DATA", {354}, &_TCustomSmtpClient::AfterDataCommand);
}

void _TCustomSmtpClient::AfterDataCommand() {
    if (errorCode_ != 0) {
        // The server refused the message: sending it anyway would make the
        // server read its lines as commands.
        RequestDone(errorCode_);
        return;
    }
    inDataBody_ = true;
    itemIndex_ = 0;
    bodyLineNumber_ = 0;
    moreBody_ = true;
    socket_->OnDataSent = [this](_TCustomAsyncSocket*, uint16_t) { OnDataSent(); };
    SendNextMessageLine();
}

void _TCustomSmtpClient::OnDataSent() {
    if (inDataBody_) RunInsideNotification(&_TCustomSmtpClient::SendNextMessageLine);
}

void _TCustomSmtpClient::SendNextMessageLine() {
    SetState(ssBetweenSteps, false);
    if (static_cast<size_t>(itemIndex_) < headerLines_.size()) {
        std::string line = headerLines_[static_cast<size_t>(itemIndex_++)];
        FireHeaderLine(line, 1024);
        SendDataLine(line);
        return;
    }
    while (moreBody_) {
        std::string line;
        if (FireGetData(++bodyLineNumber_, line, 1023)) {
            SendDataLine(line);
            return;
        }
        moreBody_ = false;
    }
    inDataBody_ = false;
    socket_->OnDataSent = nullptr;
    ExecCommand(requestType_, ".", {250});
}

void _TCustomSmtpClient::SendDataLine(const std::string& line) {
    Display("> ", line);
    if (socket_->state() == wsConnected) socket_->SendStr(DotStuffed(line) + "\r\n");
}

}  // namespace mv
