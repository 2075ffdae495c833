// mailvetter-cli smtp: one probe of a mail server, as the checker talks to it
// (greeting, HELO, MAIL FROM, RCPT TO, then RSET and QUIT), with the dialogue
// shown line by line.
#include <cstdio>

#include "cli_args.h"
#include "commands.h"
#include "net/smtp/smtp_cli.h"
#include "net/smtp/smtp_reply_reader.h"
#include "net/socket/socket_error_text.h"
#include "platform/loop/epoll_loop.h"
#include "platform/time/tick_count.h"
#include "socks_options.h"

namespace mv::cli {

namespace {

// The probe's steps, driven by the client's completion notices.
class SmtpProbe {
  public:
    SmtpProbe(MessageLoop& loop, _TSmtpCli& client, uint32_t timeoutMs)
        : loop_(loop), client_(client), timeoutMs_(timeoutMs) {
        client_.OnDisplay = [](_TCustomSmtpClient*, const std::string& m) {
            std::printf("%s\n", m.c_str());
            std::fflush(stdout);
        };
        client_.OnCommand = [this](_TCustomSmtpClient*, const std::string&) {
            lastActivity_ = GetTickCount();
        };
        // Only a line that completes a reply is a sign of life: a server that
        // sends continuation lines for ever must still time out.
        client_.OnResponse = [this](_TCustomSmtpClient*, const std::string& line) {
            if (!ParseSmtpStatus(line).continuation) lastActivity_ = GetTickCount();
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

// Connects through the proxy that the --socks options name, if any, and
// shows the proxy's failures.
void ApplyProxy(const ParsedArgs& parsed, _TAsyncSocket& socket) {
    const std::optional<SocksProxy> options = ParseSocksOptions(parsed);
    if (!options) return;
    options->ApplyTo(socket);
    const std::string proxy = options->Address();
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

int RunSmtp(const ParsedArgs& parsed) {
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
    client.SetFamilies(HostFamilies::kIPv6WhenNoIPv4);
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
