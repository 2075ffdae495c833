#include "project/preflight/mail_provider_names.h"

#include <algorithm>
#include <array>

namespace mv {

namespace {

constexpr std::array<std::string_view, 18> kProviderDomains = {
    "gmail.com", "googlemail.com", "outlook.com", "hotmail.com", "live.com", "msn.com",
    "yahoo.com", "ymail.com",      "aol.com",     "icloud.com",  "me.com",   "gmx.de",
    "gmx.net",   "web.de",         "mail.ru",     "yandex.ru",   "qq.com",   "163.com",
};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

bool IsMailProviderName(std::string_view name) {
    if (!name.empty() && name.back() == '.') name.remove_suffix(1);
    for (;;) {
        for (std::string_view domain : kProviderDomains)
            if (SameIgnoringCase(name, domain)) return true;
        const size_t dot = name.find('.');
        if (dot == std::string_view::npos) return false;
        name.remove_prefix(dot + 1);
    }
}

}  // namespace mv
