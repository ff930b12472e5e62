#pragma once
// Filter profile files (".QMFP") and the dynamic filter file: UTF-16 or UTF-8 text of filter
// entries, or the older binary profile, which is converted to such text.

#include <cstddef>
#include <optional>

#include "config/portable_path.h"
#include "net/ip_filter.h"
#include "platform/text.h"

namespace qf {

// A filter file larger than this is refused. It is far above any list a person or a script
// keeps, and it bounds what a wrong path can cost a thread that reads it ten times a second.
inline constexpr size_t kMaxFilterFileBytes = 16u << 20;

// What went wrong in a file that was read all the same. The number is the one shown after
// "An error occurred: ".
enum class FilterFileProblem {
    None = 0,
    EmptyFile = 1,
    BadNameLength = 3,  // binary profile: name length over 4096 or unreadable
    WrongName = 4,
    VersionUnreadable = 5,
    WrongVersion = 6,
    ReservedBytesMissing = 7,
};

struct FilterFileReading {
    // Nothing when the file cannot be read: missing, not a regular file (a FIFO or a device is
    // refused without waiting), larger than kMaxFilterFileBytes or unreadable.
    std::optional<FilterLists> lists;
    // A damaged binary profile keeps the ranges converted before the damage.
    FilterFileProblem problem = FilterFileProblem::None;
};

// Reads the file at the expanded `path`. Bytes that are not valid text become U+FFFD, so a bad
// byte spoils only its own entry.
FilterFileReading ReadFilterFile(TextView path, const PathContext& context);

struct ProfileHeader {
    Text programNameAndVersion;
    Text createdAt;  // the current date and time in the user's format
};

// The profile text: an empty line, three header comment lines, then, for each list given,
// one line per range ("+ low - high" or "- low - high") and an empty line. Lines end with CR LF.
Text FilterProfileText(const RangeList* accept, const RangeList* reject,
                       const ProfileHeader& header);

// Replaces the file at the expanded `path` with the profile as UTF-16LE with its byte-order
// mark; false when it cannot be written.
bool WriteFilterProfile(TextView path, const PathContext& context, const RangeList* accept,
                        const RangeList* reject, const ProfileHeader& header);

}  // namespace qf
