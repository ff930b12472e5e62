#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <utility>

namespace qf {
namespace {

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int Close() { return ::close(std::exchange(fd_, -1)); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

PathKind KindOf(mode_t mode) {
    if (S_ISREG(mode)) return PathKind::RegularFile;
    if (S_ISDIR(mode)) return PathKind::Directory;
    return PathKind::Other;
}

// Reads to the end; one byte more than `maxBytes` tells that the file is too large.
std::optional<std::string> ReadToEnd(int fd, size_t maxBytes, size_t expectedSize) {
    std::string content;
    content.resize(std::min(expectedSize, maxBytes) + 1);
    size_t filled = 0;
    for (;;) {
        if (filled == content.size()) {
            if (content.size() > maxBytes) return std::nullopt;
            content.resize(std::min(content.size() * 2, maxBytes + 1));
        }
        const ssize_t got = ::read(fd, content.data() + filled, content.size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        filled += static_cast<size_t>(got);
    }
    content.resize(filled);
    return content;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return false;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// The rename is durable only once the folder that holds the name is flushed as well.
void SyncFolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    FileDescriptor directory(
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0) ::fsync(directory.get());
}

// A user's file keeps what it had. Handing it back to its owner fails when the writer is not
// root, and then the writer owned it before as well.
void KeepModeAndOwner(int fd, const std::string& path) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) != 0 || !S_ISREG(existing.st_mode)) return;
    ::fchmod(fd, existing.st_mode & 07777);
    [[maybe_unused]] const int ignored = ::fchown(fd, existing.st_uid, existing.st_gid);
}

}  // namespace

Status ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
    std::string temporary = path + ".XXXXXX";
    FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0) return LastError("mkostemp", temporary);
    KeepModeAndOwner(file.get(), path);
    const char* failedCall = nullptr;
    if (!WriteAll(file.get(), bytes))
        failedCall = "write";
    else if (::fsync(file.get()) != 0)
        failedCall = "fsync";
    else if (file.Close() != 0)
        failedCall = "close";
    else if (::rename(temporary.c_str(), path.c_str()) != 0)
        failedCall = "rename";
    if (failedCall != nullptr) {
        SysError error = LastError(failedCall, path);
        ::unlink(temporary.c_str());
        return error;
    }
    SyncFolderOf(path);
    return {};
}

PathFacts QueryPath(const std::string& path) {
    struct stat facts {};
    if (path.empty() || ::stat(path.c_str(), &facts) != 0) return {};
    return {KindOf(facts.st_mode), static_cast<int64_t>(facts.st_size)};
}

std::optional<std::string> ReadRegularFile(const std::string& path, size_t maxBytes) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) return std::nullopt;
    struct stat facts {};
    if (::fstat(file.get(), &facts) != 0 || !S_ISREG(facts.st_mode)) return std::nullopt;
    if (static_cast<uint64_t>(facts.st_size) > maxBytes) return std::nullopt;
    return ReadToEnd(file.get(), maxBytes, static_cast<size_t>(facts.st_size));
}

const std::string& ExecutablePath() {
    static const std::string path = [] {
        std::error_code error;
        return std::filesystem::read_symlink("/proc/self/exe", error).string();
    }();
    return path;
}

std::optional<std::string> EnvironmentValue(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return path;
    return absolute.lexically_normal().string();
}

std::string RealPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(path, error);
    return error ? path : real.string();
}

Status CreateNewFile(const std::string& path, std::string_view bytes, unsigned mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return LastError("open", path);
    Status status;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            status = LastError("write", path);
            break;
        }
        bytes.remove_prefix(size_t(n));
    }
    ::close(fd);
    return status;
}

Status RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) return LastError("unlink", path);
    return {};
}

}  // namespace qf
