// Where a Redis server is and how to log in: "redis://[user:password@]host
// [:port][/db]" or "unix:///path/to/socket". The password never appears in
// what Display() gives, so messages and status lines can show the address.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mv::cluster {

struct RedisUrl {
    std::string host;  // a name or an address; empty for a Unix socket
    int port = 6379;
    std::string socketPath;  // for "unix://"
    int db = 0;
    std::string user;      // empty: the default user
    std::string password;  // empty: no AUTH

    bool IsUnix() const { return !socketPath.empty(); }
    // The URL without the password ("redis://user@host:port/db").
    std::string Display() const;
};

// The URL `text` names; none with `error` set when it is malformed. User and
// password may be percent-encoded.
std::optional<RedisUrl> ParseRedisUrl(std::string_view text, std::string& error);

// The stored login (Cluster/User, Cluster/Password) for an address that
// holds no password: the password, and the user unless the address names one.
void UseStoredLogin(RedisUrl& url, std::string_view user, std::string_view password);

}  // namespace mv::cluster
