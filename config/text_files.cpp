#include "config/text_files.h"

#include "platform/files.h"

namespace qf {
namespace {

Text DecodeUtf16(std::string_view units, bool bigEndian) {
    Text text;
    text.reserve(units.size() / 2);
    for (size_t at = 0; at + 1 < units.size(); at += 2) {
        const auto first = static_cast<unsigned char>(units[at]);
        const auto second = static_cast<unsigned char>(units[at + 1]);
        const auto unit =
            static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
        if (unit == 0)
            break;
        text.push_back(unit);
    }
    return text;
}

}  // namespace

Text DecodeTextFileBytes(std::string_view bytes) {
    if (bytes.size() < 2)
        return {};
    if (bytes.starts_with("\xFF\xFE"))
        return DecodeUtf16(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF"))
        return DecodeUtf16(bytes.substr(2), true);
    return Utf8ToText(bytes.substr(0, bytes.find('\0')));
}

Text ReadTextFileAsWide(TextView path, const PathContext& context) {
    const Text expanded = ExpandPortablePath(path, context);
    if (IsForeignPath(expanded))
        return {};
    const auto bytes = ReadRegularFile(TextToUtf8(expanded), kMaxTextFileBytes);
    return bytes ? DecodeTextFileBytes(*bytes) : Text{};
}

int64_t QueryFileSize(TextView path, const PathContext& context) {
    const Text expanded = ExpandPortablePath(path, context);
    if (IsForeignPath(expanded))
        return 0;
    const PathFacts facts = QueryPath(TextToUtf8(expanded));
    switch (facts.kind) {
        case PathKind::Directory:
            return -1;
        case PathKind::RegularFile:
            return facts.size;
        default:
            return 0;
    }
}

Text NormalizeLineEnds(TextView text) {
    Text normalized;
    normalized.reserve(text.size());
    for (size_t at = 0; at < text.size(); ++at) {
        const char16_t c = text[at];
        if (c == u'\r' && at + 1 < text.size() && text[at + 1] == u'\n') {
            normalized += u"\r\n";
            ++at;
        } else if (c == u'\r' || c == u'\n') {
            normalized += u"\r\n";
        } else {
            normalized += c;
        }
    }
    return normalized;
}

}  // namespace qf
