// The table engine's numbered errors and the exception that carries them.
//
// Every engine error has a number and a message; its full text is
// "Error # <number> (<description>)" CR LF <message>. The engine raises each
// error as ETableError so that a table that cannot be read ends one operation,
// not the program.
#pragma once

#include <string>
#include <string_view>

#include "platform/error/exception.h"

namespace mv {

class ETableError : public Exception {
  public:
    ETableError(int number, const std::string& message);
    const char* ClassName() const override { return "ETableError"; }
    // The engine error number (for example 211 for an unknown field type).
    int Number() const { return number_; }
    // The operation's own message, without the "Error # ..." line.
    const std::string& Detail() const { return detail_; }

  private:
    int number_;
    std::string detail_;
};

namespace dbf {

// Error numbers the engine raises by name.
inline constexpr int kFileNotFound = 2;
inline constexpr int kAccessDenied = 5;
inline constexpr int kSharingViolation = 32;
inline constexpr int kDiskRead = 100;
inline constexpr int kDiskWrite = 101;
inline constexpr int kRangeCheck = 201;
inline constexpr int kNotDbase = 210;
inline constexpr int kBadFieldType = 211;
inline constexpr int kBeyondRange = 212;
inline constexpr int kUnexpectedEof = 213;
inline constexpr int kNoMemory = 217;
inline constexpr int kInvalidParameter = 220;
inline constexpr int kIndexNotOpen = 221;
inline constexpr int kInvalidMemoAddress = 1003;
inline constexpr int kMemoWrite = 1005;
inline constexpr int kInvalidMemoOperation = 1019;
inline constexpr int kInvalidOperation = 1103;
inline constexpr int kFormatNotSupported = 1300;

// The description of an error number, as the full error text shows it.
std::string_view ErrorDescription(int number);

// "Error # " number " (" description ")" CR LF message.
std::string FullErrorText(int number, std::string_view message);

// Records the error as the engine's last error and throws ETableError.
[[noreturn]] void RaiseTableError(int number, const std::string& message);

// The operating system's file error number for an errno value, in the
// numbering the engine reports (2 file not found, 5 access denied, ...).
int FileErrorNumber(int errnoValue);

}  // namespace dbf
}  // namespace mv
