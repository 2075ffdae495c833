// The registered domain of a host name: the part a registrant owns, one
// label below its public suffix ("mx1.mail.protection.outlook.com" ->
// "outlook.com", "mail.example.co.uk" -> "example.co.uk"). Mail servers of
// one provider share it, so it names a group of servers. From the Public
// Suffix List through libpsl: the system's copy when it is newer than the one
// built into the library, else the built-in one, so it is never missing.
#pragma once

#include <string>
#include <string_view>

namespace mv {

// In lower case, without a trailing dot. An address ("192.0.2.1", "::1",
// "[192.0.2.1]") is its own group and comes back as it is; so does a name
// that is a public suffix itself or has no registered domain ("localhost").
std::string RegisteredDomain(std::string_view host);

}  // namespace mv
