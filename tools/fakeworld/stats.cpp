#include "stats.h"

#include <cstdio>

namespace mv::fakeworld {

std::string_view VerbName(Verb verb) {
    static constexpr std::string_view kNames[] = {"HELO", "EHLO", "MAIL", "RCPT", "DATA",
                                                  "RSET", "QUIT", "NOOP", "VRFY", "unknown"};
    return kNames[static_cast<size_t>(verb)];
}

std::string Stats::Format() const {
    std::string text = "smtp connections=" + std::to_string(connections) +
                       " rcpt-accepted=" + std::to_string(rcptAccepted) +
                       " rcpt-rejected=" + std::to_string(rcptRejected) +
                       " data=" + std::to_string(commands[static_cast<size_t>(Verb::Data)]) +
                       " overlong-lines=" + std::to_string(overlongLines) + "\n";
    text += "smtp peak-open=" + std::to_string(peakOpen) + " too-many=" + std::to_string(tooMany) +
            " min-gap-ms=" + std::to_string(minGapMs) +
            " clients=" + (clients.empty() ? "none" : clients) + "\n";
    text += "smtp commands";
    for (size_t i = 0; i < commands.size(); ++i) {
        text += " ";
        text += VerbName(static_cast<Verb>(i));
        text += "=" + std::to_string(commands[i]);
    }
    text += "\ndns queries=" + std::to_string(dnsQueries) + " mx=" + std::to_string(dnsMx) +
            " a=" + std::to_string(dnsA) + " other=" + std::to_string(dnsOther) +
            " unanswered=" + std::to_string(dnsUnanswered) +
            " dropped=" + std::to_string(dnsDropped) + "\n";
    char cpu[96];
    std::snprintf(cpu, sizeof cpu, "cpu user=%.3f system=%.3f\n", cpuUserSeconds, cpuSystemSeconds);
    return text + cpu;
}

}  // namespace mv::fakeworld
