#include "storage/dbf/table_error.h"

#include <array>
#include <cerrno>
#include <utility>

#include "storage/dbf/dbf_engine.h"

namespace mv {

ETableError::ETableError(int number, const std::string& message)
    : Exception(dbf::FullErrorText(number, message)), number_(number), detail_(message) {}

namespace dbf {

namespace {

// File errors of the operating system (1-36, 50-60).
constexpr std::array<std::string_view, 37> kSystemErrors = {
    "Undefined error",
    "Invalid function number",
    "File not found",
    "Path not found",
    "Too many open files",
    "File access denied",
    "Invalid file handle",
    "Memory control blocks destroyed",
    "Insufficient memory",
    "Invalid memory block address",
    "Invalid environment",
    "Invalid format",
    "Invalid file access code",
    "Invalid data",
    "Reserved error",
    "Invalid drive number",
    "Cannot remove current directory",
    "Cannot rename across drives",
    "No more files",
    "Disk is write-protected",
    "Unknown unit",
    "Drive not ready",
    "Unknown command",
    "CRC error in data",
    "Bad request structure length",
    "Seek error",
    "Unknown media type",
    "Sector not found",
    "Printer out of paper",
    "Write fault",
    "Read fault",
    "General failure",
    "File sharing violation",
    "File lock violation",
    "Invalid disk change",
    "FCB unavailable",
    "Sharing buffer overflow",
};

constexpr std::array<std::string_view, 11> kNetworkErrors = {
    "Network request not supported",
    "Remote computer not listening",
    "Duplicate name on network",
    "Network name not found",
    "Network busy",
    "Network device no longer exists",
    "Network BIOS command limit exceeded",
    "Network adapter hardware error",
    "Incorrect response from network",
    "Unexpected network error",
    "Incompatible remote adapter",
};

// Input/output errors of the runtime library (100-106).
constexpr std::array<std::string_view, 7> kIoErrors = {
    "Disk read error",         "Disk write error (probable cause: Disk Full).",
    "File not assigned",       "File not open",
    "File not open for input", "File not open for output",
    "Invalid numeric format",
};

// Critical device errors of the runtime library (150-162).
constexpr std::array<std::string_view, 13> kDeviceErrors = {
    "Disk is write-protected", "Unknown unit",       "Drive not ready",
    "Unknown command",         "CRC error in data",  "Bad drive request structure length",
    "Disk seek error",         "Unknown media type", "Sector not found",
    "Printer out of paper",    "Device write fault", "Device read fault",
    "Hardware failure",
};

// Fatal runtime errors (200-209).
constexpr std::array<std::string_view, 10> kRuntimeErrors = {
    "Division by zero",
    "Range check error",
    "Stack overflow error",
    "Heap overflow error",
    "Invalid pointer operation",
    "Floating point overflow",
    "Floating point underflow",
    "Invalid floating point operation",
    "Overlay manager not installed",
    "Overlay file read error",
};

// The engine's own errors.
constexpr std::pair<int, std::string_view> kEngineErrors[] = {
    {210, "Not a dBASE data file"},
    {211, "Invalid database field type encountered"},
    {212, "Request beyond range"},
    {213, "End of file found unexpectedly"},
    {214, "File already in use"},
    {215, "No database in use"},
    {216, "GP Fault"},
    {217, "Insufficient memory"},
    {218, "Invalid pointer specified"},
    {219, "Cannot duplicate file handle"},
    {220, "Invalid parameter"},
    {221, "Index file not open"},
    {222, "Corrupted index file"},
    {223, "Index version mismatch"},
    {224, "Cyclical relationship detected"},
    {225, "Exclusive Use() required"},
    {226, "BROWSE not active"},
    {227, "Insufficient disk space "},
    {228, "Unbalanced Push/Pop operation "},
    {229, "dBASE IV memo files not supported"},
    {230, "No dBASE memory variables loaded"},
    {231, "Screen library not open"},
    {239, "Missing colon in time"},
    {240, "Non-numeric character in time"},
    {241, "Invalid time specified"},
    {242, "Negative time specified"},
    {243, "TimeDiff result negative"},
    {254, "Table engine internal error"},
    {266, "Invalid size"},
    {1003, "Invalid memo address"},
    {1004, "Disk full"},
    {1005, "Memo file write error"},
    {1007, "Memo file is already open"},
    {1012, "Insufficient disk space to pack memo file"},
    {1017, "Cannot lock memo file"},
    {1018, "Cannot unlock memo file"},
    {1019, "Invalid memo operation: database not open or no memo field in database"},
    {1100, "Not a valid operation on Linked List"},
    {1101, "Virtual File Manager Unit not Linked in"},
    {1102, "Virtual File Memory Management Error"},
    {1103, "Invalid Operation "},
    {1200, "Record not locked"},
    {1201, "File not locked"},
    {1202,
     "Semaphore file error. Possible solutions: log into network or load SHARE.EXE before "
     "running Windows"},
    {1300, "File format not supported"},
};

}  // namespace

std::string_view ErrorDescription(int number) {
    if (number >= 1 && number <= 36) {
        return kSystemErrors[static_cast<size_t>(number)];
    }
    if (number >= 50 && number <= 60) {
        return kNetworkErrors[static_cast<size_t>(number - 50)];
    }
    if (number >= 100 && number <= 106) {
        return kIoErrors[static_cast<size_t>(number - 100)];
    }
    if (number >= 150 && number <= 162) {
        return kDeviceErrors[static_cast<size_t>(number - 150)];
    }
    if (number >= 200 && number <= 209) {
        return kRuntimeErrors[static_cast<size_t>(number - 200)];
    }
    if (number >= 1203 && number <= 1299) {
        return "Network Error";
    }
    for (const auto& [n, text] : kEngineErrors) {
        if (n == number) {
            return text;
        }
    }
    return "Undefined error";
}

std::string FullErrorText(int number, std::string_view message) {
    std::string text = "Error # " + std::to_string(number) + " (";
    text += ErrorDescription(number);
    text += ")\r\n";
    text += message;
    return text;
}

void RaiseTableError(int number, const std::string& message) {
    DbfEngine::Instance().SetLastError(number, message);
    throw ETableError(number, message);
}

int FileErrorNumber(int errnoValue) {
    switch (errnoValue) {
        case ENOENT:
            return kFileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return 3;
        case EMFILE:
        case ENFILE:
            return 4;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
            return kAccessDenied;
        case EBADF:
            return 6;
        case ENOMEM:
            return 8;
        case EWOULDBLOCK:
            return kSharingViolation;
        case ENOSPC:
        case EDQUOT:
            return kDiskWrite;
        case EIO:
            return kDiskRead;
        default:
            return 31;  // general failure
    }
}

}  // namespace dbf
}  // namespace mv
