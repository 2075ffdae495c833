// Errors of the socket component.
#pragma once

#include "platform/error/exception.h"

namespace mv {

class ESocketException : public Exception {
  public:
    explicit ESocketException(const std::string& message, int errorCode = 0)
        : Exception(message), errorCode_(errorCode) {}
    const char* ClassName() const override { return "ESocketException"; }
    // The socket error number of the system call that failed; 0 for errors
    // that come from no system call (bad settings, wrong state).
    int ErrorCode() const { return errorCode_; }

  private:
    int errorCode_;
};

}  // namespace mv
