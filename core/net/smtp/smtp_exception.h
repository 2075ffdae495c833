// Misuse of the SMTP client (a wrong state, an empty recipient list, a
// missing attachment) raises this at the call.
#pragma once

#include "platform/error/exception.h"

namespace mv {

class SmtpException : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "SmtpException"; }
};

}  // namespace mv
