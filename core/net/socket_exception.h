// Errors of the socket component.
#pragma once

#include "platform/exception.h"

namespace mv {

class ESocketException : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "ESocketException"; }
};

}  // namespace mv
