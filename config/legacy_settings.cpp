#include "config/legacy_settings.h"

#include <fmt/format.h>

#include <array>
#include <cstring>

#include "config/product.h"
#include "config/settings_rules.h"
#include "config/text_files.h"
#include "config/text_helpers.h"
#include "config/value_codecs.h"
#include "net/address.h"

namespace qf {
namespace {

constexpr size_t kIdentifierSize = 16;
// The two format identifiers in their binary GUID layout; they differ in the last byte.
constexpr std::array<unsigned char, kIdentifierSize> kIdentifier = {
    0x3A, 0x0C, 0x1F, 0x6B, 0x27, 0x5D, 0x8B, 0x4E, 0x9A, 0x40, 0x2C, 0x7E, 0x51, 0xD3, 0xB8, 0x69};
constexpr unsigned char kOtherIdentifierEnd = 0x40;

constexpr size_t kMaxStringBytes = 1000000;
constexpr double kWideColumnsVersion = 1.0;
constexpr int kOldColumnCount = 6;
constexpr int kColumnCount = 20;

// Reads little-endian items; a read that cannot be completed changes nothing and fails.
class BinaryReader {
  public:
    explicit BinaryReader(std::string_view bytes) : bytes_(bytes) {}

    size_t position() const { return at_; }
    void Rewind(size_t position) { at_ = position; }
    void UseWideStrings() { wideStrings_ = true; }

    bool Skip(size_t count) { return Take(count).has_value(); }
    bool Read(bool& target) {
        uint8_t byte = 0;
        if (!ReadInteger(byte)) return false;
        target = byte != 0;
        return true;
    }
    bool Read(uint16_t& target) { return ReadInteger(target); }
    bool Read(int32_t& target) { return ReadInteger(target); }
    bool Read(uint32_t& target) { return ReadInteger(target); }
    // Eight-bit text, or UTF-16 once the file needs it.
    bool Read(Text& target) {
        const auto bytes = TakeCounted(kMaxStringBytes);
        if (!bytes) return false;
        target = wideStrings_ ? DecodeTextFileBytes("\xFF\xFE" + std::string(*bytes))
                              : DecodeLegacyText(*bytes);
        return true;
    }
    bool SkipString() {
        Text ignored;
        return Read(ignored);
    }
    // IPv4 addresses of four bytes each.
    bool Read(std::vector<SocketAddress>& target) {
        const auto bytes = TakeCounted(bytes_.size());
        if (!bytes) return false;
        target.clear();
        for (size_t at = 0; at + 4 <= bytes->size(); at += 4)
            target.push_back(AddressAt(bytes->substr(at, 4)));
        return true;
    }
    bool Read(SocketAddress& target) {
        const auto bytes = Take(4);
        if (!bytes) return false;
        target = AddressAt(*bytes);
        return true;
    }

  private:
    static SocketAddress AddressAt(std::string_view bytes) {
        return SocketAddress::IPv4({static_cast<uint8_t>(bytes[0]), static_cast<uint8_t>(bytes[1]),
                                    static_cast<uint8_t>(bytes[2]),
                                    static_cast<uint8_t>(bytes[3])});
    }
    std::optional<std::string_view> Take(size_t count) {
        if (count > bytes_.size() - at_) return std::nullopt;
        const std::string_view taken = bytes_.substr(at_, count);
        at_ += count;
        return taken;
    }
    // A 32-bit byte count of at most `limit`, then that many bytes.
    std::optional<std::string_view> TakeCounted(size_t limit) {
        const size_t start = at_;
        uint32_t count = 0;
        if (ReadInteger(count) && count <= limit) {
            if (auto taken = Take(count)) return taken;
        }
        at_ = start;
        return std::nullopt;
    }
    template <class T>
    bool ReadInteger(T& target) {
        const auto bytes = Take(sizeof(T));
        if (!bytes) return false;
        std::make_unsigned_t<T> value = 0;
        for (size_t index = sizeof(T); index-- > 0;)
            value = static_cast<std::make_unsigned_t<T>>(value << 8 |
                                                         static_cast<uint8_t>((*bytes)[index]));
        target = static_cast<T>(value);
        return true;
    }

    std::string_view bytes_;
    size_t at_ = 0;
    bool wideStrings_ = false;
};

RangeListPtr RangesOf(const std::vector<SocketAddress>& bounds) {
    if (bounds.size() < 2) return nullptr;
    auto ranges = std::make_shared<RangeList>();
    for (size_t at = 0; at + 1 < bounds.size(); at += 2)
        ranges->push_back({bounds[at], bounds[at + 1]});
    ranges->push_back(AddressRange{});
    return ranges;
}

class LegacySettingsReader {
  public:
    LegacySettingsReader(std::string_view bytes, Settings& settings, EngineState& engine,
                         bool languageGiven)
        : reader_(bytes), settings_(settings), engine_(engine), languageGiven_(languageGiven) {}

    LegacyLoadResult Read(const std::function<bool(double version)>& acceptVersion) {
        reader_.Skip(kIdentifierSize);
        if (!ReadProductName()) return LegacyLoadResult::Foreign;
        if (!ReadVersion()) return LegacyLoadResult::Applied;
        if (!acceptVersion(version_)) return LegacyLoadResult::Declined;
        // Each step stops the rest when its item is not complete.
        ReadLanguageAndWindow() && ReadPFOList() && ReadPFODefaults() && ReadDisplayAndFilters() &&
            ReadLogging() && ReadFolders();
        return LegacyLoadResult::Applied;
    }

  private:
    bool IsProductName(const Text& name) { return EqualsIgnoringAsciiCase(name, kProductName); }

    // Eight-bit first; a file whose name only matches in UTF-16 has UTF-16 strings throughout.
    bool ReadProductName() {
        const size_t start = reader_.position();
        Text name;
        if (reader_.Read(name) && IsProductName(name)) return true;
        reader_.Rewind(start);
        reader_.UseWideStrings();
        return reader_.Read(name) && IsProductName(name);
    }

    bool ReadVersion() {
        uint32_t major = 0, minor = 0;
        if (!reader_.Read(major) || !reader_.Read(minor)) return false;
        version_ = ParseDoubleText(AsciiText(fmt::format("{}.{}", major, minor)), 0, 0, 0);
        return true;
    }

    bool ReadLanguageAndWindow() {
        int32_t language = 0;
        WindowRectangle& window = settings_.WindowPosition;
        if (!reader_.Skip(16) || !reader_.Read(language)) return false;
        if (!languageGiven_) settings_.LanguageChoice = MapOldLanguageIndex(language);
        return reader_.Skip(1) && reader_.SkipString() && reader_.Read(window.Left) &&
               reader_.Read(window.Top) && reader_.Read(window.Right) &&
               reader_.Read(window.Bottom) && reader_.Read(settings_.WindowState) && ReadColumns();
    }

    bool ReadColumns() {
        const int count = version_ > kWideColumnsVersion ? kColumnCount : kOldColumnCount;
        for (int32_t PFOListColumn::*field : {&PFOListColumn::Order, &PFOListColumn::Width}) {
            for (int column = 0; column < count; ++column) {
                int32_t value = 0;
                if (!reader_.Read(value)) return false;
                if (column < kPFOListColumns)
                    settings_.Columns[static_cast<size_t>(column)].*field = value;
            }
        }
        return true;
    }

    bool ReadPFOList() {
        int32_t count = 0;
        if (!reader_.Read(count)) return false;
        engine_.pfos.RemoveAll();
        for (int32_t index = 0; index < count; ++index) {
            PFOPtr pfo = CreatePFO(engine_);
            if (!ReadPFO(*pfo)) return false;
            engine_.pfos.Append(std::move(pfo));
        }
        return true;
    }

    bool ReadPFO(PFO& pfo) {
        int32_t protocol = 0;
        bool enabled = false;
        SocketAddress localAddress;
        if (!reader_.Read(pfo.Bounce) || !reader_.Read(protocol) || !reader_.Read(enabled) ||
            !reader_.Skip(1) || !reader_.Read(pfo.LocalIP) || !reader_.Read(localAddress))
            return false;
        pfo.Enabled = enabled;
        if (protocol == static_cast<int32_t>(Protocol::TCP) ||
            protocol == static_cast<int32_t>(Protocol::UDP))
            pfo.protocol = static_cast<Protocol>(protocol);
        if (IsBlankText(pfo.LocalIP)) pfo.LocalIP = FormatAddress(localAddress);
        return reader_.Read(pfo.LocalPort) && reader_.Read(pfo.RemoteHost) &&
               reader_.Read(pfo.RemotePort) && reader_.Read(pfo.MaxSessions) &&
               reader_.Read(pfo.UDPSessionTimeout) && reader_.Read(pfo.ForwardICMPForUDP) &&
               reader_.Read(pfo.EnableIPFilter) && ReadRanges(pfo.AcceptRanges) &&
               ReadRanges(pfo.RejectRanges) && ReadDynamicFilter(pfo);
    }

    bool ReadRanges(RangeListPtr& target) {
        std::vector<SocketAddress> bounds;
        if (!reader_.Read(bounds)) return false;
        target = RangesOf(bounds);
        return true;
    }

    bool ReadDynamicFilter(PFO& pfo) {
        if (!(version_ > kWideColumnsVersion)) return true;
        return reader_.Read(pfo.EnableDTFIPFilter) && reader_.Read(pfo.DTFIPFilePath) &&
               reader_.Read(pfo.DTFIPInterval) &&
               reader_.Read(pfo.DTFIPFilter_ApplyToExistingConnectionsOnUpdate) &&
               reader_.Read(pfo.Note);
    }

    bool ReadPFODefaults() {
        std::lock_guard lock(engine_.pfos.PFOListLock);
        PFODefaults& d = engine_.defaults;
        return reader_.Read(d.LocalIP) && reader_.Read(d.RemoteHost) &&
               reader_.Read(d.CheckBounce) && reader_.Read(d.CheckTCP) &&
               reader_.Read(d.CheckUDP) && reader_.Read(d.LocalPort) &&
               reader_.Read(d.RemotePort) && reader_.Read(d.MaxSessions) &&
               reader_.Read(d.UDPSessionTimeout);
    }

    bool ReadDisplayAndFilters() {
        MinimizationSettings& m = settings_.Minimization;
        PFOFilterDialogSettings& f = settings_.PFOFilterDialog;
        bool forwardICMP = false;
        if (!reader_.Read(m.SystemTrayIconEnabled) ||
            !reader_.Read(m.SystemTrayOnlyWhenMinimized) ||
            !reader_.Read(m.HideWindowWhenMinimized) ||
            !reader_.Read(settings_.DataFormatBitsPerSecond) || !reader_.Read(forwardICMP))
            return false;
        {
            std::lock_guard lock(engine_.pfos.PFOListLock);
            engine_.defaults.ForwardICMPForUDP = forwardICMP;
        }
        return reader_.Read(f.HostName) && reader_.Read(f.SourceIPMustBeFrom) &&
               reader_.Read(f.SourceIPMustNotBeFrom) && reader_.Read(f.SourceIPMustBeTo) &&
               reader_.Read(f.SourceIPMustNotBeTo);
    }

    // Templates of this generation use the oldest tokens.
    bool ReadLogging() {
        AutoLogSettings& log = settings_.AutoLog;
        MinimizationSettings& m = settings_.Minimization;
        Text dateTemplate, entryTemplate;
        if (!reader_.Skip(5) || !reader_.Read(log.Enabled) || !reader_.Read(dateTemplate))
            return false;
        settings_.DateAndTimeParameters = ConvertDateTemplate(dateTemplate, 0);
        if (!reader_.Read(log.FilePath) || !reader_.Read(entryTemplate)) return false;
        log.LogEntryParameters = ConvertLogEntryTemplate(entryTemplate, 0);
        return reader_.Read(log.UpdateInterval) &&
               reader_.Read(settings_.PFOFilterDialog.DefaultFolder) &&
               reader_.Read(log.DefaultFolder) && reader_.Skip(4) && reader_.Read(log.NoLogBadIP) &&
               reader_.Read(m.MinimizeOnStartup) && reader_.Read(m.MinimizeOnClose) &&
               reader_.Read(m.HasBeforeMinimized);
    }

    bool ReadFolders() {
        Text stringsFile;
        if (!reader_.Read(stringsFile)) return false;
        if (!languageGiven_) settings_.LanguageStringsFilePath = stringsFile;
        return reader_.Read(settings_.DTFIPFilterDefaultFolder) &&
               reader_.Read(settings_.SortDirection) && reader_.Read(settings_.SortFromColumn) &&
               reader_.Read(settings_.RequestForCommentsShowOnExit) &&
               reader_.Read(settings_.RequestForCommentsUserHasCommented) && reader_.Skip(1);
    }

    BinaryReader reader_;
    Settings& settings_;
    EngineState& engine_;
    bool languageGiven_;
    double version_ = 0;
};

}  // namespace

bool IsLegacySettingsFile(std::string_view bytes) {
    if (bytes.size() < kIdentifierSize) return false;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    return std::memcmp(data, kIdentifier.data(), kIdentifierSize - 1) == 0 &&
           (data[kIdentifierSize - 1] == kIdentifier.back() ||
            data[kIdentifierSize - 1] == kOtherIdentifierEnd);
}

LegacyLoadResult ReadLegacySettings(std::string_view bytes, Settings& settings, EngineState& engine,
                                    bool languageGiven,
                                    const std::function<bool(double version)>& acceptVersion) {
    return LegacySettingsReader(bytes, settings, engine, languageGiven).Read(acceptVersion);
}

}  // namespace qf
