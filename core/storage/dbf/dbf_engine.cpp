#include "storage/dbf/dbf_engine.h"

#include "storage/dbf/table_error.h"

namespace mv::dbf {

DbfEngine& DbfEngine::Instance() {
    static DbfEngine engine;
    return engine;
}

int DbfEngine::AllocateWorkArea() {
    for (int area = 1; area <= kWorkAreas; ++area) {
        if (!used_[static_cast<size_t>(area)]) {
            used_[static_cast<size_t>(area)] = true;
            current_ = area;
            return area;
        }
    }
    RaiseTableError(kInvalidParameter, "No free workarea available [Select(0)]");
}

void DbfEngine::ReleaseWorkArea(int area) {
    if (area < 1 || area > kWorkAreas) {
        return;
    }
    used_[static_cast<size_t>(area)] = false;
    if (current_ == area) {
        current_ = 0;
    }
}

int DbfEngine::OpenWorkAreas() const {
    int count = 0;
    for (int area = 1; area <= kWorkAreas; ++area) {
        count += used_[static_cast<size_t>(area)] ? 1 : 0;
    }
    return count;
}

void DbfEngine::SetLastError(int number, const std::string& message) {
    lastError_ = number;
    lastMessage_ = message;
}

void DbfEngine::ClearLastError() {
    lastError_ = 0;
    lastMessage_.clear();
}

}  // namespace mv::dbf
