// mailvetter-cli smtp: one probe of a mail server, as the checker talks to it
// (greeting, HELO, MAIL FROM, RCPT TO, then RSET and QUIT), with the dialogue
// shown line by line.
#include <cstdio>

#include "cli_args.h"
#include "commands.h"
#include "net/smtp/smtp_cli.h"
#include "net/socket/socket_error_text.h"
#include "platform/loop/epoll_loop.h"
#include "platform/time/tick_count.h"

namespace mv::cli {

namespace {

// The probe's steps, driven by the client's completion notices.
class SmtpProbe {
  public:
    SmtpProbe(MessageLoop& loop, _TSmtpCli& client, uint32_t timeoutMs)
        : loop_(loop), client_(client), timeoutMs_(timeoutMs) {
        client_.OnDisplay = [this](_TCustomSmtpClient*, const std::string& m) {
            std::printf("%s\n", m.c_str());
            std::fflush(stdout);
            lastActivity_ = GetTickCount();
        };
        client_.OnRequestDone = [this](_TCustomSmtpClient*, TSmtpRequest t, uint16_t e) {
            lastActivity_ = GetTickCount();
            try {
                Step(t, e);
            } catch (const Exception& ex) {
                PrintError(ex.what());
                Finish(result_ == 0 ? 500 : result_);
            }
        };
    }

    // Returns the result code: 0 when RCPT TO was accepted.
    int Run() {
        lastActivity_ = GetTickCount();
        const auto watchdog = loop_.StartTimer(200, [this] {
            if (TickDiff(GetTickCount(), lastActivity_) > static_cast<int32_t>(timeoutMs_)) {
                PrintError("no reply from the server within " + std::to_string(timeoutMs_ / 1000) +
                           " seconds");
                client_.Abort();
                Finish(-2);
            }
        });
        client_.Open();
        loop_.Run();
        loop_.StopTimer(watchdog);
        return result_;
    }

  private:
    void Step(TSmtpRequest type, uint16_t error) {
        switch (type) {
            case smtpConnect:
                if (error != 0) return Leave(error);
                client_.MailFrom();
                return;
            case smtpMailFrom:
                if (error != 0) return Leave(error);
                client_.RcptTo();
                return;
            case smtpRcptTo:
                return Leave(error);
            case smtpRset:
                client_.Quit();
                return;
            case smtpQuit:
                Finish(result_);
                return;
            default:
                return;
        }
    }
    // Leaves the server politely (RSET, QUIT) when still connected.
    void Leave(int result) {
        result_ = result;
        if (client_.Connected()) {
            client_.Rset();
        } else {
            Finish(result);
        }
    }
    void Finish(int result) {
        result_ = result;
        loop_.Quit();
    }

    MessageLoop& loop_;
    _TSmtpCli& client_;
    uint32_t timeoutMs_;
    uint32_t lastActivity_ = 0;
    int result_ = 0;
};

// The proxy options: --socks HOST:PORT, --socks-level, --socks-user and
// --socks-password. Nothing is set without --socks.
void ApplyProxy(const ParsedArgs& parsed, _TAsyncSocket& socket) {
    if (!parsed.Has("socks")) {
        for (const char* name : {"socks-level", "socks-user", "socks-password"}) {
            if (parsed.Has(name)) {
                throw UsageError(std::string("--") + name + " needs --socks");
            }
        }
        return;
    }
    const std::string proxy = *parsed.Value("socks");
    const auto colon = proxy.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == proxy.size()) {
        throw UsageError("--socks needs HOST:PORT");
    }
    const std::string portText = proxy.substr(colon + 1);
    if (portText.find_first_not_of("0123456789") != std::string::npos || portText.size() > 5 ||
        std::stol(portText) < 1 || std::stol(portText) > 65535) {
        throw UsageError("--socks: the port must be a number from 1 to 65535");
    }
    std::string level = parsed.ValueOr("socks-level", "5");
    if (level == "4a") {
        level = "4A";
    }
    if (level != "4" && level != "4A" && level != "5") {
        throw UsageError("--socks-level must be 4, 4A or 5");
    }
    if (parsed.Has("socks-password") && !parsed.Has("socks-user")) {
        throw UsageError("--socks-password needs --socks-user");
    }
    if (parsed.Has("socks-password") && level != "5") {
        throw UsageError("--socks-password needs --socks-level 5");
    }
    socket.SetSocksServer(proxy.substr(0, colon));
    socket.SetSocksPort(portText);
    socket.SetSocksLevel(level);
    if (parsed.Has("socks-user")) {
        // Level 5 authenticates with user code and password; levels 4 and 4A
        // send the user code as their user id.
        socket.SetSocksUsercode(*parsed.Value("socks-user"));
        socket.SetSocksPassword(parsed.ValueOr("socks-password", ""));
        if (level == "5") {
            socket.SetSocksAuthentication(socksAuthenticateUsercode);
        }
    }
    socket.OnSocksConnected = [proxy](_TCustomAsyncSocket*, uint16_t error) {
        if (error != 0) {
            PrintError("proxy " + proxy + ": " + SocketErrorText(error) + " (error " +
                       std::to_string(error) + ")");
        }
    };
    socket.OnSocksError = [](_TCustomAsyncSocket*, int error, const std::string& msg) {
        PrintError("proxy: " + msg + " (error " + std::to_string(error) + ")");
    };
}

}  // namespace

int RunSmtp(const std::vector<std::string>& args) {
    const ParsedArgs parsed(args, {{"from"},
                                   {"rcpt"},
                                   {"helo"},
                                   {"port"},
                                   {"timeout"},
                                   {"socks"},
                                   {"socks-level"},
                                   {"socks-user"},
                                   {"socks-password"}});
    if (parsed.HelpRequested()) {
        std::fputs(FindCommand("smtp").help, stdout);
        return kExitOk;
    }
    if (parsed.Positional().size() != 1) {
        throw UsageError("smtp needs exactly one HOST");
    }
    if (!parsed.Has("from")) {
        throw UsageError("smtp needs --from ADDRESS");
    }
    if (!parsed.Has("rcpt")) {
        throw UsageError("smtp needs --rcpt ADDRESS");
    }
    const long port = parsed.Number("port", 1, 65535).value_or(25);
    const long timeout = parsed.Number("timeout", 1, 3600).value_or(30);

    EpollLoop loop;
    _TSmtpCli client(loop);
    client.SetHost(parsed.Positional()[0]);
    client.SetPort(std::to_string(port));
    client.SetSignOn(parsed.ValueOr("helo", ""));
    client.SetFromName(*parsed.Value("from"));
    client.SetRcptName({*parsed.Value("rcpt")});
    ApplyProxy(parsed, client.Socket());
    SmtpProbe probe(loop, client, static_cast<uint32_t>(timeout * 1000));
    int result;
    try {
        result = probe.Run();
    } catch (const Exception& e) {
        PrintError(e.what());
        return kExitFailure;
    }
    std::printf("result\t%d\n", result);
    return result == 0 ? kExitOk : kExitFailure;
}

}  // namespace mv::cli
