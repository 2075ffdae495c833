// A fake SOCKS proxy on 127.0.0.1 for tests: plain blocking sockets on its own
// thread, independent of the code under test. It speaks levels 4, 4A and 5
// (with the user-code method of level 5), connects to the target the client
// asks for and relays both ways until either side closes.
//
// Each reply can be replaced by scripted bytes, sent in pieces that each come
// in a read of their own, to play short, long, split and garbage replies.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace mv::test {

class FakeSocksProxy {
  public:
    struct Options {
        // Level 5: the credentials the proxy requires through the user-code
        // method; level 4: the user code it requires. Empty: none required.
        std::string user;
        std::string password;
        // Replacements of the method, user-code and connect replies, sent
        // piece by piece. The connection then closes, unless
        // continueAfterScript is set: the proxy then goes on as if it had
        // sent its own reply.
        std::optional<std::vector<std::string>> methodReply;
        std::optional<std::vector<std::string>> authReply;
        std::optional<std::vector<std::string>> connectReply;
        bool continueAfterScript = false;
        // The status of the connect reply: -1 the real outcome; otherwise
        // this failure code (level 4: 91 to 93 and others, level 5: 1 to 255)
        // after which the proxy closes.
        int connectStatus = -1;
        // Waits for the target's first bytes and sends them in the same write
        // as the successful connect reply.
        bool joinFirstTargetBytes = false;
    };

    explicit FakeSocksProxy(Options options, int connections = 1);
    FakeSocksProxy() : FakeSocksProxy(Options{}) {}
    ~FakeSocksProxy();
    FakeSocksProxy(const FakeSocksProxy&) = delete;
    FakeSocksProxy& operator=(const FakeSocksProxy&) = delete;

    uint16_t port() const { return port_; }
    std::string portText() const { return std::to_string(port_); }
    // The handshake bytes the client of connection `index` sent, in order.
    std::string Received(int index = 0) const;
    // The target that client asked for, as "host:port" (empty before).
    std::string Target(int index = 0) const;
    // Waits until every connection has been served.
    void Join();

  private:
    void Serve(int fd, int index);
    bool Handshake(int fd, int index, int& target);
    bool Level4(int fd, int index, int& target);
    bool Level5(int fd, int index, int& target);
    // Sends a scripted reply; true when the proxy goes on afterwards.
    bool SendScript(int fd, const std::vector<std::string>& pieces);
    bool ReadExact(int fd, int index, void* buffer, size_t n);
    bool ReadZeroTerminated(int fd, int index, std::string& text);
    void Relay(int client, int target);
    void Record(int index, const std::string& bytes, const std::string* target);

    Options options_;
    int listenFd_ = -1;
    int stopFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> received_;
    std::vector<std::string> targets_;
    std::thread thread_;
};

}  // namespace mv::test
