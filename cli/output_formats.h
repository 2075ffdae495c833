// The texts of mailvetter-cli's machine-readable output: CSV fields (RFC 4180)
// and JSON strings, and the writer of check results in either format.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace mv::cli {

// A CSV field: quoted (with doubled quotes) when it holds a comma, a quote or
// a line break.
std::string CsvField(std::string_view text);
// A JSON string with its quotes; bytes that are not valid UTF-8 become U+FFFD
// (servers may send anything).
std::string JsonString(std::string_view text);

enum class ResultFormat { kCsv, kJsonLines };

// One line per checked row, in the order results arrive, flushed at once so
// that an interrupted run keeps what it had.
class CheckResultWriter {
  public:
    CheckResultWriter(std::FILE* out, ResultFormat format, bool transcripts);
    void Header();
    void Result(size_t row, std::string_view email, std::string_view address, int code,
                std::string_view resultText, const std::vector<std::string>& transcript);

  private:
    std::FILE* out_;
    ResultFormat format_;
    bool transcripts_;
};

}  // namespace mv::cli
