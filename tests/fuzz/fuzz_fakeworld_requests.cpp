// What clients send to the fake mail world: the first byte chooses a DNS
// datagram or an SMTP byte stream (split into lines as the server does), fed
// to a world with every kind of rule.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dns_answer.h"
#include "smtp_session.h"
#include "world_parser.h"

namespace {

const char kWorld[] =
    "host mx.test users=alice,bob@example.test\n"
    "host grey.test greylist multiline rcpt=251\n"
    "host busy.test greeting=554\n"
    "host *.bench close-after-rcpt\n"
    "host gone.test unresolvable\n"
    "domain example.test mx 10 mx.test 20 grey.test gone.test\n"
    "domain empty.test empty\n"
    "domain quiet.test silent\n"
    "domain alias.test cname example.test\n"
    "domain a.test a\n"
    "domain *.bench mx 5 x.bench\n"
    "domain * nxdomain\n";

struct Fixture {
    Fixture() : parsed(mv::fakeworld::ParseWorld(kWorld, "fuzz")) {
        parsed.world.AssignAddresses(0x7F010100u);
    }
    mv::fakeworld::ParseResult parsed;
    mv::fakeworld::Stats stats;
    mv::fakeworld::GreylistMemory greylisted;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture fixture;
    if (size == 0) return 0;
    if (fixture.greylisted.size() > 1000) fixture.greylisted.clear();  // bounded memory
    const mv::fakeworld::World& world = fixture.parsed.world;
    if (data[0] % 2 == 0) {
        std::vector<uint8_t> response;
        mv::fakeworld::AnswerQuery(world, data + 1, size - 1, fixture.stats, response);
        return 0;
    }
    mv::fakeworld::SmtpSession session;
    session.Start(&world.hosts[data[0] / 2 % world.hosts.size()], &fixture.greylisted,
                  &fixture.stats);
    std::string out;
    session.Greet(out);
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    while (!rest.empty()) {
        const size_t eol = rest.find('\n');
        std::string_view line = rest.substr(0, eol);
        rest = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
        if (line.size() > mv::fakeworld::SmtpSession::kMaxLine) {
            session.HandleOverlong(out);
            break;
        }
        if (session.HandleLine(line, out)) break;
        if (out.size() > 65536) out.clear();
    }
    return 0;
}
