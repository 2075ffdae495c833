#include "dante_server.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "kernel_probes.h"

namespace mv::test {

namespace {

bool Listening(uint16_t port) {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    const bool ok = connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(s);
    return ok;
}

}  // namespace

bool DanteServer::Installed() {
    return access(kProgram, X_OK) == 0;
}

DanteServer::DanteServer(uint16_t port, bool relays) : port_(port) {
    const std::string conf = (dir_ / "danted.conf").string();
    const char* verdict = relays ? "pass" : "block";
    WriteFile(conf, "logoutput: " + (dir_ / "danted.log").string() + "\n" +
                        "internal: 127.0.0.1 port = " + std::to_string(port) + "\n" +
                        "external: 127.0.0.1\n"
                        "clientmethod: none\n"
                        "socksmethod: none\n"
                        "user.privileged: root\n"
                        "user.unprivileged: nobody\n"
                        "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
                        "socks " +
                        verdict + " { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n");
    const std::string pidFile = (dir_ / "danted.pid").string();
    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0);  // its helper processes end with it
        execl(kProgram, kProgram, "-f", conf.c_str(), "-p", pidFile.c_str(), nullptr);
        _exit(127);
    }
    if (pid_ > 0) setpgid(pid_, pid_);  // the child may not have run yet
}

DanteServer::~DanteServer() {
    if (pid_ <= 0) return;
    kill(-pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

bool DanteServer::WaitListening() const {
    return PollUntil([this] { return Listening(port_); }, std::chrono::seconds(5));
}

std::string DanteServer::Log() const {
    return ReadFile(dir_ / "danted.log");
}

}  // namespace mv::test
