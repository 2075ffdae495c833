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

}  // namespace

std::string ExtractAddress(std::string_view text) {
    const size_t at = text.find('@');
    if (at == std::string_view::npos) return {};
    size_t first = at;
    while (first > 0 && LocalPartChar(text[first - 1]))
        --first;
    size_t last = at;
    while (last + 1 < text.size() && AddressChar(text[last + 1]))
        ++last;
    return std::string(text.substr(first, last - first + 1));
}

std::string DomainOf(std::string_view text) {
    const size_t at = text.find('@');
    const std::string_view domain = at == std::string_view::npos ? text : text.substr(at + 1);
    return std::string(domain.substr(0, kMaxDomain));
}

}  // namespace mv
