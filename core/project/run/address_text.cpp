#include "project/run/address_text.h"

namespace mv {

namespace {

bool AddressChar(char ch) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 32 || c > 127) return false;
    return c == '#' || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == '@' ||
           (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '[' || c == ']' || c == '_';
}

// A local part may also hold these (the "atext" of an address), so that
// "first+tag@" and "o'brien@" are checked whole.
bool LocalPartChar(char c) {
    return AddressChar(c) || std::string_view("!$%&'*+/=?^`{|}~").find(c) != std::string_view::npos;
}

constexpr size_t kMaxDomain = 255;

bool Continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence of two to four bytes that
// begins at `pos` (no overlong forms, surrogates or code points past
// U+10FFFF); 0 when there is none.
size_t Utf8Length(std::string_view text, size_t pos) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;  // the bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    if (length == 0 || pos + length > text.size()) return 0;
    if (byte(1) < low || byte(1) > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if (!Continuation(byte(i))) return 0;
    return length;
}

// The length of the well-formed UTF-8 sequence that ends just before `end`; 0 when none.
size_t Utf8LengthBefore(std::string_view text, size_t end) {
    for (size_t length = 2; length <= 4 && length <= end; ++length)
        if (!Continuation(static_cast<unsigned char>(text[end - length])))
            return Utf8Length(text, end - length) == length ? length : 0;
    return 0;
}

}  // namespace

std::string ExtractAddress(std::string_view text) {
    const size_t at = text.find('@');
    if (at == std::string_view::npos) return {};
    size_t first = at;
    while (first > 0) {
        if (LocalPartChar(text[first - 1])) {
            --first;
        } else if (const size_t n = Utf8LengthBefore(text, first)) {
            first -= n;
        } else {
            break;
        }
    }
    size_t end = at + 1;
    while (end < text.size()) {
        if (AddressChar(text[end])) {
            ++end;
        } else if (const size_t n = Utf8Length(text, end)) {
            end += n;
        } else {
            break;
        }
    }
    return std::string(text.substr(first, end - first));
}

std::string DomainOf(std::string_view text) {
    const size_t at = text.find('@');
    const std::string_view domain = at == std::string_view::npos ? text : text.substr(at + 1);
    return std::string(domain.substr(0, kMaxDomain));
}

}  // namespace mv
