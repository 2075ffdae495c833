#include "world_parser.h"

#include <arpa/inet.h>

#include <charconv>
#include <optional>

namespace mv::fakeworld {

namespace {

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) {
            ++pos;
        }
        size_t end = pos;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t') {
            ++end;
        }
        if (end > pos) {
            words.push_back(line.substr(pos, end - pos));
        }
        pos = end;
    }
    return words;
}

std::optional<uint32_t> ParseNumber(std::string_view text, uint32_t max) {
    uint32_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value > max) {
        return std::nullopt;
    }
    return value;
}

bool IsLabelChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// A host or domain name of labels of 1 to 63 letters, digits, '-' or '_';
// with `pattern`, also "*" or "*." followed by such a name.
bool IsValidName(std::string_view name, bool pattern) {
    if (pattern && name == "*") {
        return true;
    }
    if (pattern && name.size() > 2 && name.substr(0, 2) == "*.") {
        name.remove_prefix(2);
    }
    if (name.empty() || name.size() > 253) {
        return false;
    }
    size_t label = 0;
    for (char c : name) {
        if (c == '.') {
            if (label == 0) {
                return false;
            }
            label = 0;
        } else if (!IsLabelChar(c) || ++label > 63) {
            return false;
        }
    }
    return label > 0;
}

class Parser {
  public:
    explicit Parser(std::string_view fileName) : fileName_(fileName) {}

    void Line(std::string_view line, int number);
    ParseResult Finish();

  private:
    void Fail(const std::string& reason) {
        result_.errors.push_back(std::string(fileName_) + ":" + std::to_string(number_) + ": " +
                                 reason);
    }
    std::optional<std::string> Name(std::string_view word, const char* what, bool pattern);
    std::optional<uint16_t> Code(std::string_view key, std::string_view value);
    void Host(const std::vector<std::string_view>& words);
    bool HostOption(HostRule& host, std::string_view word);
    bool Milliseconds(uint32_t& field, std::string_view key, std::string_view value);
    bool Users(HostRule& host, std::string_view value);
    void Domain(const std::vector<std::string_view>& words);
    bool MxList(DomainRule& domain, const std::vector<std::string_view>& words);
    void Record(const std::vector<std::string_view>& words);

    std::string_view fileName_;
    int number_ = 0;
    ParseResult result_;
    NameMap<int> hostLines_, domainLines_;
    int ipv6Line_ = 0;  // the line of the host that listens on ::1
};

void Parser::Line(std::string_view line, int number) {
    number_ = number;
    if (size_t hash = line.find('#'); hash != std::string_view::npos) {
        line = line.substr(0, hash);
    }
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    const std::vector<std::string_view> words = SplitWords(line);
    if (words.empty()) {
        return;
    }
    if (words[0] == "host") {
        Host(words);
    } else if (words[0] == "domain") {
        Domain(words);
    } else if (words[0] == "record") {
        Record(words);
    } else {
        Fail("unknown rule '" + std::string(words[0]) +
             "' (expected 'host', 'domain' or 'record')");
    }
}

std::optional<std::string> Parser::Name(std::string_view word, const char* what, bool pattern) {
    std::string name(word);
    NormalizeName(name);
    if (!IsValidName(name, pattern)) {
        Fail(std::string("bad ") + what + " name '" + std::string(word) + "'");
        return std::nullopt;
    }
    return name;
}

std::optional<uint16_t> Parser::Code(std::string_view key, std::string_view value) {
    auto code = ParseNumber(value, 599);
    if (!code || *code < 200) {
        Fail("'" + std::string(key) + "' needs a reply code from 200 to 599, not '" +
             std::string(value) + "'");
        return std::nullopt;
    }
    return static_cast<uint16_t>(*code);
}

void Parser::Host(const std::vector<std::string_view>& words) {
    if (words.size() < 2) {
        return Fail("'host' needs a name");
    }
    auto name = Name(words[1], "host", true);
    if (!name) {
        return;
    }
    HostRule host;
    host.name = *name;
    host.line = number_;
    bool ok = true;
    for (size_t i = 2; i < words.size(); ++i) {
        ok = HostOption(host, words[i]) && ok;
    }
    if (!ok) {
        return;
    }
    if ((host.refuse || host.HasNoAddress()) && words.size() > 3) {
        return Fail(std::string("'") + (host.refuse ? "refuse" : std::string(words[2])) +
                    "' cannot be combined with other host options");
    }
    auto [it, added] = hostLines_.emplace(host.name, number_);
    if (!added) {
        return Fail("host '" + host.name + "' was already declared on line " +
                    std::to_string(it->second));
    }
    if (host.ipv6 && ipv6Line_ != 0) {
        return Fail("only one host can be 'ipv6' (they would share ::1); the first is on line " +
                    std::to_string(ipv6Line_));
    }
    if (host.ipv6) {
        ipv6Line_ = number_;
    }
    result_.world.hosts.push_back(std::move(host));
}

struct HostFlag {
    const char* key;
    bool HostRule::*field;  // null for "accept", which is the default
};
constexpr HostFlag kHostFlags[] = {{"accept", nullptr},
                                   {"refuse", &HostRule::refuse},
                                   {"unresolvable", &HostRule::unresolvable},
                                   {"no-ipv4", &HostRule::noIpv4},
                                   {"tarpit", &HostRule::tarpit},
                                   {"silent", &HostRule::silent},
                                   {"multiline", &HostRule::multilineGreeting},
                                   {"greylist", &HostRule::greylist},
                                   {"blocklist", &HostRule::blocklist},
                                   {"silent-after-rcpt", &HostRule::silentAfterRcpt},
                                   {"smtputf8", &HostRule::smtputf8},
                                   {"ipv6", &HostRule::ipv6}};

struct HostCode {
    const char* key;
    uint16_t HostRule::*field;
};
constexpr HostCode kHostCodes[] = {
    {"greeting", &HostRule::greetingCode}, {"helo", &HostRule::heloCode},
    {"ehlo", &HostRule::ehloCode},         {"mail", &HostRule::mailCode},
    {"rcpt", &HostRule::rcptCode},         {"reject", &HostRule::rejectCode}};

// One word of a host line: a flag ("silent") or KEY=VALUE.
bool Parser::HostOption(HostRule& host, std::string_view word) {
    const size_t eq = word.find('=');
    const std::string_view key = word.substr(0, eq);
    const bool hasValue = eq != std::string_view::npos;
    const std::string_view value = hasValue ? word.substr(eq + 1) : "";
    if (key == "greylist" && hasValue) {  // "greylist=MS": refused for MS after the first try
        host.greylist = true;
        return Milliseconds(host.greylistMs, key, value);
    }
    for (const HostFlag& flag : kHostFlags) {
        if (key != flag.key) {
            continue;
        }
        if (hasValue) {
            Fail("host option '" + std::string(key) + "' takes no value");
            return false;
        }
        if (flag.field != nullptr) {
            host.*flag.field = true;
        }
        return true;
    }
    for (const HostCode& option : kHostCodes) {
        if (key == option.key) {
            auto code = Code(key, value);
            if (code) {
                host.*option.field = *code;
            }
            return code.has_value();
        }
    }
    if (key == "delay") {
        return Milliseconds(host.delayMs, key, value);
    }
    if (key == "trickle" || key == "drip") {
        return Milliseconds(key == "trickle" ? host.trickleMs : host.dripMs, key, value);
    }
    if (key == "users") {
        return Users(host, value);
    }
    if (key == "close-after-rcpt" && !hasValue) {
        host.closeAfterRcpt = 1;
        return true;
    }
    if (key == "close-after-rcpt" || key == "recipients") {
        auto count = ParseNumber(value, 100000);
        if (!count || *count == 0) {
            Fail("'" + std::string(key) + "' needs a number from 1 to 100000, not '" +
                 std::string(value) + "'");
            return false;
        }
        (key == "recipients" ? host.maxRecipients : host.closeAfterRcpt) = *count;
        return true;
    }
    if (key == "max-connections") {
        auto limit = ParseNumber(value, 100000);
        if (!limit || *limit == 0) {
            Fail("'max-connections' needs a number from 1 to 100000, not '" + std::string(value) +
                 "'");
            return false;
        }
        host.maxConnections = *limit;
        return true;
    }
    Fail("unknown host option '" + std::string(word) + "'");
    return false;
}

bool Parser::Milliseconds(uint32_t& field, std::string_view key, std::string_view value) {
    auto ms = ParseNumber(value, 600000);
    if (!ms || (key != "delay" && *ms == 0)) {
        Fail("'" + std::string(key) + "' needs a time in milliseconds (1 to 600000), not '" +
             std::string(value) + "'");
        return false;
    }
    field = *ms;
    return true;
}

// "users=alice,bob@example.test": local parts and whole addresses.
bool Parser::Users(HostRule& host, std::string_view value) {
    host.hasUsers = true;
    size_t start = 0;
    while (start <= value.size()) {
        const size_t comma = std::min(value.find(',', start), value.size());
        std::string user(value.substr(start, comma - start));
        NormalizeName(user);
        if (user.empty() || user.find_first_of("<>") != std::string::npos) {
            Fail("'users' needs a comma-separated list of addresses or local parts");
            return false;
        }
        (user.find('@') == std::string::npos ? host.localParts : host.users).insert(user);
        start = comma + 1;
    }
    return true;
}

void Parser::Domain(const std::vector<std::string_view>& words) {
    if (words.size() < 3) {
        return Fail("'domain' needs a name and a rule");
    }
    auto name = Name(words[1], "domain", true);
    if (!name) {
        return;
    }
    DomainRule domain;
    domain.name = *name;
    domain.line = number_;
    const std::string_view rule = words[2];
    static const std::pair<const char*, DomainKind> kPlain[] = {
        {"empty", DomainKind::Empty},       {"nxdomain", DomainKind::NxDomain},
        {"servfail", DomainKind::ServFail}, {"refused", DomainKind::Refused},
        {"silent", DomainKind::Silent},     {"nullmx", DomainKind::NullMx}};
    bool known = false;
    for (const auto& [key, kind] : kPlain) {
        if (rule != key) {
            continue;
        }
        if (words.size() > 3) {
            return Fail("domain rule '" + std::string(rule) + "' takes nothing more");
        }
        domain.kind = kind;
        known = true;
    }
    if (rule == "mx") {
        if (!MxList(domain, words)) {
            return;
        }
    } else if (rule == "cname") {
        if (words.size() != 4) {
            return Fail("'cname' needs exactly one target name");
        }
        auto target = Name(words[3], "target", false);
        if (!target) {
            return;
        }
        domain.kind = DomainKind::Cname;
        domain.target = *target;
    } else if (rule == "a") {
        domain.kind = DomainKind::ARecord;
        in_addr addr{};
        if (words.size() > 4 ||
            (words.size() == 4 && inet_pton(AF_INET, std::string(words[3]).c_str(), &addr) != 1)) {
            return Fail("'a' takes at most one IPv4 address");
        }
        if (words.size() == 4) {
            domain.address = ntohl(addr.s_addr);
        }
    } else if (!known) {
        return Fail("unknown domain rule '" + std::string(rule) +
                    "' (expected mx, empty, nxdomain, servfail, refused, silent, nullmx, cname or "
                    "a)");
    }
    auto [it, added] = domainLines_.emplace(domain.name, number_);
    if (!added) {
        return Fail("domain '" + domain.name + "' was already declared on line " +
                    std::to_string(it->second));
    }
    result_.world.domains.push_back(std::move(domain));
}

// "mx [PREF] HOST [[PREF] HOST]...": each host optionally preceded by its
// preference, 10 when left out; "." for the root.
bool Parser::MxList(DomainRule& domain, const std::vector<std::string_view>& words) {
    std::optional<uint16_t> preference;
    for (size_t i = 3; i < words.size(); ++i) {
        const bool numeric = words[i].find_first_not_of("0123456789") == std::string_view::npos;
        if (numeric) {
            auto value = ParseNumber(words[i], 65535);
            if (!value || preference) {
                Fail("bad MX preference '" + std::string(words[i]) +
                     "' (a number from 0 to 65535 before each host)");
                return false;
            }
            preference = static_cast<uint16_t>(*value);
            continue;
        }
        // "." is the root: a record that names no host at all.
        auto host = words[i] == "." ? std::string() : Name(words[i], "MX host", false);
        if (!host) {
            return false;
        }
        domain.mx.push_back({preference.value_or(10), *host});
        preference.reset();
    }
    if (preference || domain.mx.empty()) {
        Fail("'mx' needs a host name after each preference and at least one host");
        return false;
    }
    return true;
}

// "record NAME a ADDRESS", "record NAME aaaa ADDRESS" or "record NAME ptr TARGET".
void Parser::Record(const std::vector<std::string_view>& words) {
    if (words.size() != 4) {
        return Fail("'record' needs a name, a type (a, aaaa or ptr) and its value");
    }
    auto name = Name(words[1], "record", false);
    if (!name) {
        return;
    }
    RecordRule record;
    record.name = *name;
    record.line = number_;
    if (words[2] == "a") {
        in_addr addr{};
        if (inet_pton(AF_INET, std::string(words[3]).c_str(), &addr) != 1) {
            return Fail("'record ... a' needs an IPv4 address");
        }
        record.address = ntohl(addr.s_addr);
    } else if (words[2] == "aaaa") {
        if (inet_pton(AF_INET6, std::string(words[3]).c_str(), record.address6.data()) != 1) {
            return Fail("'record ... aaaa' needs an IPv6 address");
        }
        record.type = 28;
    } else if (words[2] == "ptr") {
        auto target = Name(words[3], "target", false);
        if (!target) {
            return;
        }
        record.type = 12;
        record.target = *target;
    } else {
        return Fail("unknown record type '" + std::string(words[2]) +
                    "' (expected a, aaaa or ptr)");
    }
    result_.world.records.push_back(std::move(record));
}

ParseResult Parser::Finish() {
    size_t addressed = 0;
    for (const HostRule& host : result_.world.hosts) {
        addressed += host.HasNoAddress() || host.ipv6 ? 0 : 1;
    }
    if (addressed > World::kMaxAddressedHosts) {
        number_ = result_.world.hosts.back().line;
        Fail("too many hosts: at most " + std::to_string(World::kMaxAddressedHosts) +
             " hosts with an address fit in one /24 network");
    }
    result_.world.Index();
    return std::move(result_);
}

}  // namespace

ParseResult ParseWorld(std::string_view text, std::string_view fileName) {
    Parser parser(fileName);
    int number = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        parser.Line(text.substr(start, end - start), ++number);
        start = end + 1;
    }
    return parser.Finish();
}

}  // namespace mv::fakeworld
