// The texts of mailvetter-cli's machine-readable output: CSV fields (RFC 4180)
// and JSON strings, and the writer of check results in either format.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "engine/result_finding.h"
#include "project/list/address_columns.h"
#include "project/list/row_verdict.h"

namespace mv::cli {

// A CSV field: quoted (with doubled quotes) when it holds a comma, a quote or
// a line break.
std::string CsvField(std::string_view text);
// A JSON string with its quotes; bytes that are not valid UTF-8 become U+FFFD
// (servers may send anything).
std::string JsonString(std::string_view text);

enum class ResultFormat { kCsv, kJsonLines };

// One line per checked row, in the order results arrive: CSV with the header
// row,email,address,code,result,valid,verdict,reason,flags,suggestion,provider
// (flags separated by ";"), or JSON Lines with the same keys (flags an
// array) and "reply" (the deciding reply, its lines separated by "\n").
// A verdict derived from the code alone has an empty reason. The owner flushes
// it often (ten times a second) and at the end, so that an interrupted run
// keeps what it had without a write per result.
class CheckResultWriter {
  public:
    CheckResultWriter(std::FILE* out, ResultFormat format, bool transcripts);
    void Header();
    void Result(size_t row, std::string_view email, std::string_view address, int code,
                std::string_view resultText, const RowVerdict& verdict, const AddressColumns& told,
                const std::vector<std::string>& transcript);
    void Flush() { std::fflush(out_); }

  private:
    std::FILE* out_;
    ResultFormat format_;
    bool transcripts_;
};

}  // namespace mv::cli
