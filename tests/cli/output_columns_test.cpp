// What the address tells, as check's result lines show it.
#include <gtest/gtest.h>

#include "output_formats.h"

namespace mv::cli {
namespace {

TEST(AddressColumns, ProviderAndSuggestionComeWithTheMailHostsTried) {
    const struct {
        std::string address;
        std::vector<std::string> hostsTried;  // none: no finding
        std::string provider;
        std::string suggestion;
    } cases[] = {
        {"anna@gmial.com", {}, "", "anna@gmail.com"},
        {"anna@gmial.com", {"gmial.com"}, "", "anna@gmail.com"},  // no MX records
        {"anna@gmial.com", {"mx.gmial.com"}, "", ""},             // MX records: no typo
        {"info@biz.example", {"mx.biz.example", "aspmx.l.google.com"}, "Google", ""},
        {"anna@yahoo.co", {"mta6.am0.yahoodns.net"}, "Yahoo", ""},
    };
    for (const auto& c : cases) {
        ResultFinding finding;
        finding.hostsTried = c.hostsTried;
        const AddressColumns columns = AddressColumnsOf(AddressKnowledge::Installed(), c.address,
                                                        c.hostsTried.empty() ? nullptr : &finding);
        EXPECT_EQ(columns.provider, c.provider) << c.address;
        EXPECT_EQ(columns.suggestion, c.suggestion) << c.address;
    }
}

}  // namespace
}  // namespace mv::cli
