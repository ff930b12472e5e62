#include "logging/debug_log.h"

#include "platform/append_file.h"

namespace qf {

bool AppendLogLine(TextView text, TextView path, bool lineBreakFirst, const PathContext& paths) {
    const Text expanded = ExpandPortablePath(path.empty() ? u"Install_Log.txt" : path, paths);
    auto file = AppendFile::Open(TextToUtf8(expanded));
    if (!file) return false;
    std::string bytes(file->wasEmpty() ? kUtf16LEByteOrderMark : "");
    if (lineBreakFirst) bytes += TextToUtf16LE(u"\r\n");
    bytes += TextToUtf16LE(text);
    file->Write(bytes);
    return true;
}

void DebugLog::Start(TextView path) {
    if (!enabled_) return;
    path_ = path.empty() ? defaultPath_ : Text(path);
    Line(u"");
    Line(u"# Log initialized");
}

void DebugLog::Stop() {
    if (!enabled_) return;
    Line(u"# Log shut-down");
    path_.clear();
}

void DebugLog::Line(TextView text) const { AppendLogLine(text, path_, true, paths_); }

}  // namespace qf
