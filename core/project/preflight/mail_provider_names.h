// The domains of the large mail providers, in one place: a checker that
// gives one of them as its HELO name claims to be that provider's server,
// and receivers treat the claim as forged.
#pragma once

#include <string_view>

namespace mv {

// True when `name` or one of its parent domains is a mail provider's domain
// (without regard to case; a final dot is ignored): "gmail.com",
// "mx.GMAIL.com." and "web.de" are, "notgmail.com" is not.
bool IsMailProviderName(std::string_view name);

}  // namespace mv
