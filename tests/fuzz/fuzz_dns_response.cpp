// Feeds arbitrary datagrams to the DNS response decoder: it must never read
// outside the bytes, must give the same result twice, and what it gives must
// keep the tables' limits.
#include <cstdint>
#include <cstdlib>

#include "net/dns/dns_message.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckLimits(const mv::DnsResponse& r) {
    Check(r.answers.size() <= mv::kDnsTableSize && r.answers.size() <= r.answerCount);
    Check(r.mx.size() <= r.answers.size() && r.addresses.size() <= r.answers.size());
    Check(r.questionName.size() <= mv::kDnsMaxNameText);
    for (const auto& a : r.answers) {
        Check(a.name.size() <= mv::kDnsMaxNameText);
        if (a.type == mv::kDnsTypeMx) {
            Check(a.tag >= 0 && static_cast<size_t>(a.tag) < r.mx.size());
        } else if (a.type == mv::kDnsTypeA) {
            Check(a.tag >= 0 && static_cast<size_t>(a.tag) < r.addresses.size());
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
    if (status == mv::DnsDecodeStatus::kDecoded) {
        Check(first == second);
        CheckLimits(first);
    } else {
        Check(second.questionName == "stale");
    }
    return 0;
}
