// Line mode of the socket, fed by a peer that writes what the input says:
//   byte 0   the line end: "\r\n", "\n", "\r\n.\r\n", "aa" or none (line
//            mode passes everything through)
//   byte 1   the handler's read size: 1 to 8 bytes, or the whole line
//   then     chunks of [L][R] and L bytes: those bytes repeated R + 1 times
//            (R below 240) or (R - 239) * 65536 times, written as one burst
// so that most inputs stay small and some short ones reach the 1 MiB bound. The socket adopts one
// end of a socket pair; the peer writes each burst, then closes. To keep every input well inside
// the time limit, what is sent holds at most 4096 line ends (a long line still reaches the bound),
// at most 64 KiB when nothing is split, and the handler reads small pieces only in the first 256
// bytes of a line.
//
// What the handler reads is what was written, in order, and all of it unless
// a line reached the bound without its end; each line handed out ends with
// its first line end (only the last one, at the close, may have none) and is
// never longer than the bound; a line too long is reported only when the
// bound's worth of bytes held holds no line end, and ends the connection with
// 10040.
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/line/async_socket.h"
#include "platform/loop/epoll_loop.h"

namespace {

constexpr size_t kBound = mv::_TCustomLineSocket::kMaxHeld;
constexpr size_t kMostSent = kBound + 65536;
constexpr size_t kMostLines = 4096;
constexpr size_t kMostPassedThrough = 65536;
constexpr size_t kPiecesWithin = 256;

void Check(bool condition) {
    if (!condition) std::abort();
}

struct Input {
    std::string lineEnd;
    int piece = 0;  // 0: the whole line at once
    std::vector<std::string> bursts;
};

// Cuts the bursts after the kMostLines-th line end (or at kMostPassedThrough
// bytes without a line end).
void Limit(Input& in) {
    std::string all;
    for (const std::string& burst : in.bursts)
        all += burst;
    size_t keep = std::min(all.size(), kMostPassedThrough);
    if (!in.lineEnd.empty()) {
        keep = all.size();
        size_t lines = 0;
        for (size_t at = all.find(in.lineEnd); at != std::string::npos;
             at = all.find(in.lineEnd, at + in.lineEnd.size())) {
            if (++lines == kMostLines) {
                keep = at + in.lineEnd.size();
                break;
            }
        }
    }
    for (std::string& burst : in.bursts) {
        burst.resize(std::min(burst.size(), keep));
        keep -= burst.size();
    }
}

Input Decode(const uint8_t* data, size_t size) {
    static const char* const kEnds[] = {"\r\n", "\n", "\r\n.\r\n", "aa", ""};
    Input in;
    in.lineEnd = kEnds[size > 0 ? data[0] % 5 : 0];
    in.piece = size > 1 && data[1] < 128 ? data[1] % 8 + 1 : 0;
    size_t total = 0;
    for (size_t at = 2; at + 2 <= size && total < kMostSent;) {
        const size_t length = data[at];
        const size_t r = data[at + 1];
        const size_t repeat = r < 240 ? r + 1 : (r - 239) << 16;
        at += 2;
        const std::string pattern(reinterpret_cast<const char*>(data + at),
                                  std::min(length, size - at));
        at += pattern.size();
        std::string burst;
        for (size_t i = 0; i < repeat && total + burst.size() < kMostSent; ++i)
            burst += pattern;
        if (burst.size() > kMostSent - total) burst.resize(kMostSent - total);
        total += burst.size();
        if (!burst.empty()) in.bursts.push_back(std::move(burst));
    }
    Limit(in);
    return in;
}

class Run {
  public:
    explicit Run(const Input& in) : in_(in), socket_(loop_) {
        int fds[2];
        Check(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) == 0);
        mine_ = fds[0];
        peer_ = fds[1];
        socket_.SetLineEnd(in.lineEnd);
        socket_.SetLineMode(true);
        socket_.OnDataAvailable = [this](mv::_TCustomAsyncSocket* s, uint16_t) { Read(*s); };
        socket_.OnLineTooLong = [this](mv::_TCustomAsyncSocket*) { TooLong(); };
        socket_.OnSessionClosed = [this](mv::_TCustomAsyncSocket*, uint16_t e) {
            closed_ = true;
            closeError_ = e;
        };
        socket_.Dup(mine_);
    }
    ~Run() { close(peer_); }

    void Go() {
        for (const std::string& burst : in_.bursts) {
            for (size_t off = 0; off < burst.size() && !closed_;) {
                const ssize_t n = send(peer_, burst.data() + off, burst.size() - off,
                                       MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n < 0 && errno != EAGAIN) break;  // the socket has closed its end
                if (n > 0) {
                    sent_.append(burst, off, static_cast<size_t>(n));
                    off += static_cast<size_t>(n);
                }
                Settle();
            }
        }
        shutdown(peer_, SHUT_WR);
        while (!closed_)
            loop_.ProcessMessages(true);
        CheckOutcome();
    }

  private:
    // Processes messages until the socket has taken everything written.
    void Settle() {
        int waiting = 0;
        while (!closed_ && ioctl(mine_, FIONREAD, &waiting) == 0 && waiting > 0)
            loop_.ProcessMessages(true);
    }

    void Read(mv::_TCustomAsyncSocket& s) {
        const int want = s.Rcvdcount();  // in line mode: the pending line
        std::string line;
        char buffer[4096];
        while (static_cast<int>(line.size()) < want) {
            const int piece =
                in_.piece > 0 && line.size() < kPiecesWithin ? in_.piece : sizeof buffer;
            const int ask = std::min<int>(piece, want - static_cast<int>(line.size()));
            const int n = s.Receive(buffer, ask);
            if (n <= 0) break;
            line.append(buffer, static_cast<size_t>(n));
        }
        if (line.empty()) return;
        got_ += line;
        if (in_.lineEnd.empty()) return;
        Check(line.size() <= kBound);
        Check(!unterminatedSeen_);  // only the very last line may lack its end
        const size_t end = line.find(in_.lineEnd);
        if (end == std::string::npos) {
            unterminatedSeen_ = true;
        } else {
            Check(end + in_.lineEnd.size() == line.size());
        }
    }

    void TooLong() {
        tooLong_ = true;
        Check(!in_.lineEnd.empty());
        // The bound's worth of bytes after the last line, all held, has no end.
        Check(sent_.size() >= got_.size() + kBound);
        Check(sent_.substr(got_.size(), kBound).find(in_.lineEnd) == std::string::npos);
    }

    void CheckOutcome() {
        Check(sent_.compare(0, got_.size(), got_) == 0);
        if (tooLong_) {
            Check(closeError_ == 10040);
        } else {
            Check(got_ == sent_);
        }
    }

    const Input& in_;
    mv::EpollLoop loop_;
    mv::_TAsyncSocket socket_;
    int mine_ = -1;
    int peer_ = -1;
    std::string sent_;
    std::string got_;
    bool unterminatedSeen_ = false;
    bool tooLong_ = false;
    bool closed_ = false;
    int closeError_ = -1;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Input in = Decode(data, size);
    Run(in).Go();
    return 0;
}
