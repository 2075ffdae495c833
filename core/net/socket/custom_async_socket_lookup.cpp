// Name lookup of the asynchronous socket: forward and reverse, on the
// thread's resolver, the result always a later notification except for a
// numeric address.
#include <arpa/inet.h>

#include "net/socket/custom_async_socket.h"
#include "platform/error/winsock_errors.h"
#include "platform/resolver/host_resolver.h"

namespace mv {

void _TCustomAsyncSocket::DispatchLookup(TSocketMessage::Kind kind, uint64_t lookup, int error,
                                         HostAddresses addresses,
                                         std::vector<std::string> results) {
    TSocketMessage msg;
    msg.kind = kind;
    msg.lookup = lookup;
    msg.error = error;
    msg.addresses = std::move(addresses);
    msg.results = std::move(results);
    Dispatch(msg);
}

void _TCustomAsyncSocket::DnsLookup(const std::string& hostName) {
    if (hostName.empty()) {
        RaiseError("DNS lookup: invalid host name.");
        FireDnsLookupDone(wsa::kInvalidArgument);
        return;
    }
    StartLookup(hostName, false);
}

void _TCustomAsyncSocket::ReverseDnsLookup(const std::string& hostAddr) {
    if (hostAddr.empty()) {
        RaiseError("DNS lookup: invalid host name.");
        FireDnsLookupDone(wsa::kInvalidArgument);
        return;
    }
    StartLookup(hostAddr, true);
}

void _TCustomAsyncSocket::StartLookup(const std::string& name, bool reverse) {
    if (pendingLookup_ != 0) {
        network_layer::Resolver().Cancel(pendingLookup_);
        pendingLookup_ = 0;
    }
    dnsResult_.clear();
    dnsResultList_.clear();
    dnsAddresses_ = {};
    // A numeric address is its own answer, at once: a dotted quad in any form
    // inet_aton reads, or an IPv6 address.
    if (!reverse) {
        in_addr parsed{};
        std::string v6 = CanonicalIPv6(name);
        if (inet_aton(name.c_str(), &parsed) != 0) {
            dnsAddresses_.ipv4.emplace_back(inet_ntoa(parsed));
        } else if (!v6.empty()) {
            dnsAddresses_.ipv6.push_back(std::move(v6));
        }
        if (!dnsAddresses_.Empty()) {
            dnsResult_ = dnsAddresses_.Preferred(false);
            FireDnsLookupDone(0);
            return;
        }
    }
    if (!reverse) return StartForwardLookup(name, families_ == HostFamilies::kIPv6First);
    pendingLookup_ = network_layer::Resolver().LookupReverse(
        name, [this, alive = token_.Weak()](int err, const std::vector<std::string>& results) {
            if (!alive.expired())
                DispatchLookup(TSocketMessage::kReverseLookupDone, pendingLookup_, err, {},
                               results);
        });
    if (pendingLookup_ == 0) {
        RaiseErrorFmt("%s: can't start DNS lookup, error #%d", name, wsa::kInvalidArgument);
    }
}

// Both families at once when IPv6 comes first. Otherwise the IPv4 addresses
// alone, as a checker of IPv4 hosts always asked, and, when the families
// allow it, the IPv6 addresses of a name that has no IPv4 address.
void _TCustomAsyncSocket::StartForwardLookup(const std::string& name, bool withIPv6) {
    lookupName_ = name;
    lookupWithIPv6_ = withIPv6;
    auto deliver = [this, alive = token_.Weak()](int err, HostAddresses addresses) {
        if (!alive.expired())
            DispatchLookup(TSocketMessage::kLookupDone, pendingLookup_, err, std::move(addresses));
    };
    HostResolver& resolver = network_layer::Resolver();
    if (withIPv6) {
        pendingLookup_ = resolver.LookupHost(name, deliver);
    } else {
        pendingLookup_ =
            resolver.LookupForward(name, [deliver](int err, const std::vector<std::string>& ipv4) {
                deliver(err, HostAddresses{ipv4, {}});
            });
    }
}

void _TCustomAsyncSocket::HandleLookupDone(TSocketMessage& msg) {
    if (msg.lookup == 0 || msg.lookup != pendingLookup_) return;
    pendingLookup_ = 0;
    if (msg.kind == TSocketMessage::kLookupDone && msg.error == wsa::kNoData && !lookupWithIPv6_ &&
        families_ == HostFamilies::kIPv6WhenNoIPv4) {
        // The name exists without an IPv4 address: it may have IPv6 ones.
        return StartForwardLookup(lookupName_, true);
    }
    if (msg.error == 0 && msg.kind == TSocketMessage::kReverseLookupDone) {
        dnsResultList_ = msg.results;
        dnsResult_ = msg.results.empty() ? std::string() : msg.results.front();
    } else if (msg.error == 0) {
        dnsResultList_ = msg.addresses.Ordered(false);
        dnsResult_ = msg.addresses.Preferred(false);
        dnsAddresses_ = std::move(msg.addresses);
    }
    FireDnsLookupDone(static_cast<uint16_t>(msg.error));
}

void _TCustomAsyncSocket::CancelDnsLookup() {
    if (pendingLookup_ == 0) return;
    network_layer::Resolver().Cancel(pendingLookup_);
    pendingLookup_ = 0;
    if (!destroying_) FireDnsLookupDone(wsa::kInterrupted);
}

}  // namespace mv
