// The socket component the clients use: the end of the layer chain
// (asynchronous socket, SOCKS proxy, line mode, waiting). It adds nothing.
#pragma once

#include "net/line/sync_socket.h"

namespace mv {

class _TAsyncSocket : public _TCustomSyncSocket {
  public:
    using _TCustomSyncSocket::_TCustomSyncSocket;
};

}  // namespace mv
