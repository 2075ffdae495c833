// A fake TCP server on 127.0.0.1 for tests: plain blocking sockets on its own
// thread, independent of the code under test, following a script per
// connection.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mv::test {

// One accepted connection, as the script sees it.
class TcpConnection {
  public:
    // `stopFd` becomes readable when the server shuts down: every wait ends.
    explicit TcpConnection(int fd, int stopFd = -1) : fd_(fd), stopFd_(stopFd) {}
    ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    void Send(const std::string& bytes);
    // Sends `bytes`, then waits until the client, a socket of this same
    // process, has read everything sent so far: the next bytes come in a read
    // of their own. False when that did not happen within the time-out.
    bool SendPiece(const std::string& bytes, int timeoutMs = 5000);
    // The next line without its CR LF; empty with ok=false on close or time-out.
    std::string ReadLine(bool* ok = nullptr, int timeoutMs = 5000);
    // Whatever arrives within the time-out (at most `max` bytes).
    std::string ReadSome(int timeoutMs = 5000, size_t max = 65536);
    // True when the peer closed (or reset) the connection within the time-out.
    bool WaitForClose(int timeoutMs = 5000);
    void Close();
    // Closes with a reset instead of an orderly shutdown.
    void Reset();
    int fd() const { return fd_; }

  private:
    bool WaitReadable(int timeoutMs);
    int fd_;
    int stopFd_;
    std::string pending_;
};

class ScriptedTcpServer {
  public:
    using Script = std::function<void(TcpConnection&, int index)>;

    // Serves up to `connections` connections one after the other.
    explicit ScriptedTcpServer(Script script, int connections = 1);
    ~ScriptedTcpServer();
    ScriptedTcpServer(const ScriptedTcpServer&) = delete;
    ScriptedTcpServer& operator=(const ScriptedTcpServer&) = delete;

    uint16_t port() const { return port_; }
    std::string portText() const { return std::to_string(port_); }
    int accepted() const { return accepted_.load(); }
    // Waits until the script of every served connection has returned.
    void Join();

  private:
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<int> accepted_{0};
    std::atomic<bool> stop_{false};
    int stopFd_ = -1;
    std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens (connections are refused).
uint16_t UnusedTcpPort();

}  // namespace mv::test
