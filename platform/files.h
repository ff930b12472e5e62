#pragma once
// The file-system and process facts the layers above need. Paths are UTF-8, as the system
// takes them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace qf {

enum class PathKind { Missing, RegularFile, Directory, Other };

struct PathFacts {
    PathKind kind = PathKind::Missing;
    int64_t size = 0;  // bytes; meaningful for regular files only
};

// Follows links. Never fails: whatever cannot be examined is Missing.
PathFacts QueryPath(const std::string& path);

// Reads a regular file whole, or nothing. A FIFO or device is refused without blocking and a
// file larger than `maxBytes` is refused, so no path can hang the caller or exhaust memory.
std::optional<std::string> ReadRegularFile(const std::string& path, size_t maxBytes);

// Replaces the file at `path` with `bytes` so that a crash leaves the old content or the new,
// never a mix: a temporary file beside it is written, flushed to disk and renamed over it. A
// new file is readable by its owner only; a replaced one keeps its mode and, where the caller
// may set it, its owner (a service running as root rewriting a user's file).
Status ReplaceFileAtomically(const std::string& path, std::string_view bytes);

// Absolute path of the running executable; empty when the system does not tell.
const std::string& ExecutablePath();

std::optional<std::string> EnvironmentValue(const std::string& name);

// `path` made absolute against the current directory and cleaned of "." and ".." elements,
// without looking at the file system.
std::string AbsolutePath(const std::string& path);
// `path` with every symbolic link, "." and ".." resolved; `path` itself when it does not exist.
std::string RealPath(const std::string& path);

// Creates the file with `bytes`; fails with EEXIST when it is already there.
Status CreateNewFile(const std::string& path, std::string_view bytes, unsigned mode);
Status RemoveFile(const std::string& path);

}  // namespace qf
