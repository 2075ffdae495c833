// Flags, suggestions and providers from the lists in the data folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "address/address_knowledge.h"
#include "address/data_folder.h"
#include "test_support.h"

namespace mv {
namespace {

const AddressKnowledge& Lists() {
    return AddressKnowledge::Installed();
}

TEST(AddressKnowledge, FlagsWithTheirNearMisses) {
    const std::pair<std::string, std::string> cases[] = {
        {"info@example.com", "role"},
        {"Sales+EU@example.com", "role"},
        {"postmaster@example.com", "role"},
        {"no-reply@example.com", "role"},
        {"information.desk@example.com", ""},
        {"infos@example.com", ""},
        {"gardner@example.com", ""},  // a name, not a function
        {"x@mailinator.com", "disposable;free"},
        {"x@MAILINATOR.COM.", "disposable;free"},
        {"x@anything.33mail.com", "disposable"},  // below a wildcard
        {"x@mailinator.com.example", ""},
        {"x@mailinators.com", ""},
        {"anna@gmail.com", "free"},
        {"anna@gmail.com.au", ""},
        {"support@outlook.com", "role;free"},
        {"anna@example.com", ""},
        {"anna@xn--lndwirt-hwa.com", "disposable"},  // listed as "lándwirt.com"
        {"anna@lándwirt.com", "disposable"},
    };
    for (const auto& [address, flags] : cases)
        EXPECT_EQ(AddressFlagsText(Lists().Describe(address).flags, ';'), flags) << address;
}

TEST(AddressKnowledge, SuggestionsForMistypedDomains) {
    const std::pair<std::string, std::string> cases[] = {
        {"anna@gmial.com", "anna@gmail.com"},  // in the free-mail list as a typo domain
        {"anna@hotmial.com", "anna@hotmail.com"},
        {"anna@yahoo.co", "anna@yahoo.com"},
        {"anna@gmail.con", "anna@gmail.com"},
        {"anna@gmail.cmo", "anna@gmail.com"},
        {"anna@GMAIL.CON", "anna@gmail.com"},
        {"anna@gmial.con", "anna@gmail.com"},
        {"anna@hotmaill.co.uk", "anna@hotmail.co.uk"},
        {"anna@outlok.com", "anna@outlook.com"},
        {"anna@hotmall.com", "anna@hotmail.com"},  // two edits in a long label
        {"anna@gmaill.com", "anna@gmail.com"},
        // Near misses.
        {"anna@gmail.com", ""},
        {"anna@mail.com", ""},     // listed itself
        {"anna@email.com", ""},    // a free-mail provider of its own
        {"anna@yopmail.com", ""},  // a disposable service, two edits from hotmail
        {"anna@gmx.at", ""},       // short labels are left alone
        {"anna@qa.com", ""},
        {"anna@gmaiil.comm", ""},
        {"anna@gnail.de", ""},     // no listed domain under .de is close
        {"anna@hotmxyz.com", ""},  // three edits
        {"anna@example.co", ""},
        {"anna@gmial.com.", "anna@gmail.com"},
        {"an..na@gmial.com", ""},  // a broken address gets none
    };
    for (const auto& [address, suggestion] : cases)
        EXPECT_EQ(Lists().Describe(address).suggestion, suggestion) << address;
    EXPECT_EQ(Lists().Describe("anna@gmial.com", true).suggestion, "")
        << "a domain with MX records in this run is no typo";
}

TEST(AddressKnowledge, ProvidersFromTheirMailHosts) {
    const struct {
        std::vector<std::string> hosts;
        std::string provider;
        std::string domain;
        ProbeAdvice advice;
    } cases[] = {
        {{"gmail-smtp-in.l.google.com."}, "Google", "gmail.com", ProbeAdvice::kSkipProbe},
        {{"ASPMX.L.GOOGLE.COM"}, "Google", "business.example", ProbeAdvice::kProbe},
        {{"business-example.mail.protection.outlook.com"},
         "Microsoft 365",
         "business.example",
         ProbeAdvice::kProbe},
        {{"hotmail-com.olc.protection.outlook.com"},
         "Microsoft 365",
         "hotmail.com",
         ProbeAdvice::kSkipProbe},
        {{"mta5.am0.yahoodns.net"}, "Yahoo", "yahoo.com", ProbeAdvice::kAcceptedIsRisky},
        {{"mx-aol.mail.gm0.yahoodns.net"}, "Yahoo", "aol.com", ProbeAdvice::kAcceptedIsRisky},
        {{"mx01.mail.icloud.com"}, "iCloud", "icloud.com", ProbeAdvice::kProbe},
        {{"mx.zoho.eu"}, "Zoho", "business.example", ProbeAdvice::kProbe},
        {{"mail.protonmail.ch"}, "Proton", "proton.me", ProbeAdvice::kProbe},
        {{"eu-smtp-inbound-1.mimecast.com"}, "Mimecast", "business.example", ProbeAdvice::kProbe},
        {{"mx0a-001b2d01.pphosted.com"}, "Proofpoint", "business.example", ProbeAdvice::kProbe},
        {{"d123.ess.barracudanetworks.com"}, "Barracuda", "business.example", ProbeAdvice::kProbe},
        {{"mx1.hc4587-1.iphmx.com"}, "Cisco", "business.example", ProbeAdvice::kProbe},
        // The first host that a provider serves decides.
        {{"mx.business.example", "aspmx.l.google.com", "mx01.mail.icloud.com"},
         "Google",
         "business.example",
         ProbeAdvice::kProbe},
        // Near misses.
        {{"mx.notgoogle.com", "google.com.example", "outlook.com.evil.example"}, "", "", {}},
        {{}, "", "", {}},
    };
    for (const auto& c : cases) {
        const ProviderProfile* profile = Lists().ProviderOf(c.hosts);
        EXPECT_EQ(profile ? profile->name : "", c.provider) << c.hosts.size();
        EXPECT_EQ(AdviceFor(profile, c.domain), c.advice) << c.provider << " " << c.domain;
    }
    EXPECT_GE(Lists().Providers().Profiles().size(), 10u);
}

TEST(AddressKnowledge, MxRecordsAreToldFromTheDomainTriedUnderItsOwnName) {
    EXPECT_TRUE(HostsCameFromMxRecords(std::vector<std::string>{"mx.example.com"}, "example.com"));
    EXPECT_FALSE(HostsCameFromMxRecords(std::vector<std::string>{"Example.com."}, "example.com"));
    EXPECT_FALSE(HostsCameFromMxRecords({}, "example.com"));
}

TEST(AddressKnowledge, AListThatCannotBeReadIsNamedWithTheReason) {
    test::TempDir dir;
    for (const char* name : {AddressKnowledge::kRoleNamesFile, AddressKnowledge::kDisposableFile,
                             AddressKnowledge::kFreeFile, AddressKnowledge::kSuggestFile,
                             AddressKnowledge::kProvidersFile})
        std::filesystem::copy_file(DataFolder() / name, dir / name);
    std::filesystem::remove(dir / AddressKnowledge::kFreeFile);
    const auto message = [&] {
        try {
            AddressKnowledge lists(dir.path());
        } catch (const DomainListError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message(), "Cannot read the domain list " + (dir / "free-domains.txt").string() +
                             ": No such file or directory");
    std::filesystem::create_directory(dir / AddressKnowledge::kFreeFile);
    EXPECT_EQ(message(), "Cannot read the domain list " + (dir / "free-domains.txt").string() +
                             ": Is a directory");
    std::filesystem::remove(dir / AddressKnowledge::kFreeFile);
    test::WriteFile(dir / AddressKnowledge::kFreeFile, "");
    test::WriteFile(dir / AddressKnowledge::kProvidersFile, "[Google]\nrule = sometimes\n");
    EXPECT_EQ(message(), "Cannot read the domain list " + (dir / "providers.txt").string() +
                             ", line 2: unknown rule \"sometimes\"");
}

}  // namespace
}  // namespace mv
