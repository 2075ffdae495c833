#include "address/idna.h"

#include <idn2.h>

#include <algorithm>
#include <memory>

#include "platform/text/code_page.h"

namespace mv {

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::optional<std::string> DomainToAscii(std::string_view domain) {
    if (IsAscii(domain)) return std::string(domain);
    // libidn2 reads a C string: a NUL inside would cut the name short.
    if (domain.find('\0') != std::string_view::npos) return std::nullopt;
    const std::string input(domain);
    char* output = nullptr;
    const int rc = idn2_to_ascii_8z(input.c_str(), &output, IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL);
    const std::unique_ptr<char, void (*)(void*)> owned(output, &idn2_free);
    if (rc != IDN2_OK || output == nullptr) return std::nullopt;
    return std::string(output);
}

bool LocalPartIsNonAscii(std::string_view address) {
    const size_t at = address.rfind('@');
    return !IsAscii(at == std::string_view::npos ? address : address.substr(0, at));
}

bool FitsWindows1252(std::string_view utf8) {
    if (IsAscii(utf8)) return true;
    if (!IsValidUtf8(utf8)) return false;
    // The conversion writes "?" for every character without a place in the
    // code page: the text fits when no "?" was added.
    const std::string ansi = CodePage::Ansi().FromUtf8(utf8);
    return std::count(ansi.begin(), ansi.end(), '?') == std::count(utf8.begin(), utf8.end(), '?');
}

}  // namespace mv
