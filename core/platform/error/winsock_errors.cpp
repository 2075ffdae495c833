#include "platform/error/winsock_errors.h"

#include <ares.h>
#include <string.h>

#include <cerrno>

namespace mv {

namespace {

// The errno that the last conversion on this thread could not number.
thread_local int t_unnumberedErrno = 0;

}  // namespace

int WsaErrorFromErrno(int err) {
    switch (err) {
        case 0:
            return 0;
        case EINTR:
            return wsa::kInterrupted;
        case EACCES:
        case EPERM:
            return wsa::kAccess;
        case EFAULT:
            return wsa::kFault;
        case EINVAL:
            return wsa::kInvalidArgument;
        case EMFILE:
        case ENFILE:
            return wsa::kTooManyOpenFiles;
        case EWOULDBLOCK:
            return wsa::kWouldBlock;
        case EINPROGRESS:
            return wsa::kInProgress;
        case EALREADY:
            return wsa::kAlready;
        case ENOTSOCK:
        case EBADF:
            return wsa::kNotSocket;
        case EDESTADDRREQ:
            return wsa::kDestAddrRequired;
        case EMSGSIZE:
            return wsa::kMessageSize;
        case EPROTOTYPE:
            return wsa::kProtoType;
        case ENOPROTOOPT:
            return wsa::kNoProtoOpt;
        case EPROTONOSUPPORT:
            return wsa::kProtoNotSupported;
        case ESOCKTNOSUPPORT:
            return wsa::kSocketTypeNotSupported;
        case EOPNOTSUPP:
            return wsa::kOpNotSupported;
        case EPFNOSUPPORT:
            return wsa::kPfNotSupported;
        case EAFNOSUPPORT:
            return wsa::kAfNotSupported;
        case EADDRINUSE:
            return wsa::kAddrInUse;
        case EADDRNOTAVAIL:
            return wsa::kAddrNotAvail;
        case ENETDOWN:
            return wsa::kNetDown;
        case ENETUNREACH:
            return wsa::kNetUnreach;
        case ENETRESET:
            return wsa::kNetReset;
        case ECONNABORTED:
            return wsa::kConnAborted;
        case ECONNRESET:
        case EPIPE:
            return wsa::kConnReset;
        case ENOBUFS:
        case ENOMEM:
            return wsa::kNoBufs;
        case EISCONN:
            return wsa::kIsConn;
        case ENOTCONN:
            return wsa::kNotConn;
        case ESHUTDOWN:
            return wsa::kShutdown;
        case ETIMEDOUT:
            return wsa::kTimedOut;
        case ECONNREFUSED:
            return wsa::kConnRefused;
        case ELOOP:
            return wsa::kLoop;
        case ENAMETOOLONG:
            return wsa::kNameTooLong;
        case EHOSTDOWN:
            return wsa::kHostDown;
        case EHOSTUNREACH:
            return wsa::kHostUnreach;
        default:
            t_unnumberedErrno = err;
            return wsa::kNotWinsock;
    }
}

std::string ErrnoName(int err) {
    const char* name = strerrorname_np(err);
    return name != nullptr ? name : "errno " + std::to_string(err);
}

std::string WsaErrorNumberText(int code) {
    std::string text = std::to_string(code);
    if (code == wsa::kNotWinsock && t_unnumberedErrno != 0)
        text += " (" + ErrnoName(t_unnumberedErrno) + ")";
    return text;
}

int LastWsaError() {
    return WsaErrorFromErrno(errno);
}

int WsaErrorFromLookupStatus(int status) {
    switch (status) {
        case ARES_SUCCESS:
            return 0;
        case ARES_ENOTFOUND:
        case ARES_ENONAME:
        case ARES_EBADNAME:
            return wsa::kHostNotFound;
        case ARES_ENODATA:
            return wsa::kNoData;
        case ARES_ESERVFAIL:
        case ARES_ETIMEOUT:
        case ARES_ECONNREFUSED:
            return wsa::kTryAgain;
        case ARES_ECANCELLED:
        case ARES_EDESTRUCTION:
            return wsa::kInterrupted;
        case ARES_ENOMEM:
            return wsa::kNoBufs;
        default:
            return wsa::kNoRecovery;
    }
}

}  // namespace mv
