#include "platform/result.h"

#include <cerrno>
#include <cstring>

namespace qf {

ErrorKind SysError::kind() const {
    switch (code) {
        case EINTR:
        case EAGAIN: return ErrorKind::Interrupted;
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM: return ErrorKind::OutOfResources;
        case ECONNABORTED:
        case EPROTO:
        case ENETDOWN: return ErrorKind::Aborted;
        case EBADF:
        case ENOTSOCK:
        case EINVAL: return ErrorKind::Closed;
        case ECONNREFUSED: return ErrorKind::Refused;
        case ECONNRESET:
        case EPIPE: return ErrorKind::Reset;
        case ETIMEDOUT: return ErrorKind::TimedOut;
        case ECANCELED: return ErrorKind::Cancelled;
        case EADDRINUSE: return ErrorKind::AddressInUse;
        case EACCES:
        case EPERM: return ErrorKind::PermissionDenied;
        default: return ErrorKind::Other;
    }
}

std::string SysError::Message() const {
    std::string text = call + "(" + subject + "): ";
    char buffer[256];
    // GNU strerror_r returns the text, which may or may not live in `buffer`.
    if (!detail.empty()) return text + detail;
    text += code ? strerror_r(code, buffer, sizeof buffer) : "failed";
    return text;
}

SysError ErrorFromCode(int code, std::string call, std::string subject) {
    return SysError{code, std::move(call), std::move(subject), {}};
}

SysError LastError(std::string call, std::string subject) {
    return ErrorFromCode(errno, std::move(call), std::move(subject));
}

}  // namespace qf
