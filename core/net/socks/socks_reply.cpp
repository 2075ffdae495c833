#include "net/socks/socks_reply.h"

#include <arpa/inet.h>

#include <cstdio>

namespace mv {

namespace {

SocksReply Failed(int error, std::string message) {
    SocksReply r;
    r.status = SocksReply::kFailed;
    r.error = error;
    r.message = std::move(message);
    return r;
}

SocksReply Complete(size_t length) {
    SocksReply r;
    r.status = SocksReply::kComplete;
    r.length = length;
    return r;
}

SocksReply ParseMethodReply(SocksVersion version, const uint8_t* data, size_t size) {
    if (version != SocksVersion::k5) {
        return Failed(socks_error::kLogic, "Socket logic error");
    }
    if (size > 2) {
        return Failed(socks_error::kLogic, "too much data availaible");
    }
    if (size >= 1 && data[0] != 5) {
        return Failed(socks_error::kVersion, "socks version error");
    }
    if (size < 2) {
        return {};
    }
    if (data[1] != kSocksMethodNone && data[1] != kSocksMethodUsercode) {
        return Failed(socks_error::kMethod, "authentification method not acceptable");
    }
    SocksReply r = Complete(2);
    r.method = data[1];
    return r;
}

// The status arrives as the second byte; both bytes are needed to judge it.
SocksReply ParseAuthReply(const uint8_t* data, size_t size) {
    if (size >= 1 && data[0] != kSocksUsercodeVersion) {
        return Failed(socks_error::kVersion, "socks version error");
    }
    if (size < 2) {
        return {};
    }
    if (size > 2) {
        return Failed(socks_error::kLogic, "too much data availaible");
    }
    if (data[1] != 0) {
        return Failed(socks_error::kAuthFailed, "socks authentication failed");
    }
    return Complete(2);
}

SocksReply ParseConnect4Reply(const uint8_t* data, size_t size) {
    if (size >= 1 && data[0] != 0) {
        return Failed(socks_error::kVersion, "socks version error");
    }
    if (size < 2) {
        return {};
    }
    switch (data[1]) {
        case 90:
            return size < 8 ? SocksReply{} : Complete(8);
        case 91:
            return Failed(socks_error::kRejected, "request rejected or failed");
        case 92:
            return Failed(socks_error::kConnectionRefused, "connection refused");
        case 93:
            return Failed(socks_error::kAuthFailed, "authentification failed");
        default:
            return Failed(socks_error::kUnassigned, "unassigned error #" + std::to_string(data[1]));
    }
}

const char* const kSocks5Failures[] = {
    "general SOCKS server failure", "connection not allowed by ruleset",
    "network unreachable",          "host unreachable",
    "connection refused",           "time to live expired",
    "command not supported",        "address type not supported",
};

std::string PortText(const uint8_t* p) {
    return std::to_string((static_cast<unsigned>(p[0]) << 8) | p[1]);
}

SocksReply ParseConnect5Reply(const uint8_t* data, size_t size) {
    if (size >= 1 && data[0] != 5) {
        return Failed(socks_error::kVersion, "socks version error");
    }
    if (size < 2) {
        return {};
    }
    const uint8_t code = data[1];
    if (code >= 1 && code <= 8) {
        return Failed(socks_error::kGeneralFailure + code - 1, kSocks5Failures[code - 1]);
    }
    if (code != 0) {
        return Failed(socks_error::kUnassigned, "unassigned error #" + std::to_string(code));
    }
    if (size < 5) {
        return {};
    }
    size_t need = 0;
    switch (data[3]) {
        case 1:
            need = 10;
            break;
        case 3:
            need = 7 + static_cast<size_t>(data[4]);
            break;
        case 4:
            need = 22;
            break;
        default:
            return Failed(socks_error::kAddressType, "address type not supported");
    }
    if (size < need) {
        return {};
    }
    SocksReply r = Complete(need);
    if (data[3] == 1) {
        char text[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, data + 4, text, sizeof text);
        r.boundAddr = text;
    } else if (data[3] == 4) {
        char text[INET6_ADDRSTRLEN];
        inet_ntop(AF_INET6, data + 4, text, sizeof text);
        r.boundAddr = text;
    } else {
        r.boundAddr.assign(reinterpret_cast<const char*>(data + 5), data[4]);
    }
    r.boundPort = PortText(data + need - 2);
    return r;
}

}  // namespace

SocksReply ParseSocksReply(SocksVersion version, SocksPhase phase, const uint8_t* data,
                           size_t size) {
    switch (phase) {
        case SocksPhase::kMethod:
            return ParseMethodReply(version, data, size);
        case SocksPhase::kAuth:
            return ParseAuthReply(data, size);
        case SocksPhase::kConnect:
            return version == SocksVersion::k5 ? ParseConnect5Reply(data, size)
                                               : ParseConnect4Reply(data, size);
        case SocksPhase::kNone:
            break;
    }
    return Failed(socks_error::kInternal, "internal error");
}

void SocksReplyReader::Start(SocksVersion version, SocksPhase phase) {
    version_ = version;
    phase_ = phase;
    collected_.clear();
    leftover_.clear();
}

SocksReply SocksReplyReader::Feed(const uint8_t* data, size_t size) {
    collected_.append(reinterpret_cast<const char*>(data), size);
    const auto* bytes = reinterpret_cast<const uint8_t*>(collected_.data());
    SocksReply r = ParseSocksReply(version_, phase_, bytes, collected_.size());
    if (r.status == SocksReply::kIncomplete) {
        return r;
    }
    if (r.status == SocksReply::kComplete) {
        leftover_.assign(collected_, r.length);
    }
    collected_.clear();
    phase_ = SocksPhase::kNone;  // one reply per Start
    return r;
}

}  // namespace mv
