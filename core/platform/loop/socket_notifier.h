// Turns descriptor readiness into the five socket notifications the network
// components are written against: connect finished (with its error), readable,
// writable, accept pending and closed.
//
// The rules are those the components expect from the platform:
//  * writable comes once when a connect completes (or when a connected or
//    datagram socket is first selected), then only after a send met "would
//    block" or was cut short (SendWouldBlock);
//  * readable comes when data waits, and again only after the owner made a
//    receive call (Received), so a handler that does not read cannot make the
//    loop spin;
//  * closed comes when the peer ended the stream or the connection failed,
//    once, after which the descriptor is no longer watched; the socket offers
//    the remaining data before it reports the close;
//  * accept pending comes again only after Accepted;
//  * a descriptor the system refuses to watch fails at once, as a later
//    notification: connect finished with the error while connecting, else
//    closed with the error;
//  * a connect that has not finished within the connect limit (21 seconds
//    unless set otherwise) finishes with 10060 ("connection timed out"), as
//    on Windows, which gives up after two SYN retries (3 + 6 + 12 seconds).
//    Linux would retry for about two minutes, longer than a check waits for
//    a host. A timer keeps exactly this limit; the system's SYN retry count
//    (TCP_SYNCNT) only gives 3, 7, 15 or 31 seconds, depending on the
//    kernel's retransmission timer.
// Writability is watched only while a writable notification is armed: a
// level-triggered loop would otherwise spin.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/loop/destruction_guard.h"
#include "platform/loop/message_loop.h"

namespace mv {

enum SocketEvent : unsigned {
    kEvRead = 1,
    kEvWrite = 2,
    kEvOob = 4,
    kEvAccept = 8,
    kEvConnect = 16,
    kEvClose = 32,
    kEvAll = kEvRead | kEvWrite | kEvOob | kEvAccept | kEvConnect | kEvClose,
};

enum class SocketKind { kStream, kDatagram, kListening };

class SocketNotifier {
  public:
    static constexpr uint32_t kDefaultConnectLimitMs = 21000;

    // Called once per notification: one event bit and its socket error number.
    using Handler = std::function<void(int fd, unsigned event, int error)>;

    SocketNotifier(MessageLoop& loop, Handler handler);
    ~SocketNotifier();
    SocketNotifier(const SocketNotifier&) = delete;
    SocketNotifier& operator=(const SocketNotifier&) = delete;

    // Starts (or changes) notifications for `fd`. An empty `events` set stops
    // them while keeping the descriptor known (pausing).
    // With `connecting`, a non-blocking connect is about to start on it.
    void Select(int fd, SocketKind kind, unsigned events, bool connecting = false);
    // Stops all notifications; must come before the descriptor is closed
    // (`closing`: it is closed right afterwards).
    void Stop(bool closing = false);

    // A non-blocking connect is under way: connect finished comes next.
    void ConnectStarted();
    // The connect failed at once with `wsaError`; report it as a later
    // connect-finished notification, as an asynchronous failure would be.
    void ConnectFailedLater(int wsaError);
    // A send met "would block" or handed over only part of its bytes.
    void SendWouldBlock();
    // A receive call was made asking for `requested` bytes with `result`
    // (bytes, or -1 with `wsaError`). A stream receive of 0 bytes means the
    // peer has closed; the closed notification follows the read.
    void Received(int requested = 1, int result = 1, int wsaError = 0);
    void Accepted();
    // A stream receive has seen the end of the stream: every later one
    // would only say so again.
    bool PeerClosed() const { return peerClosed_; }
    // Milliseconds a connect may take before it fails with 10060; 0: no limit.
    // Applies to connects started afterwards.
    void SetConnectLimit(uint32_t ms) { connectLimitMs_ = ms; }
    uint32_t ConnectLimit() const { return connectLimitMs_; }

    int fd() const { return fd_; }
    // The watch on the current descriptor, by identity and generation (0
    // while none): a descriptor closed and opened again, even under the same
    // number, gets another one.
    MessageLoop::WatchId Watch() const { return watch_; }

  private:
    void OnReady(unsigned readiness);
    void HandleConnecting(unsigned readiness);
    void HandleReadable();
    bool ProbeStreamEnd();
    void DeliverCloseIfEnded();
    void DeliverClose(int error);
    void HandleError();
    void UpdateInterest();
    void WatchFailed(int err);
    void FailLater(unsigned event, int wsaError);
    void Deliver(unsigned event, int error);
    void StopConnectTimer();
    void OnConnectLimit();
    bool Watching() const { return watch_ != 0; }

    MessageLoop& loop_;
    Handler handler_;
    MessageLoop::WatchId watch_ = 0;
    int fd_ = -1;
    SocketKind kind_ = SocketKind::kStream;
    unsigned events_ = 0;
    bool connecting_ = false;
    bool readArmed_ = false;
    bool writeArmed_ = false;
    bool closeDelivered_ = false;
    bool receivedDuringRead_ = false;
    bool peerClosed_ = false;  // a receive saw the end of the stream
    int receiveError_ = 0;     // a receive failed with this error
    uint32_t connectLimitMs_ = kDefaultConnectLimitMs;
    MessageLoop::TimerId connectTimer_ = 0;
    WeakToken token_;
    GuardList guards_;
};

}  // namespace mv
