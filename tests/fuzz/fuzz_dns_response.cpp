// Feeds arbitrary datagrams to the DNS response decoder: it must never read
// outside the bytes, must give the same result twice, and what it gives must
// keep the tables' limits; every name of an answer holds only the bytes of a
// host name (never a NUL or a line feed). The check that a response answers the question
// asked must agree with the decoded question.
#include <strings.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/dns/dns_message.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckHostName(const std::string& name) {
    Check(name.size() <= mv::kDnsMaxNameText);
    for (const char c : name) {
        Check(std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' ||
              c == '/' || c == '.');
    }
}

void CheckLimits(const mv::DnsResponse& r) {
    Check(r.answers.size() <= mv::kDnsTableSize && r.answers.size() <= r.answerCount);
    Check(r.mx.size() <= r.answers.size() && r.addresses.size() <= r.answers.size() &&
          r.names.size() <= r.answers.size());
    Check(r.questionName.size() <= mv::kDnsMaxNameText);
    for (const auto& name : r.names)
        CheckHostName(name);
    for (const auto& mx : r.mx)
        CheckHostName(mx.exchange);
    for (const auto& a : r.answers) {
        CheckHostName(a.name);
        if (a.type == mv::kDnsTypeMx) {
            Check(a.tag >= 0 && static_cast<size_t>(a.tag) < r.mx.size());
        } else if (a.type == mv::kDnsTypeA) {
            Check(a.tag >= 0 && static_cast<size_t>(a.tag) < r.addresses.size());
        } else if (a.type == mv::kDnsTypePtr) {
            Check(a.tag >= 0 && static_cast<size_t>(a.tag) < r.names.size());
        } else {
            Check(a.tag == -1);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    mv::DnsResponse first;
    mv::DnsResponse second;
    second.questionName = "stale";
    const auto status = mv::DecodeDnsResponse(data, size, first);
    Check(mv::DecodeDnsResponse(data, size, second) == status);
    mv::DnsRequestBuffer request{};
    int32_t length = 0;
    Check(mv::EncodeMxQuery(1, "example.com", request, length) == mv::DnsEncodeStatus::kOk);
    const bool answers =
        mv::AnswersQuestionOf(request.data(), static_cast<size_t>(length), data, size);
    if (status == mv::DnsDecodeStatus::kDecoded) {
        Check(first == second);
        CheckLimits(first);
        if (answers) {
            Check(strcasecmp(first.questionName.c_str(), "example.com") == 0);
            Check(first.questionType == mv::kDnsTypeMx && first.questionClass == mv::kDnsClassIn);
        }
    } else {
        Check(second.questionName == "stale");
    }
    return 0;
}
