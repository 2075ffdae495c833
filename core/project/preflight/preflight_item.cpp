#include "project/preflight/preflight_item.h"

#include <algorithm>

namespace mv {

const char* PreflightStatusName(PreflightStatus status) {
    switch (status) {
        case PreflightStatus::kOk:
            return "OK";
        case PreflightStatus::kWarning:
            return "warning";
        case PreflightStatus::kFailed:
            return "failed";
        case PreflightStatus::kSkipped:
            return "skipped";
    }
    return "";
}

bool AnyPreflightFailed(const std::vector<PreflightItem>& items) {
    return std::any_of(items.begin(), items.end(), [](const PreflightItem& item) {
        return item.status == PreflightStatus::kFailed;
    });
}

}  // namespace mv
