// Connection through a SOCKS proxy (levels 4, 4A and 5, with user-code
// authentication on level 5): the layer of the socket that, when a proxy is
// set, connects to the proxy, runs the handshake on the connection and only
// then reports the session as connected. Without a proxy every call passes
// through unchanged.
//
// While the handshake runs the layer consumes the incoming bytes itself; bytes
// the proxy's last reply brought along from the target are kept and handed
// out first by the next receive. Every outcome of the handshake ends either in
// OnSessionConnected (0) or in OnSocksError, OnSessionConnected with the same
// error number and the close.
//
// Names are looked up on the message loop, never by a blocking call: the
// proxy's (once per check run when the connections share a
// SocksProxyAddress; a failure is error 20018) and, at level 4, the target's
// (20017). An IPv6 target goes to a level 5 proxy as an address; levels 4
// and 4A cannot carry one and fail with 20011.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "net/socket/custom_async_socket.h"
#include "net/socks/socks_proxy.h"
#include "net/socks/socks_reply.h"

namespace mv {

enum TSocksAuthentication : int { socksNoAuthentication, socksAuthenticateUsercode };
// Reported by OnSocksAuthState.
enum TSocksAuthState : int {
    socksAuthStart,
    socksAuthSuccess,
    socksAuthFailure,
    socksAuthNotRequired
};

class _TCustomSocksSocket : public _TCustomAsyncSocket {
  public:
    using TSocksErrorEvent =
        std::function<void(_TCustomAsyncSocket* Sender, int Error, const std::string& msg)>;
    using TSocksAuthStateEvent =
        std::function<void(_TCustomAsyncSocket* Sender, TSocksAuthState AuthState)>;

    explicit _TCustomSocksSocket(MessageLoop& loop = MessageLoop::Current());
    ~_TCustomSocksSocket() override;
    _TCustomSocksSocket(const _TCustomSocksSocket&) = delete;
    _TCustomSocksSocket& operator=(const _TCustomSocksSocket&) = delete;

    // --- Properties -------------------------------------------------------
    const std::string& SocksServer() const { return socksServer_; }
    virtual void SetSocksServer(const std::string& value);
    const std::string& SocksLevel() const { return socksLevel_; }
    void SetSocksLevel(const std::string& value);
    const std::string& SocksPort() const { return socksPort_; }
    virtual void SetSocksPort(const std::string& value);
    const std::string& SocksUsercode() const { return socksUsercode_; }
    void SetSocksUsercode(const std::string& value) { socksUsercode_ = value; }
    const std::string& SocksPassword() const { return socksPassword_; }
    void SetSocksPassword(const std::string& value) { socksPassword_ = value; }
    TSocksAuthentication SocksAuthentication() const { return socksAuthentication_; }
    void SetSocksAuthentication(TSocksAuthentication value) { socksAuthentication_ = value; }
    // What the proxy reported as its end of the relayed connection (level 5).
    const std::string& BoundAddr() const { return boundAddr_; }
    const std::string& BoundPort() const { return boundPort_; }
    // Where the proxy's address is shared with other connections (see
    // SocksProxy::found); forgotten at every close, like the proxy itself.
    void SetSocksProxyAddress(std::shared_ptr<SocksProxyAddress> found) {
        proxyAddress_ = std::move(found);
    }

    // --- Events -----------------------------------------------------------
    TSocksErrorEvent OnSocksError;
    TErrorEvent OnSocksConnected;  // the TCP connection to the proxy is made or failed
    TSocksAuthStateEvent OnSocksAuthState;

    // --- Operations -------------------------------------------------------
    void Connect() override;
    void Listen() override;
    int GetRcvdCount() override;

  protected:
    virtual void FireSocksConnected(uint16_t error);
    virtual void FireSocksError(int error, const std::string& msg);

    void HandleMessage(TSocketMessage& msg) override;
    void ResetSettings() override;
    void FireSessionConnected(uint16_t error) override;
    void FireSessionClosed(uint16_t error) override;
    bool FireDataAvailable(uint16_t error) override;
    void FireDataSent(uint16_t error) override;
    int RecvRaw(void* buffer, int bufferSize) override;

    // True while the proxy handshake owns the connection's incoming bytes.
    bool SocksHandshaking() const { return phase_ != SocksPhase::kNone; }

  private:
    enum class Lookup { kNone, kProxy, kTarget };

    SocksVersion Version() const;
    // The proxy's address when it is known without a lookup: numeric, or
    // found earlier in the run. ESocketException for a malformed number.
    std::optional<SockAddr> KnownProxyAddress() const;
    // Opens the TCP connection to the proxy at `proxy`.
    void ConnectToProxy(const SockAddr& proxy);
    void StartLookup(Lookup what, const std::string& name);
    void CancelLookup();
    void ProxyFound(int error, const HostAddresses& addresses);
    void TargetFound(int error, const HostAddresses& addresses);
    void StartHandshake();
    void SendConnectRequest();
    void SendLevel4Request(in_addr target);
    // Sends a request; false when the socket ended or went away meanwhile.
    bool SendRequest(const std::string& bytes);
    void ConsumeHandshakeData();
    void HandleReply(const SocksReply& reply);
    void HandshakeDone();
    // Reports a failed handshake (auth state, OnSocksError, OnSessionConnected
    // with the error); false when a handler destroyed the socket.
    bool ReportFailure(int error, const std::string& msg);
    void HandshakeFailed(int error, const std::string& msg);  // reports, then closes
    void EndHandshake();
    void FireSocksAuthState(TSocksAuthState state);

    SocksPhase phase_ = SocksPhase::kNone;
    std::string socksServer_;
    std::string socksLevel_ = "5";
    std::string socksPort_;
    bool socksPortAssigned_ = false;
    bool socksServerAssigned_ = false;
    std::string socksUsercode_;
    std::string socksPassword_;
    TSocksAuthentication socksAuthentication_ = socksNoAuthentication;
    uint8_t requestedMethod_ = kSocksMethodNone;
    uint16_t targetPortNetOrder_ = 0;
    uint16_t proxyPort_ = 0;
    std::shared_ptr<SocksProxyAddress> proxyAddress_;
    uint64_t lookup_ = 0;  // the pending lookup of a name
    Lookup lookingUp_ = Lookup::kNone;
    WeakToken token_;
    std::string boundAddr_;
    std::string boundPort_;
    SocksReplyReader reader_;
    std::string leftover_;  // target bytes that came with the proxy's reply
    // The session still owes its user an OnSessionConnected: set when the
    // handshake starts, cleared when it ends either way.
    bool connectOwed_ = false;
    bool awaitingProxy_ = false;  // the TCP connection to the proxy is not made yet
};

}  // namespace mv
