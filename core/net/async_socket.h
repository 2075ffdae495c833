// The socket component the clients use: the end of the layer chain.
#pragma once

#include "net/custom_async_socket.h"

namespace mv {

class _TAsyncSocket : public _TCustomAsyncSocket {
  public:
    using _TCustomAsyncSocket::_TCustomAsyncSocket;
};

}  // namespace mv
