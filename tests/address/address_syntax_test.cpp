// The syntax rules of an address and the ASCII form of its domain.
#include <gtest/gtest.h>

#include "address/address_syntax.h"
#include "address/idna.h"
#include "address/registered_domain.h"

namespace mv {
namespace {

TEST(AddressSyntax, EachRuleIsNamedWithItsCode) {
    const std::string label63(63, 'a');
    const struct {
        std::string address;
        std::string rule;  // empty: the address may be checked
        int code;
    } cases[] = {
        {"", "empty domain", -1},
        {"anna", "empty domain", -1},
        {"anna@", "empty domain", -1},
        {"@", "empty domain", -1},
        {"anna@.", "empty domain", -1},
        {"anna@example.com.", "", 0},
        {"anna@example.com..", "two dots in a row", -1},
        {"anna@example..com", "two dots in a row", -1},
        {"anna@.example.com", "dot at the start of the domain", -1},
        {"anna@localhost", "no dot in the domain", -1},
        {"anna@[192.0.2.1]", "", 0},
        {"anna@[IPv6:2001:db8::1]", "", 0},
        {"anna@[192.0.2.300]", "character not allowed in a domain", -1},
        {"anna@-example.com", "label starts or ends with a hyphen", -1},
        {"anna@example-.com", "label starts or ends with a hyphen", -1},
        {"anna@ex_ample.com", "character not allowed in a domain", -1},
        {"anna@" + label63 + ".com", "", 0},
        {"anna@" + label63 + "a.com", "label over 63 octets", -1},
        {"anna@" + std::string(250, 'a') + ".com", "domain over 253 octets", -1},
        {"@example.com", "empty local part", -4},
        {std::string(65, 'a') + "@example.com", "local part over 64 octets", -4},
        {".anna@example.com", "dot at the start or end of the local part", -4},
        {"anna.@example.com", "dot at the start or end of the local part", -4},
        {"an..na@example.com", "two dots in a row outside quotes", -4},
        {"\"an..na\"@example.com", "", 0},
        {"\"a@b\"@example.com", "", 0},
        {"\"an\\\"..\"@example.com", "", 0},
        {"..@", "empty domain", -1},
        {"an..na@bücher.example", "two dots in a row outside quotes", -4},
        {"anna@bü..cher.example", "two dots in a row", -1},
        {"anna@bücher.example", "", 0},
        {"anna@b\xFF"
         "cher.example",
         "domain that has no ASCII form (IDNA)", -1},
        {"anna@\xE2\x98\x83"
         "\xE2\x80\x8D.example",
         "domain that has no ASCII form (IDNA)", -1},
    };
    for (const auto& c : cases) {
        const AddressSyntax syntax = CheckAddressSyntax(c.address);
        const std::string rule = syntax.broken ? std::string(SyntaxRuleText(*syntax.broken)) : "";
        EXPECT_EQ(rule, c.rule) << c.address;
        if (syntax.broken) {
            EXPECT_EQ(SyntaxRuleCode(*syntax.broken), c.code) << c.address;
            EXPECT_EQ(IsDomainRule(*syntax.broken), c.code == -1) << c.address;
        }
    }
}

TEST(AddressSyntax, TheDomainIsAskedForInItsAsciiForm) {
    const std::pair<std::string, std::string> cases[] = {
        {"user@bücher.example", "xn--bcher-kva.example"},
        {"user@BÜCHER.Example.", "xn--bcher-kva.example"},
        {"user@straße.de", "xn--strae-oqa.de"},  // IDNA 2008 keeps the sharp s
        {"user@Example.COM.", "Example.COM"},    // ASCII as written
        {"user@[192.0.2.1]", "[192.0.2.1]"},
        {"josé@example.com", "example.com"},
    };
    for (const auto& [address, ascii] : cases)
        EXPECT_EQ(CheckAddressSyntax(address).asciiDomain, ascii) << address;
}

TEST(AddressSyntax, CharactersOfAProjectFileAndOfSmtputf8) {
    EXPECT_FALSE(LocalPartIsNonAscii("anna@bücher.example"));
    EXPECT_TRUE(LocalPartIsNonAscii("josé@example.com"));
    EXPECT_TRUE(LocalPartIsNonAscii("用户@例子.广告"));
    EXPECT_TRUE(FitsWindows1252("josé@bücher.example € ?"));
    EXPECT_FALSE(FitsWindows1252("用户@example.com"));
    EXPECT_FALSE(FitsWindows1252("ok\xFF"));
}

TEST(RegisteredDomain, MailHostsOfOneProviderShareAGroup) {
    const std::pair<std::string, std::string> cases[] = {
        {"contoso-com.mail.protection.outlook.com", "outlook.com"},
        {"hotmail-com.olc.protection.outlook.com.", "outlook.com"},
        {"ASPMX.L.Google.com", "google.com"},
        {"alt1.gmail-smtp-in.l.google.com", "google.com"},
        {"aspmx2.googlemail.com", "googlemail.com"},
        {"mx.example.co.uk", "example.co.uk"},
        {"192.0.2.1", "192.0.2.1"},
        {"[192.0.2.1]", "[192.0.2.1]"},
        {"2001:db8::1", "2001:db8::1"},
        {"localhost", "localhost"},
        {"co.uk", "co.uk"},
    };
    for (const auto& [host, group] : cases)
        EXPECT_EQ(RegisteredDomain(host), group) << host;
}

}  // namespace
}  // namespace mv
