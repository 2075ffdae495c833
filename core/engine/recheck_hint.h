// How long a server asks to be left alone before an address is tried again,
// as its temporary refusal says it: "try again in 2 seconds", "greylisted for
// 5 minutes", "come back in 00:04:30". The first duration in the reply's text
// counts: a number followed by a unit (seconds, minutes, hours, in the usual
// spellings and abbreviations) or a clock time h:mm:ss or mm:ss.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace mv {

// The duration in milliseconds, or none when the reply names none.
std::optional<uint64_t> RecheckHintMs(std::string_view reply);

// The hint as a recheck delay: never shorter than 10 seconds (a server that
// says "2 seconds" is answered no sooner) nor longer than 30 minutes.
inline constexpr uint32_t kMinRecheckHintMs = 10 * 1000;
inline constexpr uint32_t kMaxRecheckHintMs = 30 * 60 * 1000;
std::optional<uint32_t> RecheckHintWithinBounds(std::string_view reply);

}  // namespace mv
