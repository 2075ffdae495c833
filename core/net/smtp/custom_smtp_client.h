// An event-driven SMTP client: each request sends one command (or starts a
// short chain of commands) and returns at once; the outcome arrives later as
// OnRequestDone with the request type and an error code (0, a reply code that
// the command does not accept, or a socket error number).
//
// OnRequestDone is always posted through the message loop and raised later,
// never inside the call that started or ended the request. Every notice
// carries the identity of the request it belongs to: a notice of a request
// that Abort abandoned is dropped, so an owner only ever sees notices of the
// request it is waiting for.
//
// Lifetime: the client is never freed inside one of its own events; an owner
// that ends it there retires it with MessageLoop::DeleteLater (see the rule
// in message_loop.h). So nothing here asks whether it still exists.
//
// A server cannot hang or crash the client: a reply line that does not fit
// the 4096-byte buffer, or a reply of more than 100 lines, ends the request
// with 10040 ("Message too long") and closes the connection; a reply line
// without a valid status code, or a reply whose lines carry different codes,
// counts as a failure with 500.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/line/async_socket.h"
#include "net/smtp/smtp_exception.h"
#include "net/smtp/smtp_reply_reader.h"
#include "net/socks/socks_proxy.h"

namespace mv {

enum TSmtpRequest : int {
    smtpConnect,
    smtpHelo,
    smtpMailFrom,
    smtpVrfy,
    smtpRcptTo,
    smtpData,
    smtpQuit,
    smtpRset,
    smtpOpen,
    smtpMail
};

enum TSmtpState : int {
    ssReady,
    ssLookingUp,
    ssConnecting,
    ssConnected,
    ssBetweenSteps,
    ssAwaitingGreeting,
    ssAwaitingReply,
    ssAborting
};

enum TSmtpContentType : int { smtpHTML, smtpPlainText };

class _TCustomSmtpClient {
  public:
    using TRequestDone =
        std::function<void(_TCustomSmtpClient* Sender, TSmtpRequest RqType, uint16_t Error)>;
    using TTextEvent = std::function<void(_TCustomSmtpClient* Sender, const std::string& Msg)>;
    // Asks for body line LineNum (from 1); the handler writes at most MaxLen
    // characters into MsgLine and clears More when there is no such line.
    using TGetDataEvent = std::function<void(_TCustomSmtpClient* Sender, int LineNum,
                                             std::string& MsgLine, int MaxLen, bool& More)>;
    using THeaderLineEvent =
        std::function<void(_TCustomSmtpClient* Sender, std::string& Msg, int Size)>;
    using TProcessHeaderEvent =
        std::function<void(_TCustomSmtpClient* Sender, std::vector<std::string>& HdrLines)>;

    // A reply of more lines than this ends the request.
    static constexpr int kMaxReplyLines = 100;
    // The error code of a request ended by a reply too long to read.
    static constexpr int kReplyTooLong = 10040;

    explicit _TCustomSmtpClient(MessageLoop& loop = MessageLoop::Current());
    virtual ~_TCustomSmtpClient();
    _TCustomSmtpClient(const _TCustomSmtpClient&) = delete;
    _TCustomSmtpClient& operator=(const _TCustomSmtpClient&) = delete;

    // --- Properties -------------------------------------------------------
    const std::string& Host() const { return host_; }
    void SetHost(const std::string& v) { host_ = v; }
    const std::string& Port() const { return port_; }
    void SetPort(const std::string& v) { port_ = v; }
    const std::string& SignOn() const { return signOn_; }
    void SetSignOn(const std::string& v) { signOn_ = v; }
    const std::string& FromName() const { return fromName_; }
    void SetFromName(const std::string& v) { fromName_ = v; }
    const std::vector<std::string>& RcptName() const { return rcptName_; }
    void SetRcptName(const std::vector<std::string>& v) { rcptName_ = v; }
    const std::string& HdrFrom() const { return hdrFrom_; }
    void SetHdrFrom(const std::string& v) { hdrFrom_ = v; }
    const std::string& HdrTo() const { return hdrTo_; }
    void SetHdrTo(const std::string& v) { hdrTo_ = v; }
    const std::string& HdrSubject() const { return hdrSubject_; }
    void SetHdrSubject(const std::string& v) { hdrSubject_ = v; }
    const std::string& CharSet() const { return charSet_; }
    void SetCharSet(const std::string& v) { charSet_ = v; }
    TSmtpContentType ContentType() const { return contentType_; }
    void SetContentType(TSmtpContentType v);
    const std::string& ErrorMessage() const { return errorMessage_; }
    const std::string& LastResponse() const { return lastResponse_; }
    int Tag() const { return tag_; }
    void SetTag(int v) { tag_ = v; }
    TSmtpState State() const { return state_; }
    bool Connected() const { return connected_; }
    TSmtpRequest RequestType() const { return requestType_; }
    int StatusCode() const { return statusCode_; }
    // The socket, for its settings (a proxy, for example) and for tests.
    _TAsyncSocket& Socket() { return *socket_; }
    // Every connection goes through this proxy (none by default). A proxy that
    // cannot be reached or refuses ends the request with the socket error or
    // the SOCKS error number, after an OnResponse line that says so.
    const SocksProxy& Proxy() const { return proxy_; }
    void SetProxy(const SocksProxy& proxy);
    // Which addresses of a Host name a connection may take: IPv4 alone (the
    // default, and a name without an IPv4 address fails with 11004), IPv6 too
    // when the name has no IPv4 address, or IPv6 first. A numeric Host is
    // what it says.
    HostFamilies Families() const { return families_; }
    void SetFamilies(HostFamilies value) { families_ = value; }
    // Greet with EHLO instead of HELO (Helo and the Open chain; default off).
    bool Ehlo() const { return ehlo_; }
    void SetEhlo(bool value) { ehlo_ = value; }
    // Parameters after MAIL FROM:<...>, such as "SMTPUTF8"; empty (the
    // default): none.
    const std::string& MailParameters() const { return mailParameters_; }
    void SetMailParameters(const std::string& value) { mailParameters_ = value; }

    // --- Events -----------------------------------------------------------
    TRequestDone OnRequestDone;
    TTextEvent OnCommand;
    TTextEvent OnResponse;
    TTextEvent OnDisplay;
    TGetDataEvent OnGetData;
    THeaderLineEvent OnHeaderLine;
    TProcessHeaderEvent OnProcessHeader;

    // --- Requests ---------------------------------------------------------
    virtual void Connect();
    virtual void Helo();
    virtual void Vrfy();
    virtual void MailFrom();
    virtual void RcptTo();
    virtual void Data();
    virtual void Quit();
    virtual void Rset();
    virtual void Abort();
    virtual void Open();
    virtual void Mail();

  protected:
    using Action = void (_TCustomSmtpClient::*)();
    enum Step : unsigned {
        kStepConnect = 1,
        kStepHelo = 2,
        kStepVrfy = 4,
        kStepMailFrom = 8,
        kStepRcptTo = 16,
        kStepData = 32,
        kStepQuit = 64
    };

    virtual void FireDisplay(const std::string& msg);
    void Display(std::string_view prefix, const std::string& text);
    virtual void FireCommand(const std::string& msg);
    virtual void FireResponse(const std::string& msg);
    virtual void RequestDone(int error);
    virtual void FireStateChange(TSmtpState oldState, TSmtpState newState) {}
    // Returns false when there is no such line (More cleared).
    virtual bool FireGetData(int lineNum, std::string& line, int maxLen);
    virtual void FireHeaderLine(std::string& line, int size);
    virtual void FireProcessHeader(std::vector<std::string>& lines);
    virtual void FireSessionConnected(int error) {}
    virtual void FireSessionClosed(int error) {}
    virtual void SendCommand(const std::string& text);
    // Body lines of a message before the owner's lines (attachment parts).
    virtual void BuildHeaderLines();

    // Sends a command expecting one of `codes` (empty: below 500 succeeds);
    // `after` runs instead of finishing the request when the reply is complete.
    void ExecCommand(TSmtpRequest type, const std::string& text, std::initializer_list<int> codes,
                     Action after = nullptr);
    void SetState(TSmtpState s, bool notify = true);
    void CheckReady() const;
    void StartChain(TSmtpRequest type, unsigned steps);
    void NextStep(bool fromCaller);
    // The constructed "500 ..." line of a local failure.
    void FailLine(const std::string& text, int statusCode);
    void SendDataLine(const std::string& line);

    std::vector<std::string> headerLines_;
    int itemIndex_ = 0;
    int bodyLineNumber_ = 0;
    bool moreBody_ = false;

  private:
    void OnLookupDone(uint16_t error);
    void OnSocketConnected(uint16_t error);
    void OnSocketClosed(uint16_t error);
    void OnSocketData();
    void OnDataSent();
    bool HandleLine(const std::string& line);
    bool HandleGreetingLine(const std::string& line);
    void HandleReplyLine(const std::string& line);
    bool ReplyCodesAgree(const SmtpStatus& status);
    void RunInsideNotification(Action action);
    void EndWithReplyTooLong();
    void AfterRcpt();
    void AfterDataCommand();
    void SendNextMessageLine();
    void PostRequestDone(int error);
    void ProxyFailed(const std::string& what);

    std::unique_ptr<_TAsyncSocket> socket_;
    SocksProxy proxy_;
    HostFamilies families_ = HostFamilies::kIPv4Only;
    bool ehlo_ = false;
    std::string mailParameters_;
    std::string proxyFailure_;  // the proxy's refusal of the connection under way
    std::string host_;
    std::string port_ = "smtp";
    std::string signOn_;
    std::string fromName_;
    std::vector<std::string> rcptName_;
    std::string hdrFrom_, hdrTo_, hdrSubject_;
    std::string charSet_ = "iso-8859-1";
    TSmtpContentType contentType_ = smtpPlainText;
    std::string contentTypeText_ = "text/plain";
    std::string errorMessage_;
    std::string lastResponse_;
    // The command line as it goes to the socket, kept so that its room is
    // reused from one command to the next.
    std::string commandLine_;
    int tag_ = 0;

    TSmtpRequest requestType_ = smtpConnect;
    bool requestDone_ = true;
    int errorCode_ = 0;
    int statusCode_ = 0;
    SmtpReplyReader reader_;
    int replyLines_ = 0;
    int replyCode_ = 0;        // the code of the first line of the reply in progress
    bool replyAgrees_ = true;  // its later lines have all had that code
    unsigned steps_ = 0;
    bool chained_ = false;
    std::vector<int> acceptedCodes_;
    Action afterReply_ = nullptr;
    TSmtpState state_ = ssReady;
    bool connected_ = false;
    bool inDataBody_ = false;
    uint64_t abortEpoch_ = 0;
    WeakToken token_;
};

}  // namespace mv
