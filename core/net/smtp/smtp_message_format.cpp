#include "net/smtp/smtp_message_format.h"

#include <cstdio>

namespace mv {

namespace {

const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

std::string FormatHeaderDate(const std::tm& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %d %s %04d %02d:%02d:%02d", kDays[(t.tm_wday % 7 + 7) % 7],
                  t.tm_mday, kMonths[(t.tm_mon % 12 + 12) % 12], t.tm_year + 1900, t.tm_hour,
                  t.tm_min, t.tm_sec);
    return buf;
}

std::string FormatBoundaryStamp(const std::tm& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d%02d%02d%02d%02d", t.tm_mon + 1, t.tm_mday,
                  (t.tm_year + 1900) % 100, t.tm_hour, t.tm_min);
    return buf;
}

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return t;
}

std::string Base64Encode(std::string_view bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        const auto c = static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[a >> 2];
        out += kAlphabet[((a & 3) << 4) | (b >> 4)];
        out += kAlphabet[((b & 15) << 2) | (c >> 6)];
        out += kAlphabet[c & 63];
    }
    if (i < bytes.size()) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const bool two = i + 1 < bytes.size();
        const auto b = two ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        out += kAlphabet[a >> 2];
        out += kAlphabet[((a & 3) << 4) | (b >> 4)];
        out += two ? kAlphabet[(b & 15) << 2] : '=';
        out += '=';
    }
    return out;
}

std::string DotStuffed(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    bool lineStart = true;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n";
            lineStart = true;
            continue;
        }
        if (lineStart && c == '.') out += '.';
        out += c;
        lineStart = false;
    }
    return out;
}

}  // namespace mv
