#include "fake_smtp_server.h"

namespace mv::test {

FakeSmtpServer::FakeSmtpServer(Rules rules, std::string greeting, int connections)
    : rules_(std::move(rules)),
      greeting_(std::move(greeting)),
      server_([this](TcpConnection& c, int) { Serve(c); }, connections) {}

std::vector<std::string> FakeSmtpServer::commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

std::string FakeSmtpServer::message() const {
    std::lock_guard lock(mutex_);
    return message_;
}

bool FakeSmtpServer::quitSeen() const {
    std::lock_guard lock(mutex_);
    for (const std::string& command : commands_)
        if (command == "QUIT") return true;
    return false;
}

std::string FakeSmtpServer::ReplyTo(const std::string& line) const {
    std::string reply = line == "QUIT" ? "221 bye" : "250 ok";
    for (const auto& [prefix, answer] : rules_)
        if (line.rfind(prefix, 0) == 0) reply = answer;
    return reply;
}

void FakeSmtpServer::Serve(TcpConnection& c) {
    if (!greeting_.empty()) c.Send(greeting_ + "\r\n");
    for (;;) {
        bool ok = false;
        const std::string line = c.ReadLine(&ok);
        if (!ok) return;
        {
            std::lock_guard lock(mutex_);
            commands_.push_back(line);
        }
        const std::string reply = ReplyTo(line);
        if (reply != kSilent) c.Send(reply + "\r\n");
        if (line == "QUIT") return;
        if (line == "DATA" && reply.rfind('3', 0) == 0) ReceiveMessage(c);
    }
}

void FakeSmtpServer::ReceiveMessage(TcpConnection& c) {
    std::string body;
    for (;;) {
        bool ok = false;
        const std::string line = c.ReadLine(&ok);
        if (!ok) return;
        if (line == ".") break;
        body += line + "\r\n";
    }
    {
        std::lock_guard lock(mutex_);
        message_ = std::move(body);
    }
    std::string reply = "250 queued";
    for (const auto& [prefix, answer] : rules_)
        if (prefix == ".") reply = answer;
    c.Send(reply + "\r\n");
}

}  // namespace mv::test
