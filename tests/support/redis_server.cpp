#include "redis_server.h"

#include <signal.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

#include "subprocess.h"
#include "test_support.h"

namespace mv::test {

bool RedisServer::Available() {
    return access("/usr/bin/redis-server", X_OK) == 0 && access("/usr/bin/redis-cli", X_OK) == 0;
}

RedisServer::RedisServer(const Options& options)
    : options_(options), dir_(std::make_unique<TempDir>()) {
    socket_ = (dir_->path() / "redis.sock").string();
    Start();
}

RedisServer::~RedisServer() {
    Stop();
}

std::string RedisServer::Url() const {
    return "unix://" + socket_;
}

void RedisServer::Start() {
    std::vector<std::string> argv = {"/usr/bin/redis-server",
                                     "--port",
                                     "0",
                                     "--unixsocket",
                                     socket_,
                                     "--unixsocketperm",
                                     "700",
                                     "--dir",
                                     dir_->path().string(),
                                     "--save",
                                     "",
                                     "--appendonly",
                                     options_.appendOnly ? "yes" : "no",
                                     "--appendfsync",
                                     "always"};
    if (!options_.password.empty()) {
        argv.push_back("--requirepass");
        argv.push_back(options_.password);
    }
    process_ = std::make_unique<Subprocess>(argv);
    if (!process_->WaitForOutput("accept connections", 10000, false))
        throw std::runtime_error("redis-server did not start: " + process_->Wait(1).out);
}

void RedisServer::Stop() {
    if (!process_) return;
    process_->Signal(SIGTERM);
    process_->Wait(10000);
    process_.reset();
}

void RedisServer::Restart() {
    Stop();
    Start();
}

std::string RedisServer::Cli(const std::vector<std::string>& args) const {
    std::vector<std::string> argv = {"/usr/bin/redis-cli", "-s", socket_};
    if (!options_.password.empty())
        argv.insert(argv.end(), {"--no-auth-warning", "-a", options_.password});
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv).out;
}

}  // namespace mv::test
