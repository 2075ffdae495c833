#include "engine/recheck_hint.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace mv {

namespace {

// Larger numbers are no duration a server means (and would overflow).
constexpr uint64_t kMaxNumber = 1000000;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Reads digits at `at`; none when there are none or too many.
std::optional<uint64_t> Number(std::string_view text, size_t& at) {
    uint64_t value = 0;
    const size_t begin = at;
    while (at < text.size() && IsDigit(text[at])) {
        value = value * 10 + static_cast<uint64_t>(text[at] - '0');
        if (value > kMaxNumber) return std::nullopt;
        ++at;
    }
    if (at == begin) return std::nullopt;
    return value;
}

// The milliseconds of one unit word, or 0 when `word` is none.
uint64_t UnitMs(std::string_view word) {
    struct Unit {
        std::string_view names;  // separated by "|"
        uint64_t ms;
    };
    static constexpr std::array<Unit, 3> kUnits = {{
        {"s|sec|secs|second|seconds", 1000},
        {"m|min|mins|minute|minutes", 60000},
        {"h|hr|hrs|hour|hours", 3600000},
    }};
    for (const Unit& unit : kUnits) {
        for (std::string_view names = unit.names;;) {
            const size_t bar = names.find('|');
            if (names.substr(0, bar) == word) return unit.ms;
            if (bar == std::string_view::npos) break;
            names.remove_prefix(bar + 1);
        }
    }
    return 0;
}

// "h:mm:ss" or "mm:ss" from `at` (after the first number).
std::optional<uint64_t> ClockMs(std::string_view text, size_t at, uint64_t first) {
    uint64_t seconds = first;
    int parts = 1;
    while (parts < 3 && at < text.size() && text[at] == ':') {
        size_t next = at + 1;
        const std::optional<uint64_t> part = Number(text, next);
        if (!part || next - at != 3 || *part > 59) break;
        seconds = seconds * 60 + *part;
        at = next;
        ++parts;
    }
    if (parts < 2) return std::nullopt;
    return seconds * 1000;
}

}  // namespace

std::optional<uint64_t> RecheckHintMs(std::string_view reply) {
    std::string text(reply);
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (size_t at = 0; at < text.size(); ++at) {
        // A number that begins a word, not a part of a code such as 4.7.1.
        if (!IsDigit(text[at]) || (at > 0 && (IsDigit(text[at - 1]) || text[at - 1] == '.')))
            continue;
        size_t end = at;
        const std::optional<uint64_t> value = Number(text, end);
        if (!value) continue;
        if (end < text.size() && text[end] == '.') continue;  // a status code or a decimal
        const bool lineStart = at == 0 || text[at - 1] == '\n';
        if (lineStart && end - at == 3) continue;  // the reply code
        if (const auto clock = ClockMs(text, end, *value)) return clock;
        size_t word = end;
        while (word < text.size() && text[word] == ' ')
            ++word;
        size_t wordEnd = word;
        while (wordEnd < text.size() && IsLetter(text[wordEnd]))
            ++wordEnd;
        if (const uint64_t unit = UnitMs(std::string_view(text).substr(word, wordEnd - word)))
            return *value * unit;
    }
    return std::nullopt;
}

std::optional<uint32_t> RecheckHintWithinBounds(std::string_view reply) {
    const std::optional<uint64_t> hint = RecheckHintMs(reply);
    if (!hint) return std::nullopt;
    return static_cast<uint32_t>(std::clamp<uint64_t>(*hint, kMinRecheckHintMs, kMaxRecheckHintMs));
}

}  // namespace mv
