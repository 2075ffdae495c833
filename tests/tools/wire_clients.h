// Plain blocking clients for the fake world's tests: a DNS query over UDP
// and an SMTP dialogue over TCP, written here rather than taken from the
// program so that the fake is checked on its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mv::test {

struct DnsRecord {
    uint16_t type = 0;
    std::string owner;
    uint16_t preference = 0;  // MX
    std::string text;         // MX exchange, CNAME target, or dotted A address
};

struct DnsReply {
    uint16_t id = 0;
    uint16_t flags = 0;
    uint16_t questionCount = 0;
    std::string questionName;
    uint16_t questionType = 0;
    std::vector<DnsRecord> answers;
    int rcode() const { return flags & 0xF; }
};

// The query bytes for `name` and `type` with ID `id` and RD set.
std::vector<uint8_t> DnsQueryBytes(const std::string& name, uint16_t type, uint16_t id = 0x1234);
// Sends `datagram` to server:port and decodes the reply; nothing when no
// reply came within `waitMs`.
std::optional<DnsReply> DnsExchange(const std::string& server, uint16_t port,
                                    const std::vector<uint8_t>& datagram, int waitMs = 3000);
// Sends `datagrams` from one socket, then a marker query; a server that
// answers in order has then answered those datagrams before the marker. The
// replies that came before the marker's; nothing when the marker's answer did
// not come within `waitMs`. Proves that a datagram got no answer without
// waiting for the clock.
std::optional<std::vector<DnsReply>> DnsRepliesBefore(
    const std::string& server, uint16_t port, const std::vector<std::vector<uint8_t>>& datagrams,
    int waitMs = 3000);
std::optional<DnsReply> DnsAsk(const std::string& server, uint16_t port, const std::string& name,
                               uint16_t type);

// One SMTP connection with blocking reads that give up after a few seconds.
class SmtpTestClient {
  public:
    // Connects; errno() tells why when connected() is false.
    SmtpTestClient(const std::string& address, uint16_t port);
    ~SmtpTestClient();
    SmtpTestClient(const SmtpTestClient&) = delete;
    SmtpTestClient& operator=(const SmtpTestClient&) = delete;

    bool connected() const { return fd_ >= 0; }
    int connectError() const { return connectError_; }
    // The lines of the next complete reply (continuation lines included),
    // without line ends; empty when nothing complete came within `waitMs`.
    std::vector<std::string> ReadReply(int waitMs = 3000);
    // Sends `line` + CR LF and returns the first line of the reply.
    std::string Command(const std::string& line);
    void SendRaw(const std::string& bytes);
    // Bytes of one read as it arrives ("" at the end of the stream or after `waitMs`).
    std::string ReadSome(int waitMs = 3000);
    // True when the server closed the connection (within `waitMs`).
    bool ClosedByPeer(int waitMs = 3000);

  private:
    int fd_ = -1;
    int connectError_ = 0;
    std::string buffered_;
};

}  // namespace mv::test
