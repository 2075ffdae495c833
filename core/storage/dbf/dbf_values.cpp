#include "storage/dbf/dbf_values.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace mv::dbf {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    return s;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), IsDigit);
}

// [+-] digits [. digits] [e [+-] digits], with digits on at least one side
// of the point. strtod would also take "inf", "nan" and hex; a field may not.
bool IsDecimalNumber(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < s.size() && IsDigit(s[i])) {
        ++i, ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            ++i, ++digits;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            ++i;
        }
        if (i >= s.size() || !IsDigit(s[i])) {
            return false;
        }
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
        }
    }
    return i == s.size();
}

}  // namespace

std::string DecodeCharacter(std::string_view raw, const CodePage& page) {
    const std::size_t zero = raw.find('\0');
    if (zero != std::string_view::npos) {
        raw = raw.substr(0, zero);
    }
    while (!raw.empty() && raw.back() == ' ') {
        raw.remove_suffix(1);
    }
    return page.ToUtf8(raw);
}

std::optional<std::int32_t> DecodeInteger(std::string_view raw) {
    std::string_view s = Trim(raw);
    if (s.empty()) {
        return 0;
    }
    bool negative = false;
    if (s.front() == '+' || s.front() == '-') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (!AllDigits(s)) {
        return std::nullopt;
    }
    constexpr std::int64_t kLimit = std::int64_t{1} << 31;
    std::int64_t value = 0;
    for (char c : s) {
        value = value * 10 + (c - '0');
        if (value > kLimit) {
            break;  // clamped below; stop before it can overflow
        }
    }
    if (negative) {
        return static_cast<std::int32_t>(-std::min(value, kLimit));
    }
    return static_cast<std::int32_t>(std::min(value, kLimit - 1));
}

std::optional<double> DecodeFloat(std::string_view raw) {
    std::string_view s = Trim(raw);
    if (s.empty()) {
        return 0.0;
    }
    if (!IsDecimalNumber(s)) {
        return std::nullopt;
    }
    const bool negative = s.front() == '-';
    if (s.front() == '+' || s.front() == '-') {
        s.remove_prefix(1);
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too small becomes 0, too large the largest finite value.
        const std::size_t e = s.find_first_of("eE");
        const bool tiny = e != std::string_view::npos && e + 1 < s.size() && s[e + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::max();
    } else if (ec != std::errc() || end != s.data() + s.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

bool IsValidDate(int year, int month, int day) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) {
        return false;
    }
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int days = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    return day <= days;
}

std::optional<DbfDate> DecodeDate(std::string_view raw) {
    if (raw.size() != 8 || !AllDigits(raw)) {
        return std::nullopt;
    }
    auto number = [&](std::size_t at, std::size_t len) {
        int v = 0;
        for (std::size_t i = at; i < at + len; ++i) {
            v = v * 10 + (raw[i] - '0');
        }
        return v;
    };
    const DbfDate date{number(0, 4), number(4, 2), number(6, 2)};
    if (!IsValidDate(date.year, date.month, date.day)) {
        return std::nullopt;
    }
    return date;
}

bool DecodeLogical(std::string_view raw) {
    if (raw.empty()) {
        return false;
    }
    const char c = raw.front();
    return c == 'T' || c == 't' || c == 'Y' || c == 'y';
}

std::optional<std::uint32_t> DecodeMemoBlock(std::string_view raw) {
    const std::string_view s = Trim(raw);
    if (s.empty()) {
        return 0;
    }
    if (!AllDigits(s)) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : s) {
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(value);
}

void EncodeBlank(char* out, std::size_t width) {
    std::memset(out, ' ', width);
}

void EncodeCharacter(std::string_view utf8, const CodePage& page, char* out, std::size_t width) {
    const std::string bytes = page.FromUtf8(utf8);
    const std::size_t n = std::min(bytes.size(), width);
    std::copy_n(bytes.data(), n, out);
    std::memset(out + n, ' ', width - n);
}

namespace {

bool PutRightAligned(std::string_view text, char* out, std::size_t width) {
    if (text.size() > width) {
        return false;
    }
    std::memset(out, ' ', width - text.size());
    std::memcpy(out + (width - text.size()), text.data(), text.size());
    return true;
}

}  // namespace

bool EncodeInteger(std::int64_t value, char* out, std::size_t width) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return PutRightAligned(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)),
                           out, width);
}

bool EncodeFloat(double value, int decimals, char* out, std::size_t width) {
    if (!std::isfinite(value)) {
        return false;
    }
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::fixed, std::clamp(decimals, 0, 15));
    if (result.ec != std::errc()) {
        return false;
    }
    return PutRightAligned(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)),
                           out, width);
}

void EncodeDate(const std::optional<DbfDate>& date, char* out, std::size_t width) {
    EncodeBlank(out, width);
    if (!date || width < 8 || !IsValidDate(date->year, date->month, date->day)) {
        return;
    }
    const int parts[] = {date->year / 1000, date->year / 100 % 10, date->year / 10 % 10,
                         date->year % 10,   date->month / 10,      date->month % 10,
                         date->day / 10,    date->day % 10};
    for (int i = 0; i < 8; ++i) {
        out[i] = static_cast<char>('0' + parts[i]);
    }
}

void EncodeLogical(const std::optional<bool>& value, char* out, std::size_t width) {
    EncodeBlank(out, width);
    if (width > 0 && value) {
        out[0] = *value ? 'T' : 'F';
    }
}

}  // namespace mv::dbf
