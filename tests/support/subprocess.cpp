#include "subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "kernel_probes.h"

extern char** environ;

namespace mv::test {

Subprocess::Subprocess(const std::vector<std::string>& argv, const std::string& stdinText,
                       const std::vector<std::string>& env) {
    int in[2];
    int out[2];
    int err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<std::string> envStrings;
    for (char** e = environ; *e != nullptr; ++e)
        envStrings.emplace_back(*e);
    envStrings.insert(envStrings.end(), env.begin(), env.end());
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        std::vector<char*> args;
        args.reserve(argv.size() + 1);
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        std::vector<char*> envp;
        envp.reserve(envStrings.size() + 1);
        for (auto& e : envStrings)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        execve(args[0], args.data(), envp.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    outFd_ = out[0];
    errFd_ = err[0];
    // Standard input is small in tests; write it and close it.
    size_t done = 0;
    while (done < stdinText.size()) {
        const ssize_t n = write(in[1], stdinText.data() + done, stdinText.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    close(in[1]);
}

Subprocess::~Subprocess() {
    if (!done_) Wait(1);
    if (outFd_ >= 0) close(outFd_);
    if (errFd_ >= 0) close(errFd_);
}

void Subprocess::Signal(int sig) {
    if (!done_ && pid_ > 0) kill(pid_, sig);
}

void Subprocess::Pump(int timeoutMs) {
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    if (poll(fds, 2, timeoutMs) <= 0) return;
    char buf[65536];
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
        const ssize_t n = read(fds[i].fd, buf, sizeof buf);
        if (n > 0) {
            (i == 0 ? result_.out : result_.err).append(buf, static_cast<size_t>(n));
        } else {
            close(fds[i].fd);
            (i == 0 ? outFd_ : errFd_) = -1;
        }
    }
}

bool Subprocess::WaitForOutput(const std::string& text, int timeoutMs, bool onStderr) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::string& s = onStderr ? result_.err : result_.out;
        if (s.find(text) != std::string::npos) return true;
        if ((outFd_ < 0 && errFd_ < 0) || std::chrono::steady_clock::now() >= end) return false;
        Pump(20);
    }
}

ProcessResult Subprocess::Wait(int timeoutMs) {
    if (done_) return result_;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while ((outFd_ >= 0 || errFd_ >= 0) && std::chrono::steady_clock::now() < end)
        Pump(20);
    // Its output may have closed before the end (or stayed open past the time-out).
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    bool killed = false;
    const int status =
        WaitForExit(pid_, static_cast<int>(std::max<long long>(left.count(), 0)), &killed);
    if (killed) {
        done_ = true;
        result_.exitCode = -1;
        return result_;
    }
    while (outFd_ >= 0 || errFd_ >= 0)
        Pump(20);
    done_ = true;
    if (WIFEXITED(status)) result_.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result_.termSignal = WTERMSIG(status);
    return result_;
}

int WaitForExit(pid_t pid, int timeoutMs, bool* killed) {
    // A descriptor that becomes readable when the process ends: no polling.
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    int status = 0;
    if (fd >= 0) {
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, timeoutMs);
        close(fd);
    } else if (PollUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; },
                         std::chrono::milliseconds(timeoutMs))) {
        return status;  // a kernel without process descriptors
    }
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        if (killed != nullptr) *killed = true;
    }
    return status;
}

ProcessResult RunProgram(const std::vector<std::string>& argv, const std::string& stdinText,
                         const std::vector<std::string>& env, int timeoutMs) {
    Subprocess p(argv, stdinText, env);
    return p.Wait(timeoutMs);
}

std::string CliPath() {
    const char* path = std::getenv("MV_CLI");  // lets a test run against another build
    return path != nullptr ? path : MV_CLI_PATH;
}

}  // namespace mv::test
