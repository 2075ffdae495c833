// Properties, connecting to the proxy and the requests of the handshake. The
// replies and the end of the handshake are in socks_socket_handshake.cpp.
#include "net/socks/socks_socket.h"

#include <arpa/inet.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/error/winsock_errors.h"
#include "platform/text/text_trim.h"

namespace mv {

_TCustomSocksSocket::_TCustomSocksSocket(MessageLoop& loop) : _TCustomAsyncSocket(loop) {}

_TCustomSocksSocket::~_TCustomSocksSocket() {
    CancelLookup();
}

// --- Properties -------------------------------------------------------------

void _TCustomSocksSocket::SetSocksServer(const std::string& value) {
    const std::string text = TrimBlanks(value);
    if (text == socksServer_) {
        return;
    }
    if (state() != wsClosed) {
        RaiseError("Can't change socks server if not closed");
        return;
    }
    socksServer_ = text;
    socksServerAssigned_ = !text.empty();
}

void _TCustomSocksSocket::SetSocksPort(const std::string& value) {
    const std::string text = TrimBlanks(value);
    if (text == socksPort_) {
        return;
    }
    if (state() != wsClosed) {
        RaiseError("Can't change socks port if not closed");
        return;
    }
    socksPort_ = text;
    socksPortAssigned_ = !text.empty();
}

void _TCustomSocksSocket::SetSocksLevel(const std::string& value) {
    const std::string level = value == "4a" ? "4A" : value;
    if (level == socksLevel_) {
        return;
    }
    if (state() != wsClosed) {
        RaiseError("Can't change socks level if not closed");
        return;
    }
    if (level != "4" && level != "4A" && level != "5") {
        RaiseError("Invalid socks level. Must be 4, 4A or 5.");
        return;
    }
    socksLevel_ = level;
}

SocksVersion _TCustomSocksSocket::Version() const {
    if (socksLevel_ == "4") {
        return SocksVersion::k4;
    }
    if (socksLevel_ == "4A") {
        return SocksVersion::k4A;
    }
    return SocksVersion::k5;
}

// --- Settings and events ----------------------------------------------------

void _TCustomSocksSocket::ResetSettings() {
    _TCustomAsyncSocket::ResetSettings();
    CancelLookup();
    proxyAddress_.reset();
    phase_ = SocksPhase::kNone;
    awaitingProxy_ = false;
    socksServer_.clear();
    socksPort_.clear();
    socksLevel_ = "5";
    leftover_.clear();
    socksPortAssigned_ = socksServerAssigned_ = false;
}

void _TCustomSocksSocket::FireSocksConnected(uint16_t error) {
    if (OnSocksConnected) {
        OnSocksConnected(this, error);
    }
}

void _TCustomSocksSocket::FireSocksError(int error, const std::string& msg) {
    if (OnSocksError) {
        OnSocksError(this, error, msg);
    }
}

void _TCustomSocksSocket::FireSocksAuthState(TSocksAuthState state) {
    if (OnSocksAuthState) {
        OnSocksAuthState(this, state);
    }
}

void _TCustomSocksSocket::FireDataSent(uint16_t error) {
    // The handshake's own requests are no data of the session.
    if (!SocksHandshaking()) {
        _TCustomAsyncSocket::FireDataSent(error);
    }
}

// --- Connecting -------------------------------------------------------------

void _TCustomSocksSocket::Connect() {
    // A refused call changes nothing: a handshake under way goes on.
    if ((HSocket() != INVALID_SOCKET || lookup_ != 0) && state() != wsClosed) {
        RaiseError("Connect: Socket already in use");
        return;
    }
    if (!portAssigned_) {
        return RaiseError("Connect: No Port Specified");
    }
    if (!addrAssigned_) {
        return RaiseError("Connect: No IP Address Specified");
    }
    EndHandshake();
    leftover_.clear();
    boundAddr_.clear();
    boundPort_.clear();
    if (!socksServerAssigned_) {
        _TCustomAsyncSocket::Connect();
        return;
    }
    if (strcasecmp(proto().c_str(), "tcp") != 0) {
        RaiseError("tcp is the only protocol supported thru socks server");
        return;
    }
    std::optional<SockAddr> proxy;
    try {
        // A level 5 request carries the name with a length byte.
        if (Version() == SocksVersion::k5 && Addr().size() > 255) {
            throw ESocketException("SocketResolveHost: '" + Addr() + "' Invalid Hostname.");
        }
        targetPortNetOrder_ = htons(static_cast<uint16_t>(ServicePortNumber(port(), proto())));
        proxyPort_ = static_cast<uint16_t>(ServicePortNumber(socksPort_, "tcp"));
        proxy = KnownProxyAddress();
    } catch (const Exception& e) {
        RaiseError(std::string("connect: ") + e.what());
        return;
    }
    phase_ = SocksPhase::kMethod;
    reader_.Start(Version(), SocksPhase::kNone);
    connectOwed_ = awaitingProxy_ = true;
    if (proxy) {
        ConnectToProxy(*proxy);
        return;
    }
    // The connection is under way from now on: its settings are fixed.
    GuardList::Scope guard(guards_);
    ChangeState(wsConnecting);
    if (!guard.Destroyed() && state() == wsConnecting) {
        StartLookup(Lookup::kProxy, socksServer_);
    }
}

void _TCustomSocksSocket::ConnectToProxy(const SockAddr& proxy) {
    // The connection goes to the proxy; the target travels in the requests.
    sin_.SetHost(proxy);
    sin_.SetPort(proxyPort_);
    portNumber_ = proxyPort_;
    addrResolved_ = portResolved_ = true;
    GuardList::Scope guard(guards_);
    try {
        _TCustomAsyncSocket::Connect();
    } catch (...) {
        if (!guard.Destroyed()) {
            EndHandshake();
        }
        throw;
    }
    if (guard.Destroyed()) {
        return;
    }
    // A connect that failed at once was reported by the layer below.
    if (HSocket() == INVALID_SOCKET || (state() != wsConnecting && state() != wsConnected)) {
        EndHandshake();
    }
}

void _TCustomSocksSocket::Listen() {
    if (socksServerAssigned_) {
        RaiseError("listening is not supported thru socks server");
        return;
    }
    _TCustomAsyncSocket::Listen();
}

void _TCustomSocksSocket::FireSessionConnected(uint16_t error) {
    if (!awaitingProxy_) {
        _TCustomAsyncSocket::FireSessionConnected(error);
        return;
    }
    // The TCP connection to the proxy is made (or failed).
    awaitingProxy_ = false;
    GuardList::Scope guard(guards_);
    FireSocksConnected(error);
    if (guard.Destroyed()) {
        return;
    }
    if (error != 0) {
        EndHandshake();
        _TCustomAsyncSocket::FireSessionConnected(error);
        return;
    }
    if (phase_ != SocksPhase::kMethod || state() != wsConnected) {
        return;  // closed meanwhile
    }
    StartHandshake();
}

void _TCustomSocksSocket::StartHandshake() {
    if (Version() != SocksVersion::k5) {
        SendConnectRequest();
        return;
    }
    requestedMethod_ =
        socksAuthentication_ == socksAuthenticateUsercode ? kSocksMethodUsercode : kSocksMethodNone;
    reader_.Start(SocksVersion::k5, SocksPhase::kMethod);
    SendRequest(SocksMethodRequest(requestedMethod_));
}

void _TCustomSocksSocket::SendConnectRequest() {
    const std::string ipv6 = CanonicalIPv6(Addr());
    std::string request;
    switch (Version()) {
        case SocksVersion::k4:
        case SocksVersion::k4A:
            if (!ipv6.empty()) {
                HandshakeFailed(
                    socks_error::kAddressType,
                    "the IPv6 address " + ipv6 + " needs SOCKS level 5, not " + socksLevel_);
                return;
            }
            if (Version() == SocksVersion::k4A) {
                request = Socks4AConnectRequest(targetPortNetOrder_, socksUsercode_, Addr());
                break;
            }
            if (!std::isdigit(static_cast<unsigned char>(Addr()[0]))) {
                StartLookup(Lookup::kTarget, Addr());  // the request follows with the address
                return;
            }
            try {
                SendLevel4Request(HostAddress(Addr()).V4().sin_addr);
            } catch (const Exception& e) {
                HandshakeFailed(socks_error::kLookup, std::string(e.ClassName()) + ": " + e.what());
            }
            return;
        case SocksVersion::k5:
            if (ipv6.empty()) {
                request = Socks5ConnectRequest(Addr(), targetPortNetOrder_);
            } else {
                request =
                    Socks5ConnectRequest(HostAddress(ipv6).V6().sin6_addr, targetPortNetOrder_);
            }
            break;
    }
    phase_ = SocksPhase::kConnect;
    reader_.Start(Version(), SocksPhase::kConnect);
    SendRequest(request);
}

void _TCustomSocksSocket::SendLevel4Request(in_addr target) {
    phase_ = SocksPhase::kConnect;
    reader_.Start(Version(), SocksPhase::kConnect);
    SendRequest(Socks4ConnectRequest(targetPortNetOrder_, target.s_addr, socksUsercode_));
}

bool _TCustomSocksSocket::SendRequest(const std::string& bytes) {
    GuardList::Scope guard(guards_);
    const uint64_t connection = ConnectionId();
    int sent = -1;
    std::string failure;
    try {
        sent = Send(bytes.data(), static_cast<int>(bytes.size()));
    } catch (const Exception& e) {
        failure = e.what();
    }
    if (guard.Destroyed()) {
        return false;
    }
    if (sent >= 0 && ConnectionId() == connection) {
        return true;
    }
    // Unless the close that ended the send has already told the user.
    if (connectOwed_) {
        const int code = LastError() != 0 ? LastError() : wsa::kNotConn;
        HandshakeFailed(code, failure.empty() ? "data send error" : failure);
    }
    return false;
}

}  // namespace mv
