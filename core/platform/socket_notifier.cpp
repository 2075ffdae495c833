#include "platform/socket_notifier.h"

#include <sys/socket.h>

#include <cerrno>

#include "platform/winsock_errors.h"

namespace mv {

namespace {

int PendingSocketError(int fd) {
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
    return WsaErrorFromErrno(err);
}

}  // namespace

SocketNotifier::SocketNotifier(MessageLoop& loop, Handler handler)
    : loop_(loop), handler_(std::move(handler)) {}

SocketNotifier::~SocketNotifier() {
    Stop();
}

void SocketNotifier::Select(int fd, SocketKind kind, unsigned events) {
    if (fd != fd_) Stop();
    fd_ = fd;
    kind_ = kind;
    events_ = events;
    closeDelivered_ = false;
    // Selecting arms reading, and writing for a socket that can already send.
    readArmed_ = true;
    writeArmed_ = !connecting_ && kind != SocketKind::kListening && (events & kEvWrite);
    if (!Watching()) {
        watch_ = loop_.WatchFd(fd, kFdNone, [this](unsigned r) { OnReady(r); });
    }
    UpdateInterest();
}

void SocketNotifier::Stop() {
    if (Watching()) loop_.UnwatchFd(watch_);
    watch_ = 0;
    fd_ = -1;
    events_ = 0;
    connecting_ = false;
    readArmed_ = writeArmed_ = false;
    token_.Renew();  // drops posted notifications of this descriptor
}

void SocketNotifier::ConnectStarted() {
    connecting_ = true;
    writeArmed_ = false;
    UpdateInterest();
}

void SocketNotifier::ConnectFailedLater(int wsaError) {
    connecting_ = false;
    closeDelivered_ = true;
    UpdateInterest();
    const int fd = fd_;
    loop_.Post([this, fd, wsaError, alive = token_.Weak()] {
        if (alive.expired() || fd != fd_) return;
        Deliver(kEvConnect, wsaError);
    });
}

void SocketNotifier::SendWouldBlock() {
    if (writeArmed_ || fd_ < 0) return;
    writeArmed_ = true;
    UpdateInterest();
}

void SocketNotifier::Received() {
    receivedDuringRead_ = true;
    if (readArmed_ || fd_ < 0) return;
    readArmed_ = true;
    UpdateInterest();
}

void SocketNotifier::Accepted() {
    Received();
}

void SocketNotifier::UpdateInterest() {
    if (!Watching()) return;
    unsigned interest = kFdNone;
    if (!closeDelivered_ && events_ != 0) {
        if (connecting_ || writeArmed_) interest |= kFdWritable;
        if (readArmed_ && !connecting_ && (events_ & (kEvRead | kEvClose | kEvAccept)))
            interest |= kFdReadable;
    }
    loop_.SetFdInterest(watch_, interest);
}

void SocketNotifier::Deliver(unsigned event, int error) {
    if ((events_ & event) == 0 || !handler_) return;
    handler_(fd_, event, error);
}

void SocketNotifier::OnReady(unsigned readiness) {
    GuardList::Scope guard(guards_);
    if (connecting_) {
        HandleConnecting(readiness);
        return;
    }
    const int fd = fd_;
    if (readiness & kFdReadable) {
        HandleReadable();
    } else if (readiness & kFdError) {
        // An error or hang-up while reading is not armed: report the close now.
        HandleError();
        return;
    }
    if (guard.Destroyed() || fd != fd_ || closeDelivered_) return;
    if ((readiness & kFdWritable) && writeArmed_) {
        writeArmed_ = false;
        UpdateInterest();
        Deliver(kEvWrite, 0);
    }
}

void SocketNotifier::HandleConnecting(unsigned readiness) {
    if ((readiness & (kFdWritable | kFdError)) == 0) return;
    const int err = PendingSocketError(fd_);
    connecting_ = false;
    if (err != 0) closeDelivered_ = true;  // nothing more comes from a failed connect
    UpdateInterest();
    GuardList::Scope guard(guards_);
    const int fd = fd_;
    Deliver(kEvConnect, err);
    if (guard.Destroyed() || err != 0 || fd != fd_) return;
    // As on the original platform, a completed connect is followed by one
    // writable notification.
    if (events_ & kEvWrite) Deliver(kEvWrite, 0);
}

void SocketNotifier::HandleReadable() {
    if (kind_ == SocketKind::kListening) {
        readArmed_ = false;  // again after Accepted
        UpdateInterest();
        Deliver(kEvAccept, 0);
        return;
    }
    if (kind_ == SocketKind::kStream) {
        char probe;
        const ssize_t n = recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            const int err = n == 0 ? 0 : WsaErrorFromErrno(errno);
            closeDelivered_ = true;
            UpdateInterest();
            Deliver(kEvClose, err);
            return;
        }
        if (n < 0) return;  // nothing after all
    }
    if ((events_ & kEvRead) == 0) {
        readArmed_ = false;  // nobody reads: wait for a receive call
        UpdateInterest();
        return;
    }
    GuardList::Scope guard(guards_);
    receivedDuringRead_ = false;
    Deliver(kEvRead, 0);
    if (guard.Destroyed()) return;
    if (!receivedDuringRead_ && readArmed_) {
        readArmed_ = false;  // the handler did not read: no more until it does
        UpdateInterest();
    }
}

void SocketNotifier::HandleError() {
    const int err = PendingSocketError(fd_);
    closeDelivered_ = true;
    UpdateInterest();
    Deliver(kEvClose, err);
}

}  // namespace mv
