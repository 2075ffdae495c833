// Waiting: the layer of the socket that lets code wait, inside the thread's
// message loop, until a flag is set by one of the socket's events. The wait
// blocks in the loop between messages (it never spins the processor) and has
// no time-out of its own.
#pragma once

#include <functional>

#include "net/line/line_socket.h"

namespace mv {

class _TCustomSyncSocket : public _TCustomLineSocket {
  public:
    // Returned when the loop was asked to quit before the flag was set.
    static constexpr int kQuitRequested = 12001;

    explicit _TCustomSyncSocket(MessageLoop& loop = MessageLoop::Current());

    // Clears `flag`, calls `proc` when one is given and waits for the flag.
    virtual int Synchronize(const std::function<void()>& proc, bool& flag);
    // Processes messages until `flag` is set: 0, or 12001 when the loop was
    // asked to quit first, or 10004 when the socket was destroyed meanwhile
    // (its events can no longer set the flag).
    virtual int WaitUntilReady(bool& flag);
};

}  // namespace mv
