// One line of the pre-flight check: what was checked, how it came out and one
// line of advice (or of what was found).
#pragma once

#include <string>
#include <vector>

namespace mv {

enum class PreflightStatus { kOk, kWarning, kFailed, kSkipped };

struct PreflightItem {
    std::string name;
    PreflightStatus status = PreflightStatus::kSkipped;
    std::string advice;
};

// "OK", "warning", "failed", "skipped".
const char* PreflightStatusName(PreflightStatus status);

// True when any check failed (warnings and skipped checks do not count).
bool AnyPreflightFailed(const std::vector<PreflightItem>& items);

}  // namespace mv
