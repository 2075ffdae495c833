#include "project/import_export/import_export_error.h"

#include <cstring>

namespace mv {

std::string SystemErrorText(int errnoValue) {
    return std::strerror(errnoValue);
}

EImportError EImportError::CannotOpen(const std::filesystem::path& path, int errnoValue) {
    return EImportError("Cannot open file " + path.string() + ": " + SystemErrorText(errnoValue));
}

EImportError EImportError::CannotRead(const std::filesystem::path& path, int errnoValue) {
    return EImportError("Cannot read file " + path.string() + ": " + SystemErrorText(errnoValue));
}

EImportError EImportError::NotText(const std::filesystem::path& path) {
    return EImportError("Cannot import " + path.string() +
                        ": it is not a text file (it holds NUL bytes and has no UTF-16 "
                        "byte-order mark)");
}

}  // namespace mv
