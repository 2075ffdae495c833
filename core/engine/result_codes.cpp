#include "engine/result_codes.h"

#include "net/socks/socks_proxy.h"

namespace mv {

std::string ResultText(int code) {
    switch (code) {
        case 0:
            return "Valid E-mail Address!";
        case -1:
            return "Failed: Invalid Domain Name";
        case -2:
            return "Time Out: Recipient's SMTP Server didn't respond";
        case -3:
            return "Could not perform the OPEN command";
        case -4:
            return "Could not perform the RCPT command";
        case -5:
            return "Could not perform the MAILFROM command";
        case -6:
            return "Could not perform the QUIT command";
        case -8:
            return "Aborted by user";
        case 450:
        case 550:
        case 553:
            return "Mailbox unavailable";
        case 452:
        case 552:
            return "Exceeded storage allocation. Try later";
        case 551:
            return "User not local";
        case 554:
            return "Transaction failed";
        case 10004:
        case 10061:
        case 10064:
            return "Conection refused or host is down. Try later";
        case 11001:
            return "Failed: Invalid Domain Name";
        case 11002:  // the DNS server failed or refused to answer
            return "DNS server failure. Try later";
        default:
            break;
    }
    // The proxy, not the recipient's server, refused or failed.
    if (IsSocksError(code)) return "SOCKS proxy: " + SocksErrorText(code);
    if (code > 0) return "Recipient's  SMTP server returned error " + std::to_string(code);
    // A negative code the checker never produces (-7 and below -8).
    return "Recipient's  SMTP server returned error " + std::to_string(code);
}

std::string ResultColumnText(int code) {
    return "[" + std::to_string(code) + "] " + ResultText(code);
}

}  // namespace mv
