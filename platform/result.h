#pragma once
// Results of platform calls: a value or the failed call with its subject and errno.

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace qf {

// What kind of failure a platform call met, so callers above platform/ never see errno values.
enum class ErrorKind {
    Other,
    Interrupted,     // retry at once
    OutOfResources,  // descriptors or memory: back off briefly and retry
    Aborted,         // the peer went away before accept: retry
    Closed,          // the socket was shut down or closed under the call
    Refused,         // connection refused (TCP) or ICMP port unreachable (UDP)
    Reset,
    TimedOut,
    Cancelled,  // our own cancel flag ended the wait
    AddressInUse,
    PermissionDenied,
};

struct SysError {
    int code = 0;         // errno, or 0 for failures that have none
    std::string call;     // "bind"
    std::string subject;  // "0.0.0.0:8080"
    std::string detail;   // the failure text when it is not an errno (resolver errors)
    ErrorKind kind() const;
    // "bind(0.0.0.0:8080): Address already in use"
    std::string Message() const;
};

SysError LastError(std::string call, std::string subject = {});
SysError ErrorFromCode(int code, std::string call, std::string subject = {});

template <class T>
class Result {
  public:
    Result(T value) : v_(std::move(value)) {}
    Result(SysError error) : v_(std::move(error)) {}
    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() {
        assert(ok());
        return std::get<0>(v_);
    }
    const T& value() const {
        assert(ok());
        return std::get<0>(v_);
    }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const SysError& error() const {
        assert(!ok());
        return std::get<1>(v_);
    }

  private:
    std::variant<T, SysError> v_;
};

class Status {
  public:
    Status() = default;
    Status(SysError error) : error_(std::move(error)), failed_(true) {}
    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const SysError& error() const {
        assert(failed_);
        return error_;
    }

  private:
    SysError error_;
    bool failed_ = false;
};

}  // namespace qf
