#include "platform/text/code_page.h"

#include <iconv.h>

namespace mv {

namespace {

bool AllAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char32_t DecodeUtf8(std::string_view s, size_t& pos) {
    const auto c = static_cast<unsigned char>(s[pos]);
    int len;
    char32_t cp;
    char32_t min;
    if (c < 0x80) {
        ++pos;
        return c;
    } else if ((c & 0xE0) == 0xC0) {
        len = 2, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4, cp = c & 0x07, min = 0x10000;
    } else {
        ++pos;
        return 0xFFFD;
    }
    if (pos + static_cast<size_t>(len) > s.size()) {
        ++pos;
        return 0xFFFD;
    }
    for (int i = 1; i < len; ++i) {
        const auto cc = static_cast<unsigned char>(s[pos + static_cast<size_t>(i)]);
        if ((cc & 0xC0) != 0x80) {
            ++pos;
            return 0xFFFD;
        }
        cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return 0xFFFD;
    }
    pos += static_cast<size_t>(len);
    return cp;
}

bool IsValidUtf8(std::string_view s) {
    size_t pos = 0;
    while (pos < s.size()) {
        const size_t start = pos;
        if (DecodeUtf8(s, pos) == 0xFFFD) {
            // U+FFFD itself is valid when it is spelled out in full.
            if (pos - start != 3) return false;
        }
    }
    return true;
}

std::string Utf8OrAnsiToUtf8(std::string_view bytes) {
    if (AllAscii(bytes) || IsValidUtf8(bytes)) return std::string(bytes);
    return CodePage::Ansi().ToUtf8(bytes);
}

CodePage::CodePage(const char* iconvName) {
    // The tables are built once through iconv; the per-text work is then a
    // table lookup. A byte that the code page leaves undefined maps to the
    // control character of the same number, so that it survives a round trip.
    iconv_t cd = iconv_open("UTF-32LE", iconvName);
    const bool opened = cd != reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)
    for (int b = 0; b < 256; ++b) {
        char32_t cp = static_cast<char32_t>(b);
        if (b >= 0x80 && opened) {
            char in = static_cast<char>(b);
            unsigned char out[4] = {};
            char* inp = &in;
            auto* outp = reinterpret_cast<char*>(out);
            size_t inLeft = 1;
            size_t outLeft = sizeof out;
            if (iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1) &&
                outLeft == 0) {
                cp =
                    out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<char32_t>(out[3]) << 24);
            }
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
        toUnicode_[static_cast<size_t>(b)] = cp;
    }
    if (opened) iconv_close(cd);
    for (int b = 255; b >= 0; --b)
        fromUnicode_[toUnicode_[static_cast<size_t>(b)]] = static_cast<unsigned char>(b);
}

const CodePage& CodePage::Ansi() {
    static const CodePage page("WINDOWS-1252");
    return page;
}

const CodePage& CodePage::Oem() {
    static const CodePage page("CP437");
    return page;
}

std::string CodePage::ToUtf8(std::string_view bytes) const {
    if (AllAscii(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (unsigned char c : bytes)
        AppendUtf8(out, toUnicode_[c]);
    return out;
}

std::string CodePage::FromUtf8(std::string_view utf8) const {
    if (AllAscii(utf8)) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t cp = DecodeUtf8(utf8, pos);
        auto it = fromUnicode_.find(cp);
        out += it == fromUnicode_.end() ? '?' : static_cast<char>(it->second);
    }
    return out;
}

}  // namespace mv
