// The proxy options that the smtp and check commands share: --socks HOST:PORT,
// --socks-level, --socks-user and --socks-password.
#pragma once

#include <optional>
#include <vector>

#include "cli_args.h"
#include "net/socks/socks_proxy.h"

namespace mv::cli {

// The proxy the options name, or nothing without --socks. Raises UsageError
// for a malformed HOST:PORT, an unknown level, a password without a user, a
// password below level 5, or a --socks-... option without --socks.
std::optional<SocksProxy> ParseSocksOptions(const ParsedArgs& parsed);

}  // namespace mv::cli
