// Connection, reply reading and request completion of the SMTP client. The
// requests themselves are in custom_smtp_client_requests.cpp, message
// transmission in custom_smtp_client_data.cpp.
#include "net/smtp/custom_smtp_client.h"

#include "net/socket/socket_error_text.h"
#include "platform/error/winsock_errors.h"

namespace mv {

namespace {

std::string WinsockFailureLine(int error) {
    return "500 " + SocketErrorText(error) + " (Winsock error #" + WsaErrorNumberText(error) + ")";
}

}  // namespace

_TCustomSmtpClient::_TCustomSmtpClient(MessageLoop& loop)
    : socket_(std::make_unique<_TAsyncSocket>(loop)) {
    socket_->OnSessionClosed = [this](_TCustomAsyncSocket*, uint16_t e) { OnSocketClosed(e); };
}

_TCustomSmtpClient::~_TCustomSmtpClient() = default;

void _TCustomSmtpClient::SetProxy(const SocksProxy& proxy) {
    proxy_ = proxy;
    if (!proxy_.Enabled()) return;  // the socket's proxy events stay silent
    socket_->OnSocksConnected = [this](_TCustomAsyncSocket*, uint16_t e) {
        if (e != 0)
            ProxyFailed("SOCKS proxy " + proxy_.Address() + ": " + SocketErrorText(e) + " (error " +
                        std::to_string(e) + ")");
    };
    socket_->OnSocksError = [this](_TCustomAsyncSocket*, int e, const std::string& msg) {
        ProxyFailed("SOCKS proxy: " + msg + " (error " + std::to_string(e) + ")");
    };
}

// The proxy's failure is the connection's only reply: the owner hears it as
// one, and it becomes the request's failure line.
void _TCustomSmtpClient::ProxyFailed(const std::string& what) {
    proxyFailure_ = what;
    FireResponse(what);
}

void _TCustomSmtpClient::SetContentType(TSmtpContentType v) {
    contentType_ = v;
    contentTypeText_ = v == smtpHTML ? "text/html" : "text/plain";
}

void _TCustomSmtpClient::SetState(TSmtpState s, bool notify) {
    const TSmtpState old = state_;
    state_ = s;
    if (notify) FireStateChange(old, s);
}

void _TCustomSmtpClient::CheckReady() const {
    if (state_ != ssReady && state_ != ssBetweenSteps)
        throw SmtpException("SMTP component not ready");
}

void _TCustomSmtpClient::FailLine(const std::string& text, int statusCode) {
    lastResponse_ = text;
    statusCode_ = statusCode;
    if (errorMessage_.empty()) errorMessage_ = lastResponse_;
}

// --- Events -------------------------------------------------------------------

void _TCustomSmtpClient::FireDisplay(const std::string& msg) {
    if (OnDisplay) OnDisplay(this, msg);
}

// The display line is built only for a handler that shows it: a checker
// without one would build and drop a string for every line of every check.
void _TCustomSmtpClient::Display(std::string_view prefix, const std::string& text) {
    if (!OnDisplay) return;
    std::string line;
    line.reserve(prefix.size() + text.size());
    line.append(prefix).append(text);
    FireDisplay(line);
}

void _TCustomSmtpClient::FireCommand(const std::string& msg) {
    if (OnCommand) OnCommand(this, msg);
}

void _TCustomSmtpClient::FireResponse(const std::string& msg) {
    if (OnResponse) OnResponse(this, msg);
}

// --- Connecting ---------------------------------------------------------------

void _TCustomSmtpClient::Connect() {
    CheckReady();
    if (connected_) throw SmtpException("SMTP component already connected");
    requestType_ = smtpConnect;
    requestDone_ = false;
    reader_.Clear();
    replyLines_ = 0;
    errorCode_ = 0;
    SetState(ssLookingUp);
    socket_->OnDataSent = nullptr;
    socket_->OnDnsLookupDone = [this](_TCustomAsyncSocket*, uint16_t e) { OnLookupDone(e); };
    socket_->SetFamilies(families_);
    try {
        socket_->DnsLookup(host_);
    } catch (...) {
        // A host name the lookup refuses at once starts nothing.
        if (state_ == ssLookingUp) SetState(ssReady);
        requestDone_ = true;
        throw;
    }
}

void _TCustomSmtpClient::OnLookupDone(uint16_t error) {
    if (state_ != ssLookingUp && state_ != ssAborting) return;
    if (error != 0) {
        FailLine(WinsockFailureLine(error), 500);
        RequestDone(error);
        return;
    }
    try {
        socket_->SetAddr(socket_->DnsAddresses().Preferred(families_ == HostFamilies::kIPv6First));
        socket_->SetProto("tcp");
        socket_->SetPort(port_);
        socket_->OnSessionConnected = [this](_TCustomAsyncSocket*, uint16_t e) {
            OnSocketConnected(e);
        };
        socket_->OnDataAvailable = [this](_TCustomAsyncSocket*, uint16_t) { OnSocketData(); };
        // The socket forgets its proxy at every close: it is set again each time.
        if (proxy_.Enabled()) proxy_.ApplyTo(*socket_);
        proxyFailure_.clear();
        SetState(ssConnecting);
        socket_->Connect();
    } catch (const Exception& e) {
        // With a proxy the socket looks up the proxy's name here.
        if (proxy_.Enabled()) ProxyFailed("SOCKS proxy " + proxy_.Address() + ": " + e.what());
        FailLine(std::string("500 ") + e.ClassName() + ": " + e.what(), 500);
        // A failed system call (out of descriptors, for example) reports its
        // own socket error number; other failures report 500.
        const auto* se = dynamic_cast<const ESocketException*>(&e);
        errorCode_ = se != nullptr && se->ErrorCode() != 0 ? se->ErrorCode() : 500;
        RequestDone(errorCode_);
    }
}

void _TCustomSmtpClient::OnSocketConnected(uint16_t error) {
    if (error != 0) {
        FailLine(proxyFailure_.empty() ? WinsockFailureLine(error) : "500 " + proxyFailure_, 500);
        connected_ = false;
        RequestDone(error);
        socket_->Close();
        SetState(ssReady);
        return;
    }
    connected_ = true;
    replyLines_ = 0;
    SetState(ssAwaitingGreeting);
}

void _TCustomSmtpClient::OnSocketClosed(uint16_t error) {
    connected_ = false;
    FireSessionClosed(error);
    RequestDone(10004);  // only a request still in flight is ended by this
}

// --- Reading replies -------------------------------------------------------

void _TCustomSmtpClient::OnSocketData() {
    char chunk[SmtpReplyReader::kBufferSize];
    const int room = static_cast<int>(reader_.Room());
    const int n = room > 0 ? socket_->Receive(chunk, room) : 0;
    if (n > 0) reader_.Append(chunk, static_cast<size_t>(n));
    std::string line;
    while (reader_.NextLine(line)) {
        lastResponse_ = line;
        FireResponse(line);
        if (!HandleLine(line)) return;
    }
    if (reader_.Stuck()) EndWithReplyTooLong();
}

// Returns false when reading must stop (the connection is being closed).
bool _TCustomSmtpClient::HandleLine(const std::string& line) {
    const bool counted = state_ == ssAwaitingGreeting || state_ == ssAwaitingReply;
    if (counted && ++replyLines_ > kMaxReplyLines) {
        EndWithReplyTooLong();
        return false;
    }
    switch (state_) {
        case ssAwaitingGreeting:
            return HandleGreetingLine(line);
        case ssAwaitingReply:
            HandleReplyLine(line);
            return true;
        default:
            Display("< ", line);
            return true;
    }
}

bool _TCustomSmtpClient::HandleGreetingLine(const std::string& line) {
    Display("< ", line);
    const SmtpStatus status = ParseSmtpStatus(line);
    statusCode_ = status.code;
    const bool agreed = ReplyCodesAgree(status);
    if (status.continuation) return true;
    replyLines_ = 0;
    if (status.code != 220 || !agreed) {
        if (errorMessage_.empty()) errorMessage_ = lastResponse_;
        errorCode_ = status.wellFormed && agreed ? status.code : 500;
        reader_.Clear();
        // The request ends with the greeting's code: the server answered, so
        // "connection lost" (10004) would misreport what happened.
        RequestDone(errorCode_);
        socket_->Close();
        return false;
    }
    SetState(ssConnected);
    FireSessionConnected(0);
    RequestDone(0);
    return true;
}

void _TCustomSmtpClient::HandleReplyLine(const std::string& line) {
    Display("< ", lastResponse_);
    const SmtpStatus status = ParseSmtpStatus(line);
    statusCode_ = status.code;
    const bool agreed = ReplyCodesAgree(status);
    if (status.continuation) return;
    replyLines_ = 0;
    bool ok;
    if (!status.wellFormed || !agreed) {
        ok = false;  // no status code a command could accept
    } else if (acceptedCodes_.empty()) {
        ok = status.code < 500;
    } else {
        ok = false;
        for (int code : acceptedCodes_)
            ok = ok || code == status.code;
    }
    if (ok) {
        errorCode_ = 0;
    } else {
        errorCode_ = status.wellFormed && agreed ? status.code : 500;
        if (errorMessage_.empty()) errorMessage_ = lastResponse_;
    }
    if (afterReply_ != nullptr) {
        RunInsideNotification(afterReply_);
    } else {
        RequestDone(errorCode_);
    }
}

// All lines of one reply carry the same code; a reply whose lines disagree
// ("550-no" then "250 ok") says nothing a command could accept. False once a
// line of the reply in progress has disagreed with its first line.
bool _TCustomSmtpClient::ReplyCodesAgree(const SmtpStatus& status) {
    if (replyLines_ <= 1) {
        replyCode_ = status.code;
        replyAgrees_ = true;
    } else if (status.code != replyCode_) {
        replyAgrees_ = false;
    }
    return replyAgrees_;
}

// Runs the next part of a request (the next recipient, the next line of a
// message) from inside a socket notification, where no caller could catch its
// failure: a failure ends the request instead, so that the owner still gets
// its one notice.
void _TCustomSmtpClient::RunInsideNotification(Action action) {
    try {
        (this->*action)();
    } catch (const Exception& e) {
        FailLine(std::string("500 ") + e.ClassName() + ": " + e.what(), 500);
        errorCode_ = 500;
        inDataBody_ = false;
        RequestDone(500);  // nothing when the request had already ended
    }
}

void _TCustomSmtpClient::EndWithReplyTooLong() {
    FailLine(WinsockFailureLine(kReplyTooLong), 500);
    errorCode_ = kReplyTooLong;
    reader_.Clear();
    RequestDone(kReplyTooLong);
    socket_->Close();
}

// --- Completion ---------------------------------------------------------------

void _TCustomSmtpClient::RequestDone(int error) {
    if (requestDone_) return;
    requestDone_ = true;
    if (error == 0 && chained_) {
        if (state_ != ssAborting) SetState(ssBetweenSteps);
        NextStep(false);
        return;
    }
    SetState(ssReady);
    chained_ = false;
    PostRequestDone(error);
}

void _TCustomSmtpClient::PostRequestDone(int error) {
    const TSmtpRequest type = requestType_;
    const uint64_t epoch = abortEpoch_;
    socket_->Loop().Post([this, type, error, epoch, alive = token_.Weak()] {
        // A notice of a request that Abort abandoned is stale: drop it.
        if (alive.expired() || epoch != abortEpoch_) return;
        if (OnRequestDone) OnRequestDone(this, type, static_cast<uint16_t>(error));
    });
}

void _TCustomSmtpClient::Abort() {
    SetState(ssAborting);
    socket_->CancelDnsLookup();
    socket_->Abort();
    reader_.Clear();
    inDataBody_ = false;
    chained_ = false;
    requestDone_ = true;
    ++abortEpoch_;
    SetState(ssReady);
}

}  // namespace mv
