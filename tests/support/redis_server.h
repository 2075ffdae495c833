// A Redis server of the test's own: on a Unix socket in a temporary folder,
// no snapshots, the append-only file only when asked for. Tests skip (with a
// message) where redis-server is not installed.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace mv::test {

class Subprocess;
class TempDir;

class RedisServer {
  public:
    struct Options {
        bool appendOnly = false;  // every write on disk before its reply
        std::string password;     // of the default user; empty: none
    };
    static bool Available();

    explicit RedisServer(const Options& options);
    ~RedisServer();
    RedisServer(const RedisServer&) = delete;
    RedisServer& operator=(const RedisServer&) = delete;

    // "unix:///tmp/.../redis.sock".
    std::string Url() const;
    const std::string& SocketPath() const { return socket_; }
    // Stops the server (as a shutdown would) and starts it again on the same
    // folder; with the append-only file it comes back with its data.
    void Restart();
    // Runs redis-cli with `args` against the server; its standard output.
    std::string Cli(const std::vector<std::string>& args) const;

  private:
    void Start();
    void Stop();

    Options options_;
    std::unique_ptr<TempDir> dir_;
    std::string socket_;
    std::unique_ptr<Subprocess> process_;
};

}  // namespace mv::test
