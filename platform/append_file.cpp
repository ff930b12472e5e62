#include "platform/append_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qf {

Result<AppendFile> AppendFile::Open(const std::string& path) {
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) return LastError("open", path);
    struct stat facts {};
    if (fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode)) {
        ::close(fd);
        return ErrorFromCode(EINVAL, "open", path);
    }
    return AppendFile(fd, facts.st_size == 0);
}

AppendFile::~AppendFile() {
    if (fd_ >= 0) ::close(fd_);
}

Status AppendFile::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return LastError("write");
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return {};
}

}  // namespace qf
