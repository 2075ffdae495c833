// The common base of the program's exceptions. Each carries a message text
// only; the front ends show it to the user.
#pragma once

#include <stdexcept>
#include <string>

namespace mv {

class Exception : public std::runtime_error {
  public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    // The class name, as failure lines built from an exception show it.
    virtual const char* ClassName() const { return "Exception"; }
};

}  // namespace mv
