#include "platform/loop/socket_notifier.h"

#include <sys/socket.h>

#include <cerrno>

#include "platform/error/winsock_errors.h"

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

void SocketNotifier::Select(int fd, SocketKind kind, unsigned events, bool connecting) {
    if (fd != fd_) Stop();
    fd_ = fd;
    kind_ = kind;
    events_ = events;
    connecting_ = connecting || connecting_;
    closeDelivered_ = false;
    peerClosed_ = false;
    receiveError_ = 0;
    // Selecting arms reading, and writing for a socket that can already send.
    readArmed_ = true;
    writeArmed_ = !connecting_ && kind == SocketKind::kStream && (events & kEvWrite);
    if (kind == SocketKind::kDatagram && (events & kEvWrite)) {
        // A datagram socket can always send: its first writable notification
        // needs no look at the kernel.
        loop_.Post([this, fd, alive = token_.Weak()] {
            if (!alive.expired() && fd == fd_ && !closeDelivered_) Deliver(kEvWrite, 0);
        });
    }
    if (!Watching()) {
        // Without interest the descriptor is not handed to the system yet, so
        // this cannot be refused; UpdateInterest finds out.
        watch_ = loop_.WatchFd(fd, kFdNone, [this](unsigned r) { OnReady(r); });
    }
    UpdateInterest();
}

void SocketNotifier::Stop(bool closing) {
    StopConnectTimer();
    if (Watching()) loop_.UnwatchFd(watch_, closing);
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
    StopConnectTimer();
    if (connectLimitMs_ != 0)
        connectTimer_ = loop_.StartTimer(connectLimitMs_, [this] { OnConnectLimit(); });
    UpdateInterest();
}

void SocketNotifier::StopConnectTimer() {
    if (connectTimer_ != 0) loop_.StopTimer(connectTimer_);
    connectTimer_ = 0;
}

// The connect took too long: it fails as one the system gave up on would.
void SocketNotifier::OnConnectLimit() {
    StopConnectTimer();
    if (!connecting_) return;
    connecting_ = false;
    closeDelivered_ = true;  // nothing more comes from a failed connect
    UpdateInterest();
    Deliver(kEvConnect, wsa::kTimedOut);
}

void SocketNotifier::ConnectFailedLater(int wsaError) {
    FailLater(kEvConnect, wsaError);
}

void SocketNotifier::FailLater(unsigned event, int wsaError) {
    StopConnectTimer();
    connecting_ = false;
    closeDelivered_ = true;  // nothing more comes from this descriptor
    UpdateInterest();
    const int fd = fd_;
    loop_.Post([this, fd, event, wsaError, alive = token_.Weak()] {
        if (alive.expired() || fd != fd_) return;
        Deliver(event, wsaError);
    });
}

void SocketNotifier::SendWouldBlock() {
    if (writeArmed_ || fd_ < 0) return;
    writeArmed_ = true;
    UpdateInterest();
}

void SocketNotifier::Received(int requested, int result, int wsaError) {
    receivedDuringRead_ = true;
    if (kind_ == SocketKind::kStream) {
        if (result == 0 && requested > 0) peerClosed_ = true;
        if (result < 0 && wsaError != 10035) receiveError_ = wsaError;
    }
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
    const int err = loop_.SetFdInterest(watch_, interest);
    if (err != 0) WatchFailed(err);
}

void SocketNotifier::WatchFailed(int err) {
    // Nothing would ever come from the descriptor: end it as a failed connect
    // or a failed connection ends, with the system's reason.
    FailLater(connecting_ ? kEvConnect : kEvClose, WsaErrorFromErrno(err));
}

void SocketNotifier::Deliver(unsigned event, int error) {
    if ((events_ & event) == 0 || !handler_) return;
    handler_(fd_, event, error);
}

void SocketNotifier::OnReady(unsigned readiness) {
    GuardList::Scope guard(guards_);
    if (closeDelivered_) {
        // The close was told and the owner kept the descriptor: stop watching
        // it now, before its readiness could make the loop spin.
        UpdateInterest();
        return;
    }
    if (connecting_) {
        HandleConnecting(readiness);
        return;
    }
    const MessageLoop::WatchId watch = watch_;
    if (readiness & kFdReadable) {
        HandleReadable();
    } else if (readiness & kFdError) {
        // An error or hang-up while reading is not armed: report the close now.
        HandleError();
        return;
    }
    // A handler may have closed the descriptor and opened another one, which
    // can carry the same number: only the watch tells them apart.
    if (guard.Destroyed() || watch != watch_ || closeDelivered_) return;
    if ((readiness & kFdWritable) && writeArmed_) {
        writeArmed_ = false;
        UpdateInterest();
        Deliver(kEvWrite, 0);
    }
}

void SocketNotifier::HandleConnecting(unsigned readiness) {
    if ((readiness & (kFdWritable | kFdError)) == 0) return;
    // A loop that reports errors has said whether the connect failed: asking
    // the socket would cost a system call for every connection.
    const bool mayHaveFailed = (readiness & kFdError) != 0 || !loop_.ReportsErrors();
    const int err = mayHaveFailed ? PendingSocketError(fd_) : 0;
    connecting_ = false;
    StopConnectTimer();
    if (err != 0) closeDelivered_ = true;  // nothing more comes from a failed connect
    UpdateInterest();
    GuardList::Scope guard(guards_);
    const MessageLoop::WatchId watch = watch_;
    Deliver(kEvConnect, err);
    if (guard.Destroyed() || err != 0 || watch != watch_) return;
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
    if ((events_ & kEvRead) == 0) {
        // Nobody reads: only the end of the stream matters.
        if (kind_ == SocketKind::kStream && ProbeStreamEnd()) return;
        readArmed_ = false;  // wait for a receive call
        UpdateInterest();
        return;
    }
    GuardList::Scope guard(guards_);
    const MessageLoop::WatchId watch = watch_;
    receivedDuringRead_ = false;
    Deliver(kEvRead, 0);
    if (guard.Destroyed() || watch != watch_) return;
    // The handler's receive told whether the stream has ended: the closed
    // notification comes now, after the data was offered.
    if (peerClosed_ || receiveError_ != 0) return DeliverCloseIfEnded();
    if (!receivedDuringRead_ && readArmed_) {
        // The handler made no receive call: the readiness may have been the
        // end of the stream, which only a look at the socket tells.
        if (kind_ == SocketKind::kStream && ProbeStreamEnd()) return;
        readArmed_ = false;  // no more until it reads
        UpdateInterest();
    }
}

bool SocketNotifier::ProbeStreamEnd() {
    char probe;
    const ssize_t n = recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0) peerClosed_ = true;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        receiveError_ = WsaErrorFromErrno(errno);
    if (!peerClosed_ && receiveError_ == 0) return false;
    DeliverCloseIfEnded();
    return true;
}

void SocketNotifier::DeliverCloseIfEnded() {
    if (closeDelivered_ || fd_ < 0) return;
    DeliverClose(peerClosed_ && receiveError_ == 0 ? 0 : receiveError_);
}

void SocketNotifier::HandleError() {
    DeliverClose(PendingSocketError(fd_));
}

// The watch is given up after the close was told, not before: an owner that
// closes the descriptor in its handler takes it out of the kernel's set by
// closing it, without a system call of its own.
void SocketNotifier::DeliverClose(int error) {
    closeDelivered_ = true;
    GuardList::Scope guard(guards_);
    const MessageLoop::WatchId watch = watch_;
    Deliver(kEvClose, error);
    if (guard.Destroyed() || watch != watch_) return;
    UpdateInterest();
}

}  // namespace mv
