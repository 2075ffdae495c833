// Splits the bytes an SMTP server sends into reply lines, and reads the status
// code of a line. Pure code, no socket: the client feeds it what it received.
//
// Lines end in CR LF only; a bare LF, NUL bytes and any other bytes are part
// of the line. The buffer holds at most kBufferSize bytes: a line that does
// not end within them cannot be read, which the client treats as a protocol
// failure.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mv {

class SmtpReplyReader {
  public:
    static constexpr size_t kBufferSize = 4096;

    // Free room for received bytes.
    size_t Room() const { return kBufferSize - count_; }
    // Appends up to Room() bytes; returns how many were taken.
    size_t Append(const char* data, size_t len);
    // Takes the next complete line without its CR LF; false when none is there.
    bool NextLine(std::string& line);
    // True when the buffer is full and holds no line end: nothing more can be
    // read.
    bool Stuck() const;
    size_t Count() const { return count_; }
    void Clear() { count_ = 0; }

  private:
    char buffer_[kBufferSize] = {};
    size_t count_ = 0;
};

struct SmtpStatus {
    int code = 0;               // the number read (0 when there are no digits)
    bool continuation = false;  // a hyphen after the number: more lines follow
    bool wellFormed = false;    // digits were present and the code is 1..999
};

// Skips tabs, line feeds, carriage returns and spaces, accepts one sign, reads
// decimal digits; the character after them tells whether the reply goes on.
SmtpStatus ParseSmtpStatus(std::string_view line);

}  // namespace mv
