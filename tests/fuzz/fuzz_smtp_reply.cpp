// Feeds arbitrary byte chunks to the SMTP reply reader the way the client
// does, reading every status code, and checks the reader's invariants.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/smtp/smtp_reply_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    mv::SmtpReplyReader reader;
    size_t pos = 0;
    std::string line;
    while (pos < size) {
        // The first byte of each round gives the size of the chunk.
        const size_t want = 1 + data[pos] * 17u;
        ++pos;
        const size_t len = std::min(want, size - pos);
        const size_t taken = reader.Append(reinterpret_cast<const char*>(data + pos), len);
        if (taken > len || reader.Count() > mv::SmtpReplyReader::kBufferSize) std::abort();
        pos += taken == 0 ? len : taken;
        while (reader.NextLine(line)) {
            if (line.find("\r\n") != std::string::npos) std::abort();
            const mv::SmtpStatus s = mv::ParseSmtpStatus(line);
            if (s.wellFormed && (s.code < 1 || s.code > 999)) std::abort();
        }
        if (reader.Stuck()) reader.Clear();  // the client ends the request here
    }
    return 0;
}
