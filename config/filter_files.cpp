#include "config/filter_files.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "config/text_files.h"
#include "net/address.h"
#include "platform/files.h"

namespace qf {
namespace {

// {6B1F0C3A-5D27-4E8B-9A40-2C7E51D3B840} as the binary profile stores it.
constexpr std::string_view kBinaryProfileGuid(
    "\x3A\x0C\x1F\x6B\x27\x5D\x8B\x4E\x9A\x40\x2C\x7E\x51\xD3\xB8\x40", 16);
constexpr std::string_view kBinaryProfileName = "Quillmark Filter Profile";
constexpr uint32_t kMaxBinaryNameBytes = 4096;
constexpr size_t kReservedBytes = 16;
constexpr size_t kAddressPairBytes = 8;
constexpr uint32_t kAcceptRecord = 0, kRejectRecord = 1;

uint32_t LittleEndianWord(std::string_view bytes) {
    uint32_t value = 0;
    for (size_t k = 4; k-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[k]);
    return value;
}

uint32_t BigEndianWord(std::string_view bytes) {
    uint32_t value = 0;
    for (size_t k = 0; k < 4; ++k) value = value << 8 | static_cast<unsigned char>(bytes[k]);
    return value;
}

// Takes fields off the front of a byte string; a field that is not all there is nothing.
class ByteReader {
  public:
    explicit ByteReader(std::string_view bytes) : rest_(bytes) {}

    std::optional<std::string_view> Bytes(size_t count) {
        if (rest_.size() < count) return std::nullopt;
        const std::string_view taken = rest_.substr(0, count);
        rest_.remove_prefix(count);
        return taken;
    }
    std::optional<uint32_t> Word() {
        const auto bytes = Bytes(4);
        return bytes ? std::optional(LittleEndianWord(*bytes)) : std::nullopt;
    }
    // At most `count` bytes: a record cannot claim more than the file still holds.
    std::string_view BytesUpTo(size_t count) { return *Bytes(std::min(count, rest_.size())); }
    bool AtEnd() const { return rest_.empty(); }

  private:
    std::string_view rest_;
};

FilterFileProblem CheckBinaryHeader(ByteReader& reader) {
    const auto nameLength = reader.Word();
    if (!nameLength || *nameLength > kMaxBinaryNameBytes) return FilterFileProblem::BadNameLength;
    const auto name = reader.Bytes(*nameLength);
    if (!name) return FilterFileProblem::BadNameLength;
    if (*name != kBinaryProfileName) return FilterFileProblem::WrongName;
    const auto major = reader.Word(), minor = reader.Word();
    if (!major || !minor) return FilterFileProblem::VersionUnreadable;
    if (*major != 1 || *minor != 0) return FilterFileProblem::WrongVersion;
    if (!reader.Bytes(kReservedBytes)) return FilterFileProblem::ReservedBytesMissing;
    return FilterFileProblem::None;
}

// One text line per whole address pair, lower address first.
void AppendPairLines(std::string& text, char sign, std::string_view pairs) {
    for (; pairs.size() >= kAddressPairBytes; pairs.remove_prefix(kAddressPairBytes)) {
        uint32_t low = BigEndianWord(pairs), high = BigEndianWord(pairs.substr(4));
        if (low > high) std::swap(low, high);
        text += fmt::format("{}{}.{}.{}.{}-{}.{}.{}.{}\r\n", sign, low >> 24, low >> 16 & 0xFF,
                            low >> 8 & 0xFF, low & 0xFF, high >> 24, high >> 16 & 0xFF,
                            high >> 8 & 0xFF, high & 0xFF);
    }
}

FilterFileReading ReadBinaryProfile(std::string_view bytes) {
    ByteReader reader(bytes.substr(kBinaryProfileGuid.size()));
    const FilterFileProblem problem = CheckBinaryHeader(reader);
    std::string text;
    while (problem == FilterFileProblem::None && !reader.AtEnd()) {
        const auto type = reader.Word(), size = reader.Word();
        if (!type || !size) break;
        const std::string_view data = reader.BytesUpTo(*size);
        if (*type == kAcceptRecord || *type == kRejectRecord)
            AppendPairLines(text, *type == kAcceptRecord ? '+' : '-', data);
    }
    return {ParseFilterText(Utf8ToText(text)), problem};
}

FilterFileReading ReadFilterBytes(std::string_view bytes) {
    if (bytes.empty()) return {ParseFilterText({}), FilterFileProblem::EmptyFile};
    if (bytes.starts_with(kBinaryProfileGuid)) return ReadBinaryProfile(bytes);
    return {ParseFilterText(DecodeTextFileBytes(bytes)), FilterFileProblem::None};
}

void AppendRangeLines(Text& text, char16_t sign, const RangeList& list) {
    for (size_t k = 0; k < CountUsedRanges(list); ++k)
        text += Text{sign, u' '} + FormatRangeText(list[k]) + u"\r\n";
    text += u"\r\n";
}

}  // namespace

FilterFileReading ReadFilterFile(TextView path, const PathContext& context) {
    const Text expanded = ExpandPortablePath(path, context);
    if (IsForeignPath(expanded)) return {};
    const auto bytes = ReadRegularFile(TextToUtf8(expanded), kMaxFilterFileBytes);
    if (!bytes) return {};
    return ReadFilterBytes(*bytes);
}

Text FilterProfileText(const RangeList* accept, const RangeList* reject,
                       const ProfileHeader& header) {
    Text text = u"\r\n# Quillmark Filter Profile (QMFP) revision 2 #\r\n";
    text += u"# File created by " + header.programNameAndVersion + u" #\r\n";
    text += u"# On " + header.createdAt + u" #\r\n";
    if (accept) AppendRangeLines(text, u'+', *accept);
    if (reject) AppendRangeLines(text, u'-', *reject);
    return text;
}

bool WriteFilterProfile(TextView path, const PathContext& context, const RangeList* accept,
                        const RangeList* reject, const ProfileHeader& header) {
    const Text expanded = ExpandPortablePath(path, context);
    if (IsForeignPath(expanded)) return false;
    const std::string bytes = std::string(kUtf16LEByteOrderMark) +
                              TextToUtf16LE(FilterProfileText(accept, reject, header));
    return static_cast<bool>(ReplaceFileAtomically(TextToUtf8(expanded), bytes));
}

}  // namespace qf
