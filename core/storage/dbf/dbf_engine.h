// The table engine's process-wide context: the work areas (one per open
// table), the current work area, the last error and the engine settings.
//
// All tables are used from one thread; the context is not guarded.
#pragma once

#include <array>
#include <string>

namespace mv {

// How character data of a table is stored: code page 437 or Windows-1252.
enum class TTableLanguage { tlOem, tlAnsi };

namespace dbf {

struct EngineSettings {
    bool hideDeleted = false;
    TTableLanguage language = TTableLanguage::tlOem;
    // Create memo fields as 10-digit numeric fields instead.
    bool memoAsNumber = false;
    // Rewrite the header and flush the file after every append.
    bool flushOnWrite = false;
    // Date edit masks with four year digits.
    bool fourDigitYear = false;
};

class DbfEngine {
  public:
    static constexpr int kWorkAreas = 33;

    static DbfEngine& Instance();

    // Takes the lowest free work area (1 to 33) and selects it; none free
    // raises error 220 "No free workarea available [Select(0)]".
    int AllocateWorkArea();
    void ReleaseWorkArea(int area);
    void SelectWorkArea(int area) { current_ = area; }
    int CurrentWorkArea() const { return current_; }
    int OpenWorkAreas() const;

    EngineSettings& Settings() { return settings_; }

    void SetLastError(int number, const std::string& message);
    void ClearLastError();
    int LastError() const { return lastError_; }
    const std::string& LastErrorMessage() const { return lastMessage_; }

  private:
    DbfEngine() = default;
    std::array<bool, kWorkAreas + 1> used_{};
    int current_ = 0;
    int lastError_ = 0;
    std::string lastMessage_;
    EngineSettings settings_;
};

}  // namespace dbf
}  // namespace mv
