// The socket error numbering used throughout the program.
//
// Every errno value and every host-lookup failure is turned into these numbers
// in this one place, before it reaches any other code, so that result codes,
// transcripts and messages read the same on every platform.
#pragma once

#include <string>

namespace mv {

namespace wsa {
// Every errno without a place of its own; its text is "Not a WinSock error".
inline constexpr int kNotWinsock = 10000;
inline constexpr int kInterrupted = 10004;
inline constexpr int kBadFile = 10009;
inline constexpr int kAccess = 10013;
inline constexpr int kFault = 10014;
inline constexpr int kInvalidArgument = 10022;
inline constexpr int kTooManyOpenFiles = 10024;
inline constexpr int kWouldBlock = 10035;
inline constexpr int kInProgress = 10036;
inline constexpr int kAlready = 10037;
inline constexpr int kNotSocket = 10038;
inline constexpr int kDestAddrRequired = 10039;
inline constexpr int kMessageSize = 10040;
inline constexpr int kProtoType = 10041;
inline constexpr int kNoProtoOpt = 10042;
inline constexpr int kProtoNotSupported = 10043;
inline constexpr int kSocketTypeNotSupported = 10044;
inline constexpr int kOpNotSupported = 10045;
inline constexpr int kPfNotSupported = 10046;
inline constexpr int kAfNotSupported = 10047;
inline constexpr int kAddrInUse = 10048;
inline constexpr int kAddrNotAvail = 10049;
inline constexpr int kNetDown = 10050;
inline constexpr int kNetUnreach = 10051;
inline constexpr int kNetReset = 10052;
inline constexpr int kConnAborted = 10053;
inline constexpr int kConnReset = 10054;
inline constexpr int kNoBufs = 10055;
inline constexpr int kIsConn = 10056;
inline constexpr int kNotConn = 10057;
inline constexpr int kShutdown = 10058;
inline constexpr int kTimedOut = 10060;
inline constexpr int kConnRefused = 10061;
inline constexpr int kLoop = 10062;
inline constexpr int kNameTooLong = 10063;
inline constexpr int kHostDown = 10064;
inline constexpr int kHostUnreach = 10065;
inline constexpr int kNotInitialised = 10093;
inline constexpr int kHostNotFound = 11001;
inline constexpr int kTryAgain = 11002;
inline constexpr int kNoRecovery = 11003;
inline constexpr int kNoData = 11004;
}  // namespace wsa

// errno value -> socket error number. 0 stays 0; an errno without a place in
// the table becomes kNotWinsock (never its own value plus 10000, which would
// read as an unrelated socket error: ENODATA as "Connection refused"). The
// errno it stood for is remembered for this thread, like errno itself, so
// that the line reporting the failure can still name it.
int WsaErrorFromErrno(int err);

// The symbolic name of an errno value ("EPROTO"), or "errno N".
std::string ErrnoName(int err);

// A socket error number as failure lines show it: the number in decimal,
// and for kNotWinsock the name of the errno that the last conversion on this
// thread could not number ("10000 (EPROTO)").
std::string WsaErrorNumberText(int code);

// The errno of the last failed system call, numbered as above.
int LastWsaError();

// Host-lookup status of the resolver library -> socket error number.
int WsaErrorFromLookupStatus(int aresStatus);

}  // namespace mv
