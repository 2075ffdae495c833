// Judging what a SOCKS proxy answers, as pure code over bytes: the method
// reply and the user-code reply of level 5, and the connect reply of levels
// 4, 4A and 5. Whatever the proxy sends, in whatever pieces, the outcome is
// "wait for more", "complete" or one failure with its error number and text;
// nothing is read outside the bytes given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/socks/socks_request.h"

namespace mv {

// The handshake's steps, numbered as the socket's phase.
enum class SocksPhase { kNone = 0, kMethod = 1, kAuth = 2, kConnect = 3 };

// Error numbers of the proxy handshake.
namespace socks_error {
inline constexpr int kLogic = 20001;
inline constexpr int kVersion = 20002;
inline constexpr int kMethod = 20003;
inline constexpr int kGeneralFailure = 20004;  // level 5 reply codes 1 to 8: 20004 to 20011
inline constexpr int kConnectionRefused = 20008;
inline constexpr int kAddressType = 20011;
inline constexpr int kUnassigned = 20012;
inline constexpr int kInternal = 20013;
inline constexpr int kAuthFailed = 20015;
inline constexpr int kRejected = 20016;
inline constexpr int kLookup = 20017;       // the target's name (level 4)
inline constexpr int kProxyLookup = 20018;  // the proxy's own name
}  // namespace socks_error

struct SocksReply {
    enum Status { kIncomplete, kComplete, kFailed };
    Status status = kIncomplete;
    int error = 0;          // kFailed
    std::string message;    // kFailed
    size_t length = 0;      // kComplete: the bytes that make up the reply
    uint8_t method = 0;     // kComplete, method phase: the method the proxy chose
    std::string boundAddr;  // kComplete, level 5 connect: address or name the proxy bound
    std::string boundPort;  // and its port as decimal text
};

// Judges the bytes received so far in `phase`. In the method and user-code
// phases every byte must belong to the reply (the proxy sends nothing else
// before the next request); in the connect phase bytes behind a complete
// reply come from the target and are not judged.
SocksReply ParseSocksReply(SocksVersion version, SocksPhase phase, const uint8_t* data,
                           size_t size);

// Collects one reply as it arrives in pieces.
class SocksReplyReader {
  public:
    // The longest reply: level 5 with an IPv6 address is 22, with a name 7 + 255.
    static constexpr size_t kMaxReply = 262;

    void Start(SocksVersion version, SocksPhase phase);
    // Takes the next received bytes. On kComplete, Leftover() holds the bytes
    // that came behind the reply.
    SocksReply Feed(const uint8_t* data, size_t size);
    const std::string& Leftover() const { return leftover_; }
    SocksPhase Phase() const { return phase_; }

  private:
    SocksVersion version_ = SocksVersion::k5;
    SocksPhase phase_ = SocksPhase::kNone;
    std::string collected_;  // fewer than kMaxReply bytes between calls
    std::string leftover_;
};

}  // namespace mv
