#pragma once
// The diagnostic log: when switched on, it marks the start and the end of the main routine.

#include "config/portable_path.h"

namespace qf {

// Appends `text` (after a line break when asked) to the UTF-16 file at the expanded `path`,
// writing the byte-order mark into a new file. An empty path means "Install_Log.txt" in the
// base folder. False when the file cannot be opened.
bool AppendLogLine(TextView text, TextView path, bool lineBreakFirst, const PathContext& paths);

class DebugLog {
  public:
    DebugLog(bool enabled, Text defaultPath, PathContext paths)
        : enabled_(enabled), defaultPath_(std::move(defaultPath)), paths_(std::move(paths)) {}

    void Start(TextView path = {});
    void Stop();

  private:
    void Line(TextView text) const;

    const bool enabled_;
    const Text defaultPath_;
    const PathContext paths_;
    Text path_;
};

}  // namespace qf
