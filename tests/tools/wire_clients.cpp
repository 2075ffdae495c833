#include "wire_clients.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace mv::test {

namespace {

sockaddr_in Endpoint(const std::string& address, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
    return sa;
}

bool WaitReadable(int fd, int waitMs) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, waitMs) > 0;
}

// Reads a possibly compressed name at `pos`; false when it runs out of bounds.
bool ReadName(const std::vector<uint8_t>& m, size_t& pos, std::string& name) {
    size_t at = pos;
    bool jumped = false;
    for (int hops = 0; hops < 64; ++hops) {
        if (at >= m.size()) {
            return false;
        }
        const uint8_t length = m[at];
        if (length == 0) {
            if (!jumped) {
                pos = at + 1;
            }
            return true;
        }
        if (length >= 0xC0) {
            if (at + 1 >= m.size()) {
                return false;
            }
            if (!jumped) {
                pos = at + 2;
            }
            jumped = true;
            at = static_cast<size_t>((length & 0x3F) << 8 | m[at + 1]);
            continue;
        }
        if (at + 1 + length > m.size()) {
            return false;
        }
        if (!name.empty()) {
            name += '.';
        }
        name.append(reinterpret_cast<const char*>(&m[at + 1]), length);
        at += 1 + length;
    }
    return false;
}

uint16_t U16(const std::vector<uint8_t>& m, size_t pos) {
    return static_cast<uint16_t>(m[pos] << 8 | m[pos + 1]);
}

std::optional<DnsReply> Decode(const std::vector<uint8_t>& m) {
    if (m.size() < 12) {
        return std::nullopt;
    }
    DnsReply reply;
    reply.id = U16(m, 0);
    reply.flags = U16(m, 2);
    reply.questionCount = U16(m, 4);
    const uint16_t answers = U16(m, 6);
    size_t pos = 12;
    if (reply.questionCount > 0) {
        if (!ReadName(m, pos, reply.questionName) || pos + 4 > m.size()) {
            return std::nullopt;
        }
        reply.questionType = U16(m, pos);
        pos += 4;
    }
    for (uint16_t i = 0; i < answers; ++i) {
        DnsRecord record;
        if (!ReadName(m, pos, record.owner) || pos + 10 > m.size()) {
            return std::nullopt;
        }
        record.type = U16(m, pos);
        const size_t length = U16(m, pos + 8);
        pos += 10;
        if (pos + length > m.size()) {
            return std::nullopt;
        }
        size_t data = pos;
        if (record.type == 15) {
            record.preference = U16(m, data);
            data += 2;
            if (!ReadName(m, data, record.text)) {
                return std::nullopt;
            }
        } else if (record.type == 5 || record.type == 12) {
            if (!ReadName(m, data, record.text)) {
                return std::nullopt;
            }
        } else if (record.type == 1 && length == 4) {
            record.text = std::to_string(m[pos]) + "." + std::to_string(m[pos + 1]) + "." +
                          std::to_string(m[pos + 2]) + "." + std::to_string(m[pos + 3]);
        }
        pos += length;
        reply.answers.push_back(record);
    }
    return reply;
}

}  // namespace

std::vector<uint8_t> DnsQueryBytes(const std::string& name, uint16_t type, uint16_t id) {
    std::vector<uint8_t> q = {
        static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id), 1, 0, 0, 1, 0, 0, 0, 0, 0, 0};
    size_t start = 0;
    while (start < name.size()) {
        const size_t dot = std::min(name.find('.', start), name.size());
        q.push_back(static_cast<uint8_t>(dot - start));
        q.insert(q.end(), name.begin() + static_cast<long>(start),
                 name.begin() + static_cast<long>(dot));
        start = dot + 1;
    }
    q.insert(q.end(), {0, static_cast<uint8_t>(type >> 8), static_cast<uint8_t>(type), 0, 1});
    return q;
}

std::optional<DnsReply> DnsExchange(const std::string& server, uint16_t port,
                                    const std::vector<uint8_t>& datagram, int waitMs) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in sa = Endpoint(server, port);
    sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&sa),
           sizeof sa);
    std::optional<DnsReply> reply;
    if (WaitReadable(fd, waitMs)) {
        std::vector<uint8_t> m(2048);
        const ssize_t n = recv(fd, m.data(), m.size(), 0);
        m.resize(n > 0 ? static_cast<size_t>(n) : 0);
        reply = Decode(m);
    }
    close(fd);
    return reply;
}

std::optional<std::vector<DnsReply>> DnsRepliesBefore(
    const std::string& server, uint16_t port, const std::vector<std::vector<uint8_t>>& datagrams,
    int waitMs) {
    constexpr uint16_t kMarkerId = 0xBEEF;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in sa = Endpoint(server, port);
    std::vector<std::vector<uint8_t>> all = datagrams;
    all.push_back(DnsQueryBytes("marker.test", 1, kMarkerId));
    for (const auto& datagram : all) {
        sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&sa),
               sizeof sa);
    }
    std::vector<DnsReply> replies;
    std::optional<std::vector<DnsReply>> result;
    while (!result && WaitReadable(fd, waitMs)) {
        std::vector<uint8_t> m(2048);
        const ssize_t n = recv(fd, m.data(), m.size(), 0);
        m.resize(n > 0 ? static_cast<size_t>(n) : 0);
        const std::optional<DnsReply> reply = Decode(m);
        if (reply && reply->id == kMarkerId) {
            result = replies;
        } else if (reply) {
            replies.push_back(*reply);
        }
    }
    close(fd);
    return result;
}

std::optional<DnsReply> DnsAsk(const std::string& server, uint16_t port, const std::string& name,
                               uint16_t type) {
    return DnsExchange(server, port, DnsQueryBytes(name, type));
}

SmtpTestClient::SmtpTestClient(const std::string& address, uint16_t port) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in sa = Endpoint(address, port);
    if (connect(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
        connectError_ = errno;
        close(fd_);
        fd_ = -1;
    }
}

SmtpTestClient::~SmtpTestClient() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

std::string SmtpTestClient::ReadSome(int waitMs) {
    if (fd_ < 0 || !WaitReadable(fd_, waitMs)) {
        return "";
    }
    char buffer[4096];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : "";
}

std::vector<std::string> SmtpTestClient::ReadReply(int waitMs) {
    std::vector<std::string> lines;
    for (;;) {
        size_t eol;
        while ((eol = buffered_.find("\r\n")) != std::string::npos) {
            lines.push_back(buffered_.substr(0, eol));
            buffered_.erase(0, eol + 2);
            if (lines.back().size() < 4 || lines.back()[3] != '-') {
                return lines;
            }
        }
        const std::string more = ReadSome(waitMs);
        if (more.empty()) {
            return {};
        }
        buffered_ += more;
    }
}

std::string SmtpTestClient::Command(const std::string& line) {
    SendRaw(line + "\r\n");
    const std::vector<std::string> reply = ReadReply();
    return reply.empty() ? "" : reply.front();
}

void SmtpTestClient::SendRaw(const std::string& bytes) {
    if (fd_ >= 0) {
        send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
}

bool SmtpTestClient::ClosedByPeer(int waitMs) {
    if (fd_ < 0 || !WaitReadable(fd_, waitMs)) {
        return false;
    }
    char byte;
    return recv(fd_, &byte, 1, MSG_PEEK) == 0;
}

}  // namespace mv::test
