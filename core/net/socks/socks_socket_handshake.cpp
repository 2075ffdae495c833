// The proxy's replies during the handshake, the end of the handshake either
// way, and the bytes that came behind the last reply.
#include <algorithm>
#include <cstring>

#include "net/socks/socks_socket.h"
#include "platform/error/winsock_errors.h"

namespace mv {

namespace {

// The text of a connection that ended before the proxy's last reply.
constexpr const char* kReceiveError = "data receive error";

}  // namespace

// --- Replies ----------------------------------------------------------------

bool _TCustomSocksSocket::FireDataAvailable(uint16_t error) {
    if (!SocksHandshaking()) {
        return _TCustomAsyncSocket::FireDataAvailable(error);
    }
    ConsumeHandshakeData();
    return true;
}

void _TCustomSocksSocket::ConsumeHandshakeData() {
    GuardList::Scope guard(guards_);
    const uint64_t connection = ConnectionId();
    while (SocksHandshaking() && connection != 0 && ConnectionId() == connection) {
        uint8_t chunk[1024];
        const int n = _TCustomAsyncSocket::RecvRaw(chunk, sizeof chunk);
        if (n < 0 && LastError() == wsa::kWouldBlock) {
            return;
        }
        if (n <= 0) {
            // End of stream or a failed receive before the reply was complete.
            HandshakeFailed(n == 0 ? wsa::kConnReset : LastError(), kReceiveError);
            return;
        }
        const SocksReply reply = reader_.Feed(chunk, static_cast<size_t>(n));
        if (reply.status == SocksReply::kIncomplete) {
            continue;
        }
        HandleReply(reply);
        if (guard.Destroyed()) {
            return;
        }
    }
}

void _TCustomSocksSocket::HandleReply(const SocksReply& reply) {
    if (reply.status == SocksReply::kFailed) {
        HandshakeFailed(reply.error, reply.message);
        return;
    }
    GuardList::Scope guard(guards_);
    switch (phase_) {
        case SocksPhase::kMethod:
            if (reply.method == kSocksMethodUsercode) {
                phase_ = SocksPhase::kAuth;
                reader_.Start(SocksVersion::k5, SocksPhase::kAuth);
                FireSocksAuthState(socksAuthStart);
                if (guard.Destroyed() || phase_ != SocksPhase::kAuth) {
                    return;
                }
                SendRequest(SocksUsercodeRequest(socksUsercode_, socksPassword_));
                return;
            }
            if (requestedMethod_ != kSocksMethodNone) {
                FireSocksAuthState(socksAuthNotRequired);
                if (guard.Destroyed() || phase_ != SocksPhase::kMethod) {
                    return;
                }
            }
            SendConnectRequest();
            return;
        case SocksPhase::kAuth:
            FireSocksAuthState(socksAuthSuccess);
            if (guard.Destroyed() || phase_ != SocksPhase::kAuth) {
                return;
            }
            SendConnectRequest();
            return;
        case SocksPhase::kConnect:
            boundAddr_ = reply.boundAddr;
            boundPort_ = reply.boundPort;
            leftover_ = reader_.Leftover();
            HandshakeDone();
            return;
        case SocksPhase::kNone:
            break;
    }
    HandshakeFailed(socks_error::kInternal, "internal error");
}

void _TCustomSocksSocket::HandshakeDone() {
    EndHandshake();
    GuardList::Scope guard(guards_);
    const uint64_t connection = ConnectionId();
    _TCustomAsyncSocket::FireSessionConnected(0);
    if (guard.Destroyed() || ConnectionId() != connection || leftover_.empty()) {
        return;
    }
    // Target bytes that came with the reply: the layers above see them first.
    FireDataAvailable(0);
}

void _TCustomSocksSocket::EndHandshake() {
    CancelLookup();
    phase_ = SocksPhase::kNone;
    connectOwed_ = awaitingProxy_ = false;
}

bool _TCustomSocksSocket::ReportFailure(int error, const std::string& msg) {
    const bool inAuth = phase_ == SocksPhase::kAuth;
    EndHandshake();
    GuardList::Scope guard(guards_);
    if (inAuth) {
        FireSocksAuthState(socksAuthFailure);
        if (guard.Destroyed()) {
            return false;
        }
    }
    FireSocksError(error, msg);
    if (guard.Destroyed()) {
        return false;
    }
    _TCustomAsyncSocket::FireSessionConnected(static_cast<uint16_t>(error));
    return !guard.Destroyed();
}

void _TCustomSocksSocket::HandshakeFailed(int error, const std::string& msg) {
    if (ReportFailure(error, msg)) {
        CloseConnection(true, error);
    }
}

void _TCustomSocksSocket::FireSessionClosed(uint16_t error) {
    GuardList::Scope guard(guards_);
    if (connectOwed_ && error != 0) {
        // The connection ended under the handshake (a reset met by a send).
        if (!ReportFailure(error, kReceiveError)) {
            return;
        }
    } else if (phase_ == SocksPhase::kAuth) {
        FireSocksAuthState(socksAuthFailure);
        if (guard.Destroyed()) {
            return;
        }
    }
    EndHandshake();
    _TCustomAsyncSocket::FireSessionClosed(error);
}

// --- Receiving --------------------------------------------------------------

int _TCustomSocksSocket::GetRcvdCount() {
    if (!leftover_.empty()) {
        return static_cast<int>(leftover_.size());
    }
    return _TCustomAsyncSocket::GetRcvdCount();
}

int _TCustomSocksSocket::RecvRaw(void* buffer, int bufferSize) {
    if (leftover_.empty() || bufferSize <= 0) {
        return _TCustomAsyncSocket::RecvRaw(buffer, bufferSize);
    }
    const size_t n = std::min(leftover_.size(), static_cast<size_t>(bufferSize));
    std::memcpy(buffer, leftover_.data(), n);
    leftover_.erase(0, n);
    Notifier().Received();  // reading on: the next readable notification may come
    return static_cast<int>(n);
}

}  // namespace mv
