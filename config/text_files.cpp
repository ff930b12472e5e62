#include "config/text_files.h"

#include <array>

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

// Windows-1252 where it differs from Latin-1: 0x80..0x9F. Its five unassigned bytes keep their
// Latin-1 control characters, as the system's conversion does.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t Windows1252Character(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0)
        return kWindows1252High[byte - 0x80];
    return byte;
}

}  // namespace

std::string EncodeTextFileBytes(TextView text) {
    return std::string(kUtf16LEByteOrderMark) + TextToUtf16LE(text);
}

Text DecodeLegacyText(std::string_view bytes) {
    Text text = Utf8ToText(bytes);
    // Valid UTF-8 is exactly what converts there and back unchanged.
    if (TextToUtf8(text) == bytes)
        return text;
    text.clear();
    for (char byte : bytes)
        text += Windows1252Character(static_cast<unsigned char>(byte));
    return text;
}

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
