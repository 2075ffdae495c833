// The shape of the rules that decide a result's reason (the rules themselves
// are in reason_rules.cpp). Used by result_verdict.cpp only.
#pragma once

#include <span>
#include <string_view>

#include "engine/result_verdict.h"

namespace mv {

// A set of SMTP stages, one bit per SmtpStage.
using StageSet = unsigned;

constexpr StageSet StageBit(SmtpStage stage) {
    return 1u << static_cast<unsigned>(stage);
}

struct CodeRange {
    int low;
    int high;
};

// One rule: it applies when the result code lies in `codes`, the deciding
// reply answered a command of `stages`, and both patterns match. The first
// rule that applies decides the reason.
struct ReasonRule {
    CodeRange codes;
    StageSet stages;
    // The reply's enhanced status code, alternatives separated by "|": "5.1.1"
    // matches exactly that code, "5.7." every code that begins so, and a
    // leading "X" stands for any class ("X.2.2" is 4.2.2 or 5.2.2). Empty
    // matches any reply, one without an enhanced status code too.
    std::string_view enhanced;
    // Texts in lower case separated by "|": the reply must contain one of
    // them, ignoring case. Empty matches any reply.
    std::string_view texts;
    Reason reason;
};

std::span<const ReasonRule> ReasonRules();
// The texts of a refusal that judges the checking computer (block lists,
// reputation), alternatives separated by "|".
std::string_view BlockListTexts();

}  // namespace mv
