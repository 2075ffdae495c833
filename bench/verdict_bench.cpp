// The cost of deciding a result's reason and verdict, which runs once for
// every checked address: a code alone, a one-line reply that the last rules
// decide, and a long multi-line reply.
#include <benchmark/benchmark.h>

#include "engine/result_verdict.h"

namespace {

void Describe(benchmark::State& state, mv::ResultEvidence evidence) {
    for (auto _ : state)
        benchmark::DoNotOptimize(mv::DescribeResult(evidence));
}

void BM_CodeAlone(benchmark::State& state) {
    mv::ResultEvidence evidence;
    evidence.code = 10061;
    Describe(state, evidence);
}
BENCHMARK(BM_CodeAlone);

void BM_BareReplyAtRcptTo(benchmark::State& state) {
    Describe(state, {550, mv::SmtpStage::kRcptTo, "550 Requested action not taken"});
}
BENCHMARK(BM_BareReplyAtRcptTo);

void BM_MultiLineReply(benchmark::State& state) {
    Describe(state,
             {550, mv::SmtpStage::kRcptTo,
              "550-5.1.1 The email account that you tried to reach does not exist. Please try\r\n"
              "550-5.1.1 double-checking the recipient's email address for typos or\r\n"
              "550-5.1.1 unnecessary spaces. For more information, go to\r\n"
              "550 5.1.1  https://support.google.com/mail/?p=NoSuchUser a6-20020a17 - gsmtp"});
}
BENCHMARK(BM_MultiLineReply);

}  // namespace

BENCHMARK_MAIN();
