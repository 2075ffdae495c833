// The result code of one address check, and the only place where a code
// becomes words.
//
// 0 is a valid address; -1 to -8 are the checker's own outcomes; 1 to 999 an
// SMTP reply code that failed; 10000 and above a socket error number, 20001 to
// 20017 the SOCKS proxy's.
#pragma once

#include <string>

namespace mv {

inline constexpr int ResultValid = 0;
inline constexpr int ResultInvalidDomain = -1;
inline constexpr int ResultTimeOut = -2;
inline constexpr int ResultOpenFailed = -3;
inline constexpr int ResultRcptFailed = -4;
inline constexpr int ResultMailFromFailed = -5;
inline constexpr int ResultQuitFailed = -6;
inline constexpr int ResultAborted = -8;

// The result text the user sees for a code.
std::string ResultText(int code);

// A result is good exactly when its code is 0; everything else, the user's
// abort included, is bad.
inline bool IsGoodResult(int code) {
    return code == ResultValid;
}

// "[%d] %s": the code in brackets, a blank and its result text.
std::string ResultColumnText(int code);

}  // namespace mv
