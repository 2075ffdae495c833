// Where a command writes what it produces: the file that --output names, or
// standard output when there is none or it is "-". The file is created (and
// an old one emptied) only when the first bytes are due, so that a command
// that is refused before it begins leaves the file as it was.
#pragma once

#include <cstdio>
#include <string>

namespace mv::cli {

class OutputTarget {
  public:
    explicit OutputTarget(std::string path);
    ~OutputTarget();
    OutputTarget(const OutputTarget&) = delete;
    OutputTarget& operator=(const OutputTarget&) = delete;

    bool IsStandardOutput() const { return path_.empty() || path_ == "-"; }
    const std::string& Path() const { return path_; }
    // Whether the file could be written, told before a command begins: the
    // file exists and may be written, or its folder may take it. Nothing is
    // created or changed.
    bool Writable() const;
    // Opens the file at the first call; nullptr when it cannot be created.
    std::FILE* Open();

  private:
    std::string path_;
    std::FILE* file_ = nullptr;
};

}  // namespace mv::cli
