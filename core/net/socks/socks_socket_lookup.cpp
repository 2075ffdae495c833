// The names the proxy layer looks up, on the message loop: the proxy's own
// (shared by the connections of a check run) and, at level 4, the target's.
#include <cctype>

#include "net/socket/socket_error_text.h"
#include "net/socks/socks_socket.h"
#include "platform/error/winsock_errors.h"
#include "platform/resolver/host_resolver.h"

namespace mv {

namespace {

// The mark of a lookup whose answer the run already had: no resolver lookup
// stands behind it, only a message posted to this socket.
constexpr uint64_t kAnswerKnown = UINT64_MAX;

bool LooksNumeric(const std::string& host) {
    return host.find(':') != std::string::npos ||
           (!host.empty() && std::isdigit(static_cast<unsigned char>(host[0])));
}

}  // namespace

std::optional<SockAddr> _TCustomSocksSocket::KnownProxyAddress() const {
    // Numbers are read as before; one that does not parse fails here.
    if (LooksNumeric(socksServer_)) return HostAddress(socksServer_);
    if (proxyAddress_ && proxyAddress_->done && proxyAddress_->error == 0 &&
        proxyAddress_->server == socksServer_)
        return SockAddr::FromNumeric(proxyAddress_->address);
    return std::nullopt;
}

void _TCustomSocksSocket::StartLookup(Lookup what, const std::string& name) {
    lookingUp_ = what;
    // A failure the run already met is told again without asking again.
    if (what == Lookup::kProxy && proxyAddress_ && proxyAddress_->done &&
        proxyAddress_->server == name) {
        lookup_ = kAnswerKnown;
        TSocketMessage msg;
        msg.kind = TSocketMessage::kSocksLookupDone;
        msg.lookup = kAnswerKnown;
        msg.error = proxyAddress_->error != 0 ? proxyAddress_->error : wsa::kNoData;
        PostMessage(std::move(msg));
        return;
    }
    lookup_ = network_layer::Resolver().LookupHost(
        name, [this, alive = token_.Weak()](int error, const HostAddresses& addresses) {
            if (!alive.expired())
                DispatchLookup(TSocketMessage::kSocksLookupDone, lookup_, error, addresses);
        });
}

void _TCustomSocksSocket::CancelLookup() {
    if (lookup_ != 0 && lookup_ != kAnswerKnown) network_layer::Resolver().Cancel(lookup_);
    lookup_ = 0;
    lookingUp_ = Lookup::kNone;
}

void _TCustomSocksSocket::HandleMessage(TSocketMessage& msg) {
    if (msg.kind != TSocketMessage::kSocksLookupDone) {
        _TCustomAsyncSocket::HandleMessage(msg);
        return;
    }
    if (msg.lookup == 0 || msg.lookup != lookup_) return;  // cancelled meanwhile
    const Lookup what = lookingUp_;
    lookup_ = 0;
    lookingUp_ = Lookup::kNone;
    if (what == Lookup::kProxy) {
        ProxyFound(msg.error, msg.addresses);
    } else if (what == Lookup::kTarget) {
        TargetFound(msg.error, msg.addresses);
    }
}

void _TCustomSocksSocket::ProxyFound(int error, const HostAddresses& addresses) {
    const std::string address = addresses.Preferred(false);
    if (error == 0 && address.empty()) error = wsa::kNoData;
    if (proxyAddress_ && !proxyAddress_->done)
        *proxyAddress_ = {true, socksServer_, error, address};
    if (error != 0) {
        HandshakeFailed(
            socks_error::kProxyLookup,
            "proxy host name lookup failed: '" + socksServer_ + "': " + SocketErrorText(error));
        return;
    }
    GuardList::Scope guard(guards_);
    std::string failure;
    int code = 0;
    try {
        ConnectToProxy(*SockAddr::FromNumeric(address));
    } catch (const ESocketException& e) {
        failure = e.what();
        code = e.ErrorCode();
    }
    if (guard.Destroyed() || (failure.empty() && HSocket() != INVALID_SOCKET)) return;
    // No connection could be started: the user, waiting for the connect's
    // outcome, hears it as the handshake's failure.
    connectOwed_ = true;
    const int reported = code != 0 ? code : LastError() != 0 ? LastError() : wsa::kInvalidArgument;
    HandshakeFailed(reported, failure.empty() ? SocketErrorText(reported) : failure);
}

void _TCustomSocksSocket::TargetFound(int error, const HostAddresses& addresses) {
    if (error == 0 && !addresses.ipv4.empty()) {
        in_addr target{};
        target.s_addr = SockAddr::FromNumeric(addresses.ipv4.front())->V4().sin_addr.s_addr;
        SendLevel4Request(target);
    } else if (error == 0 && !addresses.ipv6.empty()) {
        HandshakeFailed(socks_error::kAddressType,
                        "'" + Addr() + "' has only IPv6 addresses, which need SOCKS level 5");
    } else {
        HandshakeFailed(
            socks_error::kLookup,
            "ESocketException: SocketResolveHost: Cannot convert host address '" + Addr() + "'");
    }
}

}  // namespace mv
