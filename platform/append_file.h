#pragma once
// A file opened for appending: every write lands at the end as one piece, also when another
// writer appends to the same file. New files are readable by their owner only, since logs and
// captures hold other people's traffic.

#include <string>
#include <string_view>

#include "platform/result.h"

namespace qf {

class AppendFile {
  public:
    static Result<AppendFile> Open(const std::string& path);
    AppendFile(AppendFile&& other) noexcept : fd_(other.fd_), wasEmpty_(other.wasEmpty_) {
        other.fd_ = -1;
    }
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // True when the file held nothing when it was opened (a new file, for byte-order marks).
    bool wasEmpty() const { return wasEmpty_; }
    Status Write(std::string_view bytes);

  private:
    AppendFile(int fd, bool wasEmpty) : fd_(fd), wasEmpty_(wasEmpty) {}
    int fd_ = -1;
    bool wasEmpty_ = false;
};

}  // namespace qf
