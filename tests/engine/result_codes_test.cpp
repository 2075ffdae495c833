#include <gtest/gtest.h>

#include "engine/result_codes.h"

namespace mv {
namespace {

TEST(ResultCodes, EveryCodeOfTheTableHasItsText) {
    const std::vector<std::pair<int, std::string>> table = {
        {0, "Valid E-mail Address!"},
        {-1, "Failed: Invalid Domain Name"},
        {-2, "Time Out: Recipient's SMTP Server didn't respond"},
        {-3, "Could not perform the OPEN command"},
        {-4, "Could not perform the RCPT command"},
        {-5, "Could not perform the MAILFROM command"},
        {-6, "Could not perform the QUIT command"},
        {-8, "Aborted by user"},
        {450, "Mailbox unavailable"},
        {550, "Mailbox unavailable"},
        {553, "Mailbox unavailable"},
        {452, "Exceeded storage allocation. Try later"},
        {552, "Exceeded storage allocation. Try later"},
        {551, "User not local"},
        {554, "Transaction failed"},
        {10004, "Conection refused or host is down. Try later"},
        {10061, "Conection refused or host is down. Try later"},
        {10064, "Conection refused or host is down. Try later"},
        {11001, "Failed: Invalid Domain Name"},
        {11002, "DNS server failure. Try later"},
        {252, "Recipient's  SMTP server returned error 252"},  // two blanks
        {10024, "Recipient's  SMTP server returned error 10024"},
        // The proxy's own error numbers, and the numbers around them.
        {20005, "SOCKS proxy: connection not allowed by ruleset"},
        {20017, "SOCKS proxy: target host name lookup failed"},
        {20018, "SOCKS proxy: proxy host name lookup failed"},
        {20000, "Recipient's  SMTP server returned error 20000"},
        {20019, "Recipient's  SMTP server returned error 20019"},
    };
    for (const auto& [code, text] : table)
        EXPECT_EQ(ResultText(code), text) << code;
}

TEST(ResultCodes, ColumnTextAndTheGoodRule) {
    EXPECT_EQ(ResultColumnText(-2), "[-2] Time Out: Recipient's SMTP Server didn't respond");
    EXPECT_EQ(ResultColumnText(0), "[0] Valid E-mail Address!");
    EXPECT_TRUE(IsGoodResult(0));
    for (int code : {-8, -1, 250, 251, 550, 10061})
        EXPECT_FALSE(IsGoodResult(code));
}

}  // namespace
}  // namespace mv
