#include "cluster/redis_url.h"

#include <charconv>
#include <optional>

namespace mv::cluster {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool PercentDecode(std::string_view text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return false;
        const int hi = HexDigit(text[i + 1]);
        const int lo = HexDigit(text[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

bool ReadInt(std::string_view text, int min, int max, int& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size() && value >= min &&
           value <= max;
}

// "user:password@" before the host.
bool ReadLogin(std::string_view login, RedisUrl& url, std::string& error) {
    const size_t colon = login.find(':');
    if (!PercentDecode(login.substr(0, colon), url.user) ||
        (colon != std::string_view::npos &&
         !PercentDecode(login.substr(colon + 1), url.password))) {
        error = "a bad %-escape in the user or password";
        return false;
    }
    // "redis://:password@host" logs in as the default user.
    return true;
}

bool ReadHostPort(std::string_view hostPort, RedisUrl& url, std::string& error) {
    std::string_view host = hostPort;
    std::optional<std::string_view> port;
    if (!hostPort.empty() && hostPort.front() == '[') {  // an IPv6 address
        const size_t close = hostPort.find(']');
        if (close == std::string_view::npos) return error = "an unclosed '['", false;
        host = hostPort.substr(1, close - 1);
        const std::string_view rest = hostPort.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') return error = "junk after ']'", false;
        if (!rest.empty()) port = rest.substr(1);
    } else if (const size_t colon = hostPort.rfind(':'); colon != std::string_view::npos) {
        host = hostPort.substr(0, colon);
        port = hostPort.substr(colon + 1);
    }
    if (host.empty()) return error = "no host", false;
    url.host = std::string(host);
    if (port && !ReadInt(*port, 1, 65535, url.port))
        return error = "the port must be a number from 1 to 65535", false;
    return true;
}

}  // namespace

std::optional<RedisUrl> ParseRedisUrl(std::string_view text, std::string& error) {
    RedisUrl url;
    constexpr std::string_view kUnix = "unix://";
    constexpr std::string_view kRedis = "redis://";
    if (text.substr(0, kUnix.size()) == kUnix) {
        url.socketPath = std::string(text.substr(kUnix.size()));
        if (url.socketPath.empty() || url.socketPath.front() != '/') {
            error = "unix:// needs an absolute path (unix:///path/to/socket)";
            return std::nullopt;
        }
        return url;
    }
    if (text.substr(0, kRedis.size()) != kRedis) {
        error = "the address must begin with redis:// or unix://";
        return std::nullopt;
    }
    std::string_view rest = text.substr(kRedis.size());
    const size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    if (slash != std::string_view::npos) {
        const std::string_view db = rest.substr(slash + 1);
        if (!db.empty() && !ReadInt(db, 0, 1000000, url.db)) {
            error = "the database must be a number";
            return std::nullopt;
        }
    }
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
        if (!ReadLogin(authority.substr(0, at), url, error)) return std::nullopt;
        authority = authority.substr(at + 1);
    }
    if (!ReadHostPort(authority, url, error)) return std::nullopt;
    return url;
}

void UseStoredLogin(RedisUrl& url, std::string_view user, std::string_view password) {
    if (!url.password.empty()) return;
    url.password = password;
    if (url.user.empty()) url.user = user;
}

std::string RedisUrl::Display() const {
    if (IsUnix()) return "unix://" + socketPath;
    std::string out = "redis://";
    if (!user.empty()) out += user + "@";
    out += host.find(':') != std::string::npos ? "[" + host + "]" : host;
    out += ":" + std::to_string(port);
    if (db != 0) out += "/" + std::to_string(db);
    return out;
}

}  // namespace mv::cluster
