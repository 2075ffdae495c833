// The pure proxy-reply and request code, byte by byte.
#include <gtest/gtest.h>

#include <string>

#include "net/socks/socks_reply.h"
#include "net/socks/socks_request.h"

namespace mv {
namespace {

SocksReply Parse(SocksVersion v, SocksPhase p, const std::string& bytes) {
    return ParseSocksReply(v, p, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(SocksReply, EveryPrefixOfAValidReplyWaitsForMore) {
    const std::string name(255, 'n');
    const std::string replies[] = {
        std::string("\x05\x00\x00\x01\x7f\x00\x00\x01\x04\x38", 10),
        std::string("\x05\x00\x00\x03\xff", 5) + name + std::string("\x00\x19", 2),
        std::string("\x05\x00\x00\x04", 4) + std::string(16, '\0') + std::string("\x00\x19", 2),
    };
    for (const std::string& reply : replies) {
        for (size_t n = 0; n < reply.size(); ++n) {
            EXPECT_EQ(Parse(SocksVersion::k5, SocksPhase::kConnect, reply.substr(0, n)).status,
                      SocksReply::kIncomplete)
                << n;
        }
        const SocksReply r = Parse(SocksVersion::k5, SocksPhase::kConnect, reply + "tail");
        EXPECT_EQ(r.status, SocksReply::kComplete);
        EXPECT_EQ(r.length, reply.size());
        EXPECT_LE(r.length, SocksReplyReader::kMaxReply);
    }
    EXPECT_EQ(Parse(SocksVersion::k5, SocksPhase::kConnect, replies[1]).boundAddr, name);
    EXPECT_EQ(Parse(SocksVersion::k5, SocksPhase::kConnect, replies[2]).boundAddr, "::");
    EXPECT_EQ(Parse(SocksVersion::k5, SocksPhase::kConnect, replies[0]).boundPort, "1080");
}

TEST(SocksReply, ReaderKeepsTheBytesBehindTheReplyAcrossPieces) {
    SocksReplyReader reader;
    reader.Start(SocksVersion::k4A, SocksPhase::kConnect);
    const std::string bytes = std::string("\x00\x5a\x00\x19\x00\x00\x00\x01", 8) + "220 hi\r\n";
    SocksReply r;
    for (size_t i = 0; i < 5; ++i) {
        r = reader.Feed(reinterpret_cast<const uint8_t*>(bytes.data() + i), 1);
    }
    EXPECT_EQ(r.status, SocksReply::kIncomplete);
    r = reader.Feed(reinterpret_cast<const uint8_t*>(bytes.data() + 5), bytes.size() - 5);
    EXPECT_EQ(r.status, SocksReply::kComplete);
    EXPECT_EQ(reader.Leftover(), "220 hi\r\n");
    // One reply per start: anything fed afterwards is a logic error, not a reply.
    r = reader.Feed(reinterpret_cast<const uint8_t*>("x"), 1);
    EXPECT_EQ(r.status, SocksReply::kFailed);
    EXPECT_EQ(r.error, socks_error::kInternal);
}

TEST(SocksReply, AFailureStatusIsKnownFromTheSecondByte) {
    const SocksReply r = Parse(SocksVersion::k4, SocksPhase::kConnect, std::string("\x00\x5c", 2));
    EXPECT_EQ(r.status, SocksReply::kFailed);
    EXPECT_EQ(r.error, 20008);
    // A level 4 method reply cannot happen: the level has no method phase.
    EXPECT_EQ(Parse(SocksVersion::k4, SocksPhase::kMethod, "").error, socks_error::kLogic);
}

TEST(SocksRequest, CountedTextsAreCutToWhatTheirLengthByteCanTell) {
    const std::string longUser(300, 'u');
    const std::string request = SocksUsercodeRequest(longUser, "pw");
    ASSERT_EQ(request.size(), 1u + 1 + 255 + 1 + 2);
    EXPECT_EQ(static_cast<uint8_t>(request[0]), kSocksUsercodeVersion);
    EXPECT_EQ(static_cast<uint8_t>(request[1]), 255);
    EXPECT_EQ(request.substr(257), std::string("\x02pw", 3));
}

}  // namespace
}  // namespace mv
