#include "output_target.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace mv::cli {

OutputTarget::OutputTarget(std::string path) : path_(std::move(path)) {}

OutputTarget::~OutputTarget() {
    if (file_ != nullptr && file_ != stdout) std::fclose(file_);
}

bool OutputTarget::Writable() const {
    if (IsStandardOutput()) return true;
    struct stat info {};
    if (::stat(path_.c_str(), &info) == 0)
        return !S_ISDIR(info.st_mode) && ::access(path_.c_str(), W_OK) == 0;
    std::filesystem::path folder = std::filesystem::path(path_).parent_path();
    if (folder.empty()) folder = ".";
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::FILE* OutputTarget::Open() {
    if (file_ == nullptr) file_ = IsStandardOutput() ? stdout : std::fopen(path_.c_str(), "w");
    return file_;
}

}  // namespace mv::cli
