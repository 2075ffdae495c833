// What the kernel knows about the sockets and threads of this process, so
// that tests can wait for the event they need (bytes read, a connection made,
// a thread asleep) rather than for the clock.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace mv::test {

// Bytes the owner of the connected TCP socket `fd` has read so far (received
// minus still waiting), while the peer has not closed; 0 when `fd` is no TCP
// socket.
uint64_t BytesTaken(int fd);

// The descriptor of this process at the other end of the loopback TCP
// connection `fd`, or -1 when the other end belongs to no socket of ours.
int LocalPeerOf(int fd);

// Waits until everything sent on the loopback TCP connection `fd` has been
// read by its other end, a socket of this process; false when that end is
// not ours or did not read it within `limit`.
bool WaitTakenByLocalPeer(int fd, std::chrono::milliseconds limit = std::chrono::seconds(5));

// Established TCP connections in this network namespace from any local port
// to address:port (a dotted IPv4 address).
int EstablishedConnectionsTo(const std::string& address, uint16_t port);

// True when a socket can be bound to ::1 (the computer has IPv6 on loopback).
bool Ipv6LoopbackUsable();

// Checks `condition` until it holds or `limit` passes, for conditions that no
// message loop of the test delivers (another thread, another process); true
// when it held. The limit only keeps a broken test from hanging.
bool PollUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(10));

// True when the thread `tid` of this process sleeps (in a wait or a sleep).
bool ThreadSleeps(pid_t tid);

// Waits until `fd` is readable without reading it; false after `limit`.
bool WaitReadable(int fd, std::chrono::milliseconds limit = std::chrono::seconds(10));

}  // namespace mv::test
