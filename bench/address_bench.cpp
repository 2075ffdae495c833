// What an address tells by itself, for every address of a list: loading the
// lists once, then syntax, ASCII domain, flags and suggestion per address
// (AddressKnowledge::Describe), the provider of its mail hosts, and the
// server group (the registered domain of a mail host). The addresses are a
// mix as a real list has them: mostly large free-mail domains and company
// domains, some role names, typos, throw-away domains and internationalised
// names.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "address/address_knowledge.h"
#include "address/data_folder.h"
#include "address/registered_domain.h"

namespace {

const std::vector<std::string>& Addresses() {
    static const std::vector<std::string> addresses = {
        "anna.smith@gmail.com",
        "j.doe@yahoo.com",
        "info@acme-widgets.example",
        "peter@hotmail.com",
        "m.mueller@web.de",
        "sales+eu@contoso.example",
        "anna@gmial.com",
        "x7k2@mailinator.com",
        "karl@bücher.example",
        "support@outlook.com",
        "lisa.jones@company.co.uk",
        "bob@gmail.con",
        "noreply@service.example",
        "chen.wei@qq.com",
        "maria.garcia@hotmial.com",
        "an..na@broken.example",
        "someone@sub.domain.example",
        "first.last@university.edu",
        "jose@yahoo.co",
        "team@startup.io",
    };
    return addresses;
}

const std::vector<std::vector<std::string>>& MailHosts() {
    static const std::vector<std::vector<std::string>> hosts = {
        {"gmail-smtp-in.l.google.com", "alt1.gmail-smtp-in.l.google.com"},
        {"mta5.am0.yahoodns.net", "mta6.am0.yahoodns.net"},
        {"acme-widgets-example.mail.protection.outlook.com"},
        {"mx1.company.example", "mx2.company.example"},
        {"us-smtp-inbound-1.mimecast.com", "us-smtp-inbound-2.mimecast.com"},
    };
    return hosts;
}

void BM_LoadLists(benchmark::State& state) {
    const std::filesystem::path folder = mv::DataFolder();
    for (auto _ : state) {
        const mv::AddressKnowledge lists(folder);
        benchmark::DoNotOptimize(&lists);
    }
    state.SetLabel(folder.string());
}
BENCHMARK(BM_LoadLists)->Unit(benchmark::kMillisecond);

// Syntax, ASCII domain, flags and suggestion.
void BM_Describe(benchmark::State& state) {
    const mv::AddressKnowledge& lists = mv::AddressKnowledge::Installed();
    const auto& addresses = Addresses();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(lists.Describe(addresses[i]));
        i = i + 1 == addresses.size() ? 0 : i + 1;
    }
}
BENCHMARK(BM_Describe);

// Everything per address: Describe, and the provider of its mail hosts with
// what it means for the accept-all probe. (The server group is asked once
// per mail host, not per address: BM_RegisteredDomain.)
void BM_EverythingPerAddress(benchmark::State& state) {
    const mv::AddressKnowledge& lists = mv::AddressKnowledge::Installed();
    const auto& addresses = Addresses();
    const auto& hosts = MailHosts();
    size_t i = 0;
    for (auto _ : state) {
        const mv::AddressFacts facts = lists.Describe(addresses[i]);
        const auto& mx = hosts[i % hosts.size()];
        const mv::ProviderProfile* provider = lists.ProviderOf(mx);
        benchmark::DoNotOptimize(mv::AdviceFor(provider, facts.asciiDomain));
        i = i + 1 == addresses.size() ? 0 : i + 1;
    }
}
BENCHMARK(BM_EverythingPerAddress);

// The server group of a mail host alone (once per host and run).
void BM_RegisteredDomain(benchmark::State& state) {
    const auto& hosts = MailHosts();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(mv::RegisteredDomain(hosts[i].front()));
        i = i + 1 == hosts.size() ? 0 : i + 1;
    }
}
BENCHMARK(BM_RegisteredDomain);

}  // namespace

BENCHMARK_MAIN();
