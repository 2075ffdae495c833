// Where the address lists are (data/ of the source tree; share/mailvetter/
// once installed), and reading one.
#pragma once

#include <filesystem>
#include <string>

#include "platform/error/exception.h"

namespace mv {

// "Cannot read the domain list FILE: REASON": a list is missing or cannot be
// read. The program cannot tell what an address tells without it.
class DomainListError : public Exception {
  public:
    DomainListError(const std::filesystem::path& file, const std::string& reason);
    const char* ClassName() const override { return "DomainListError"; }
};

// The folder "../share/mailvetter" beside the running program, where an
// installation puts the lists; when it is not there (the program runs from
// its build folder), the source tree's data folder that the build compiled
// in, if that is there; else the installed place, so that a missing list is
// named where it belongs.
std::filesystem::path DataFolder();

// The whole file; DomainListError when it cannot be read.
std::string ReadListFile(const std::filesystem::path& file);

}  // namespace mv
