#include "address/registered_domain.h"

#include <arpa/inet.h>
#include <libpsl.h>

#include <cctype>

namespace mv {

namespace {

const psl_ctx_t* SuffixList() {
    // psl_latest() loads the system's list or falls back to the built-in one;
    // loaded once, never freed, shared by every caller (it is read-only).
    static const psl_ctx_t* const list = [] {
        const psl_ctx_t* latest = psl_latest(nullptr);
        return latest != nullptr ? latest : psl_builtin();
    }();
    return list;
}

bool IsAddress(const std::string& host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') return true;
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
           inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

}  // namespace

std::string RegisteredDomain(std::string_view host) {
    if (!host.empty() && host.back() == '.') host.remove_suffix(1);
    std::string name(host);
    if (name.find('\0') != std::string::npos || IsAddress(name)) return name;
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const psl_ctx_t* list = SuffixList();
    const char* registered = list != nullptr ? psl_registrable_domain(list, name.c_str()) : nullptr;
    return registered != nullptr ? std::string(registered) : name;
}

}  // namespace mv
