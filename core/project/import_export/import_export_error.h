// The errors of importing and exporting recipient lists that a user can
// cause: a file that cannot be opened, read or written, a file name whose
// extension names no export format, a list a dBase table cannot hold. Each
// message names the file.
#pragma once

#include <filesystem>
#include <string>

#include "platform/error/exception.h"

namespace mv {

class EImportError : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "EImportError"; }

    // "Cannot open file <path>: <reason>" for the system error `errnoValue`.
    static EImportError CannotOpen(const std::filesystem::path& path, int errnoValue);
    // "Cannot read file <path>: <reason>".
    static EImportError CannotRead(const std::filesystem::path& path, int errnoValue);
    // A file that holds NUL bytes near its start and has no UTF-16 mark.
    static EImportError NotText(const std::filesystem::path& path);
};

class EExportError : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "EExportError"; }
};

// The system's text for an errno value ("No such file or directory").
std::string SystemErrorText(int errnoValue);

}  // namespace mv
