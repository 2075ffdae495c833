// The text of a socket error number, as messages and failure lines show it.
#pragma once

#include <string>

namespace mv {

std::string SocketErrorText(int code);

}  // namespace mv
