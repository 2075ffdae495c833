#include "smtp_session.h"

#include <charconv>
#include <chrono>

namespace mv::fakeworld {

namespace {

std::string_view TextOf(unsigned code) {
    switch (code) {
        case 220:
            return "ESMTP fakeworld";
        case 221:
            return "2.0.0 Bye";
        case 250:
            return "2.0.0 OK";
        case 251:
            return "2.1.5 User not local; will forward";
        case 252:
            return "2.5.2 Cannot verify the user, but will accept the message";
        case 421:
            return "4.3.2 Service not available, closing channel";
        case 450:
            return "4.2.0 Mailbox unavailable, try again later";
        case 451:
            return "4.3.0 Local error in processing";
        case 452:
            return "4.3.1 Insufficient system storage";
        case 500:
            return "5.5.2 Command not recognized";
        case 501:
            return "5.5.4 Syntax error in parameters or arguments";
        case 503:
            return "5.5.1 Bad sequence of commands";
        case 550:
            return "5.1.1 Mailbox unavailable";
        case 551:
            return "5.1.6 User not local";
        case 552:
            return "5.2.2 Exceeded storage allocation";
        case 553:
            return "5.1.3 Mailbox name not allowed";
        case 554:
            return "5.3.0 Transaction failed";
        default:
            return "fakeworld scripted reply";
    }
}

void AppendCode(std::string& out, unsigned code, char separator) {
    char digits[8];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, code);
    out.append(digits, end);
    out += separator;
}

bool EqualsUpper(std::string_view word, std::string_view upper) {
    if (word.size() != upper.size()) {
        return false;
    }
    for (size_t i = 0; i < word.size(); ++i) {
        char c = word[i];
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (c != upper[i]) {
            return false;
        }
    }
    return true;
}

Verb ParseVerb(std::string_view line) {
    const std::string_view word = line.substr(0, line.find(' '));
    for (size_t i = 0; i < static_cast<size_t>(Verb::Other); ++i) {
        if (EqualsUpper(word, VerbName(static_cast<Verb>(i)))) {
            return static_cast<Verb>(i);
        }
    }
    return Verb::Other;
}

// The text between '<' and the following '>', or nullopt-like npos signal.
bool AngleAddress(std::string_view line, std::string_view& address) {
    const size_t open = line.find('<');
    if (open == std::string_view::npos) {
        return false;
    }
    const size_t close = line.find('>', open + 1);
    if (close == std::string_view::npos) {
        return false;
    }
    address = line.substr(open + 1, close - open - 1);
    return true;
}

}  // namespace

std::string_view GreetingName(const HostRule& host) {
    std::string_view name = host.name;
    if (name == "*") {
        return "fakeworld";
    }
    if (name.substr(0, 2) == "*.") {
        name.remove_prefix(2);
    }
    return name;
}

void SmtpSession::Start(const HostRule* host, GreylistMemory* greylisted, Stats* stats) {
    host_ = host;
    greylisted_ = greylisted;
    stats_ = stats;
    helloDone_ = mailGiven_ = muted_ = rcptSeen_ = false;
    rcpts_ = 0;
}

void SmtpSession::Greet(std::string& out) const {
    if (host_->silent) {
        return;
    }
    const unsigned code = host_->greetingCode;
    if (host_->multilineGreeting || host_->dripMs > 0) {
        AppendCode(out, code, '-');
        out += GreetingName(*host_);
        out += " ESMTP fakeworld\r\n";
        if (host_->dripMs > 0) {
            return;  // the server repeats this line and never ends the greeting
        }
    }
    AppendCode(out, code, ' ');
    out += GreetingName(*host_);
    out += ' ';
    out += code == 220 ? (host_->multilineGreeting ? "ready" : TextOf(220)) : TextOf(code);
    out += "\r\n";
}

void SmtpSession::Reply(std::string& out, unsigned code) const {
    AppendCode(out, code, ' ');
    out += TextOf(code);
    out += "\r\n";
}

bool SmtpSession::HandleLine(std::string_view line, std::string& out) {
    const Verb verb = ParseVerb(line);
    ++stats_->commands[static_cast<size_t>(verb)];
    if (host_->silent || muted_) {
        return false;
    }
    // After a refusing greeting only QUIT is served, as a server must wait
    // for it before closing.
    if (host_->greetingCode != 220 && verb != Verb::Quit) {
        if (verb == Verb::Rcpt) {
            ++stats_->rcptRejected;
        }
        Reply(out, 503);
        return false;
    }
    switch (verb) {
        case Verb::Helo:
        case Verb::Ehlo: {
            const bool ehlo = verb == Verb::Ehlo;
            const uint16_t code = ehlo && host_->ehloCode != 0 ? host_->ehloCode : host_->heloCode;
            helloDone_ = code / 100 == 2;
            const bool extensions = ehlo && helloDone_ && host_->smtputf8;
            AppendCode(out, code, extensions ? '-' : ' ');
            out += helloDone_ ? GreetingName(*host_) : TextOf(code);
            out += extensions ? "\r\n250 SMTPUTF8\r\n" : "\r\n";
            return false;
        }
        case Verb::Mail: {
            std::string_view sender;
            unsigned code = !helloDone_ ? 503 : !AngleAddress(line, sender) ? 501 : host_->mailCode;
            mailGiven_ = code / 100 == 2;
            Reply(out, code);
            return false;
        }
        case Verb::Rcpt:
            if (host_->tarpit && rcptSeen_) {
                muted_ = true;  // a tarpit: the connection is never answered again
                return false;
            }
            rcptSeen_ = true;
            if (host_->maxRecipients != 0 && rcpts_ >= host_->maxRecipients) {
                ++stats_->rcptRejected;
                out += "452 4.5.3 Too many recipients\r\n";
                return false;
            }
            ++rcpts_;
            Rcpt(line, out);
            muted_ = host_->silentAfterRcpt;
            return host_->closeAfterRcpt != 0 && rcpts_ >= host_->closeAfterRcpt;
        case Verb::Rset:
            mailGiven_ = false;
            Reply(out, 250);
            return false;
        case Verb::Quit:
            Reply(out, 221);
            return true;
        case Verb::Noop:
            Reply(out, 250);
            return false;
        case Verb::Vrfy:
            Reply(out, 252);
            return false;
        case Verb::Data:
            Reply(out, 554);
            return false;
        default:
            Reply(out, 500);
            return false;
    }
}

// The refusals of a block list and of greylisting carry the texts that such
// servers send, so that a checker can tell them from an unknown mailbox.
constexpr std::string_view kBlockListReply =
    "554 5.7.1 Service unavailable; Client host blocked using zen.spamhaus.org\r\n";
constexpr std::string_view kGreylistReply =
    "450 4.2.0 Recipient address rejected: Greylisted, please try again later\r\n";

void SmtpSession::Rcpt(std::string_view line, std::string& out) {
    std::string_view address;
    unsigned code = !mailGiven_ ? 503 : !AngleAddress(line, address) ? 501 : RcptCode(address);
    ++(code / 100 == 2 ? stats_->rcptAccepted : stats_->rcptRejected);
    if (code == 554 && host_->blocklist) {
        out += kBlockListReply;
    } else if (code == 450 && host_->greylist) {
        out += kGreylistReply;
    } else {
        Reply(out, code);
    }
}

unsigned SmtpSession::RcptCode(std::string_view address) {
    if (host_->blocklist) {
        return 554;
    }
    scratch_.assign(address);
    for (char& c : scratch_) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    if (host_->greylist && Greylisted()) {
        return 450;
    }
    if (!host_->hasUsers || host_->users.find(scratch_) != host_->users.end()) {
        return host_->rcptCode;
    }
    const size_t at = scratch_.rfind('@');
    const std::string_view local = std::string_view(scratch_).substr(0, at);
    return host_->localParts.find(local) != host_->localParts.end() ? host_->rcptCode
                                                                    : host_->rejectCode;
}

// The first try of an address is refused; with greylistMs so is every try
// until that long after the first.
bool SmtpSession::Greylisted() {
    const auto now = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::steady_clock::now().time_since_epoch())
                                               .count());
    const auto [it, first] = greylisted_->emplace(scratch_, now);
    return first || now - it->second < host_->greylistMs;
}

void SmtpSession::HandleOverlong(std::string& out) {
    ++stats_->overlongLines;
    ++stats_->commands[static_cast<size_t>(Verb::Other)];
    if (!host_->silent) {
        out += "500 5.5.6 Line too long\r\n";
    }
}

}  // namespace mv::fakeworld
