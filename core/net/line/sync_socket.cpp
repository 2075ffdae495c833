#include "net/line/sync_socket.h"

#include "platform/error/winsock_errors.h"

namespace mv {

_TCustomSyncSocket::_TCustomSyncSocket(MessageLoop& loop) : _TCustomLineSocket(loop) {}

int _TCustomSyncSocket::Synchronize(const std::function<void()>& proc, bool& flag) {
    flag = false;
    if (proc) {
        GuardList::Scope guard(guards_);
        proc();
        if (guard.Destroyed()) {
            return flag ? 0 : wsa::kInterrupted;
        }
    }
    return WaitUntilReady(flag);
}

int _TCustomSyncSocket::WaitUntilReady(bool& flag) {
    // The loop outlives the socket; a handler may destroy the socket meanwhile.
    MessageLoop& loop = Loop();
    GuardList::Scope guard(guards_);
    for (;;) {
        // The flag may belong to whoever destroyed the socket: not read then.
        if (guard.Destroyed()) {
            return wsa::kInterrupted;
        }
        if (flag) {
            return 0;
        }
        if (loop.QuitRequested()) {
            return kQuitRequested;
        }
        loop.ProcessMessages(true);
    }
}

}  // namespace mv
