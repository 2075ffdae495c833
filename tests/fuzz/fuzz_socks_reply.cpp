// Plays arbitrary proxy replies, cut into arbitrary pieces, through the reply
// reader the way the socket's handshake does (method, user code, connect) for
// each level, and checks the reader's promises: a complete reply is never
// longer than the longest reply, failures carry a handshake error number and
// a text, and no byte is lost or invented behind a complete reply.
//
// Input: one byte choosing the level (and the user-code method on level 5),
// then pieces, each a length byte followed by that many bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/socks/socks_reply.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using mv::SocksPhase;
    using mv::SocksReply;
    if (size == 0) {
        return 0;
    }
    const int mode = data[0] % 4;
    const mv::SocksVersion version = mode == 0   ? mv::SocksVersion::k4
                                     : mode == 1 ? mv::SocksVersion::k4A
                                                 : mv::SocksVersion::k5;
    SocksPhase phase = version == mv::SocksVersion::k5 ? SocksPhase::kMethod : SocksPhase::kConnect;
    mv::SocksReplyReader reader;
    reader.Start(version, phase);
    std::string fed;  // bytes of the current reply so far
    size_t pos = 1;
    while (pos < size) {
        const size_t len = std::min<size_t>(data[pos], size - pos - 1);
        const uint8_t* piece = data + pos + 1;
        pos += 1 + len;
        // The pure judgement of everything so far must not read outside it.
        fed.append(reinterpret_cast<const char*>(piece), len);
        mv::ParseSocksReply(version, phase, reinterpret_cast<const uint8_t*>(fed.data()),
                            fed.size());
        const SocksReply r = reader.Feed(piece, len);
        if (r.status == SocksReply::kIncomplete) {
            Check(fed.size() < mv::SocksReplyReader::kMaxReply);
            continue;
        }
        if (r.status == SocksReply::kFailed) {
            Check(r.error >= 20001 && r.error <= 20017 && !r.message.empty());
            return 0;
        }
        Check(r.length > 0 && r.length <= mv::SocksReplyReader::kMaxReply);
        Check(r.length + reader.Leftover().size() == fed.size());
        Check(fed.compare(r.length, std::string::npos, reader.Leftover()) == 0);
        if (phase == SocksPhase::kMethod) {
            Check(r.length == 2 && (r.method == 0 || r.method == 2));
            phase = r.method == 2 && mode == 3 ? SocksPhase::kAuth : SocksPhase::kConnect;
        } else if (phase == SocksPhase::kAuth) {
            Check(r.length == 2);
            phase = SocksPhase::kConnect;
        } else {
            Check(r.boundAddr.size() <= 255 && r.boundPort.size() <= 5);
            return 0;  // connected: what follows is the session's data
        }
        reader.Start(version, phase);
        fed.clear();
    }
    return 0;
}
