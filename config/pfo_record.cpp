#include "config/pfo_record.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <optional>
#include <span>

#include "config/text_files.h"
#include "config/text_helpers.h"
#include "config/value_codecs.h"
#include "net/address.h"

namespace qf {
namespace {

constexpr TextView kRecordWord = u"PFO";
constexpr TextView kMarker = u"PFO\t";
constexpr TextView kMarkerLine = u"\r\nPFO\t";
constexpr TextView kSpacesAndTabs = u" \t";
constexpr TextView kHexDigits = u"0123456789ABCDEFabcdef";
constexpr TextView kRangeCharacters = u"0123456789ABCDEFabcdef:%.- ";

// Settings versions at which the record changed.
constexpr double kBarSeparatorVersion = 4.01;
constexpr double kOutboundLocalVersion = 4.0;
constexpr double kBooleanFieldsVersion = 1.0;

struct OptionWord {
    TextView word;
    bool PFO::*flag;
};

constexpr std::array<OptionWord, 9> kOptionWords = {{
    {u"ForwardICMPForUDP", &PFO::ForwardICMPForUDP},
    {u"EnableIPFilter", &PFO::EnableIPFilter},
    {u"EnableDTFIPFilter", &PFO::EnableDTFIPFilter},
    {u"DTFIPFilter_ApplyToExistingConnectionsOnUpdate",
     &PFO::DTFIPFilter_ApplyToExistingConnectionsOnUpdate},
    {u"Outbound_Bind", &PFO::Outbound_Bind},
    {u"UDP_Port_Bind", &PFO::UDP_Port_Bind},
    {u"Address_ReUse", &PFO::Address_ReUse},
    {u"TCP_NoDelay", &PFO::TCP_NoDelay},
    {u"TCP_KeepAlive", &PFO::TCP_KeepAlive},
}};

// The five socket options that records of version 1.0 and below keep apart from the words.
constexpr std::array<bool PFO::*, 5> kAdvancedFlags = {&PFO::Outbound_Bind, &PFO::UDP_Port_Bind,
                                                       &PFO::Address_ReUse, &PFO::TCP_NoDelay,
                                                       &PFO::TCP_KeepAlive};

Text JoinTexts(std::span<const Text> parts, TextView separator) {
    Text joined;
    for (size_t index = 0; index < parts.size(); ++index) {
        if (index > 0) joined += separator;
        joined += parts[index];
    }
    return joined;
}

// Control characters are escaped as well as the spaces and tabs, so that a note holding a line
// break or a zero survives the line-based file it is stored in.
Text EscapeNote(TextView note) {
    Text escaped;
    for (char16_t c : note) {
        if (c == u'%')
            escaped += u"%%";
        else if (c <= u' ')
            escaped += AsciiText(fmt::format("%{:02X}", static_cast<unsigned>(c)));
        else
            escaped += c;
    }
    return escaped;
}

// One pass from left to right, so that decoded text is never decoded again; an escape that
// is neither "%%" nor "%" with two hexadecimal digits ends decoding, and the rest stays as it
// is.
Text DecodeNote(TextView escaped) {
    Text note;
    for (size_t at = 0; at < escaped.size(); ++at) {
        if (escaped[at] != u'%') {
            note += escaped[at];
            continue;
        }
        const TextView next = escaped.substr(at + 1, 2);
        if (next.starts_with(u'%')) {
            note += u'%';
            at += 1;
        } else if (next.size() == 2 && next.find_first_not_of(kHexDigits) == TextView::npos) {
            note += static_cast<char16_t>(ParseHexText(next, 0, 0, 0));
            at += 2;
        } else {
            note += escaped.substr(at);
            break;
        }
    }
    return note;
}

Text FormatRanges(const RangeListPtr& ranges) {
    std::vector<Text> parts;
    for (const AddressRange& range : ranges ? *ranges : RangeList{}) {
        if (range.low.isEmpty()) break;
        parts.push_back(FormatAddress(range.low) + u"-" + FormatAddress(range.high));
    }
    return JoinTexts(parts, u",");
}

Text FormatOptions(const PFO& pfo) {
    std::vector<Text> words;
    for (const OptionWord& option : kOptionWords) {
        if (pfo.*option.flag) words.emplace_back(option.word);
    }
    return JoinTexts(words, u",");
}

Text FormatDestinations(const PFO& pfo) {
    const TextView prefix = pfo.Bounce ? u"*" : u"";
    std::vector<Text> parts = {FormatDestination(prefix, {pfo.RemoteHost, pfo.RemotePort})};
    for (const RemoteDestination& extra : pfo.ExtraRemoteDestinations)
        parts.push_back(FormatDestination(prefix, extra));
    return JoinTexts(parts, u", ");
}

uint16_t PortFromText(TextView text) {
    return static_cast<uint16_t>(TruncateToInt64(ParseDoubleText(text, 0, 0, 0)));
}

int32_t NumberFromText(TextView text) { return TruncateToInt32(ParseDoubleText(text, 0, 0, 0)); }

TextView TrimLeading(TextView text, TextView set) {
    return text.substr(std::min(text.find_first_not_of(set), text.size()));
}

// The host before the first separator, the port after the separators that follow it.
RemoteDestination SplitEndpoint(TextView text, TextView separators) {
    const size_t cut = std::min(text.find_first_of(separators), text.size());
    return {Text(text.substr(0, cut)), PortFromText(TrimLeading(text.substr(cut), separators))};
}

// One entry of an address range field: up to its first character that cannot belong to an
// address range, without spaces. A single address stands for the range of only itself.
std::optional<AddressRange> ParseRangeEntry(TextView entry) {
    const size_t end = std::min(entry.find_first_not_of(kRangeCharacters), entry.size());
    const Text compact = RemoveCharacters(entry.substr(0, end), u" ");
    if (compact.size() < 2) return std::nullopt;
    const TextView bounds = compact;
    const size_t dash = bounds.find(u'-');
    const TextView low = bounds.substr(0, dash);
    if (dash == TextView::npos)
        return AddressRange{ParseAddress(low, true), ParseAddress(low, true)};
    const TextView high = bounds.substr(dash + 1);
    return AddressRange{ParseAddress(low, true),
                        ParseAddress(high.substr(0, high.find(u'-')), true)};
}

// Nothing for a blank field, which leaves the PFO's list as it was.
std::optional<RangeListPtr> ParseRanges(TextView field) {
    if (IsBlankText(field)) return std::nullopt;
    auto ranges = std::make_shared<RangeList>();
    Text rest(field);
    while (!rest.empty()) {
        if (auto range = ParseRangeEntry(TakeToken(rest, u","))) ranges->push_back(*range);
    }
    ranges->push_back(AddressRange{});
    return ranges;
}

void ApplyOptionWords(PFO& pfo, TextView field) {
    const Text words = u"," + RemoveCharacters(AsciiUpperText(field), u" ") + u",";
    for (const OptionWord& option : kOptionWords) {
        const Text word = u"," + AsciiUpperText(option.word) + u",";
        pfo.*option.flag = words.find(word) != Text::npos;
    }
}

// The record without its marker, up to its line end.
TextView RecordLine(TextView text) {
    if (text.starts_with(kMarkerLine))
        text.remove_prefix(kMarkerLine.size());
    else if (text.starts_with(kMarker))
        text.remove_prefix(kMarker.size());
    return text.substr(0, std::min(text.find_first_of(u"\r\n"), text.size()));
}

// Walks one record line. The leading fields may have spaces around them; the later ones are
// found by position, so that empty later fields keep their place.
class RecordCursor {
  public:
    explicit RecordCursor(TextView line) : line_(line) {}

    TextView Field() const {
        return line_.substr(at_, std::min(line_.find(u'\t', at_), line_.size()) - at_);
    }
    void Advance(size_t count) { at_ = std::min(at_ + count, line_.size()); }
    void Skip(TextView set) {
        while (at_ < line_.size() && set.find(line_[at_]) != TextView::npos) ++at_;
    }
    // Past the spaces and the one tab between two leading fields. Skipping every tab would
    // take the field after an empty one for it.
    void SkipSeparator() {
        Skip(u" ");
        if (at_ < line_.size() && line_[at_] == u'\t') ++at_;
        Skip(u" ");
    }
    // Past the character that ends the field just read; nothing follows at the line's end.
    void StartPositionalFields() {
        ended_ = at_ == line_.size();
        Advance(1);
    }
    std::optional<TextView> NextField() {
        if (ended_) return std::nullopt;
        const TextView field = Field();
        ended_ = at_ + field.size() == line_.size();
        Advance(field.size() + 1);
        return field;
    }

  private:
    TextView line_;
    size_t at_ = 0;
    bool ended_ = false;
};

// Host texts met while reading, resolved once the configuration lock is released.
struct ReadHosts {
    std::optional<Text> local, outboundLocal, remote;
};

void ReadProtocolAndState(PFO& pfo, RecordCursor& cursor) {
    cursor.Skip(kSpacesAndTabs);
    const TextView protocol = cursor.Field();
    if (EqualsIgnoringAsciiCase(protocol, u"TCP"))
        pfo.protocol = Protocol::TCP;
    else if (EqualsIgnoringAsciiCase(protocol, u"UDP"))
        pfo.protocol = Protocol::UDP;
    // Whatever the field held: stored records rely on the three-letter width.
    cursor.Advance(3);
    cursor.SkipSeparator();
    const TextView state = cursor.Field();
    pfo.Enabled = ParseBoolText(state);
    cursor.Advance(state.size());
    cursor.SkipSeparator();
}

// Nothing for an empty field, which ends reading.
std::optional<RemoteDestination> TakeEndpoint(RecordCursor& cursor, TextView separators) {
    const TextView field = cursor.Field();
    if (field.empty()) return std::nullopt;
    cursor.Advance(field.size());
    cursor.SkipSeparator();
    return SplitEndpoint(field, separators);
}

// The main destination, whose stars mean bounce, then the extra ones. False when empty.
bool ReadDestinations(PFO& pfo, RecordCursor& cursor, TextView separators) {
    const TextView field = cursor.Field();
    if (field.empty()) return false;
    cursor.Advance(field.size());
    const size_t hostEnd = std::min(field.find_first_of(separators), field.size());
    const TextView remoteHost = field.substr(0, hostEnd);
    pfo.Bounce = remoteHost.find(u'*') != TextView::npos;
    pfo.RemoteHost = RemoveCharacters(remoteHost, u"*");
    const TextView rest = TrimLeading(field.substr(hostEnd), separators);
    const size_t comma = std::min(rest.find(u','), rest.size());
    pfo.RemotePort = PortFromText(rest.substr(0, comma));
    pfo.ExtraRemoteDestinations = ParseDestinationList(rest.substr(comma), separators);
    return true;
}

// The fields before the positional ones. False when an empty endpoint field ends reading.
bool ReadLeadingFields(PFO& pfo, RecordCursor& cursor, double version, ReadHosts& hosts) {
    const TextView separators = version < kBarSeparatorVersion ? u":" : u"|";
    ReadProtocolAndState(pfo, cursor);
    const auto local = TakeEndpoint(cursor, separators);
    if (!local) return false;
    pfo.LocalIP = hosts.local.emplace(local->host);
    pfo.LocalPort = local->port;
    if (version >= kOutboundLocalVersion) {
        const auto outboundLocal = TakeEndpoint(cursor, separators);
        if (!outboundLocal) return false;
        pfo.OLAddress = hosts.outboundLocal.emplace(outboundLocal->host);
        pfo.OLPort = outboundLocal->port;
    }
    if (!ReadDestinations(pfo, cursor, separators)) return false;
    hosts.remote = pfo.RemoteHost;
    return true;
}

void ReadFlagFields(RecordCursor& cursor, PFO& pfo, std::span<bool PFO::*const> flags) {
    for (bool PFO::*flag : flags) {
        if (const auto field = cursor.NextField()) pfo.*flag = ParseBoolText(*field);
    }
}

void ReadOptions(PFO& pfo, RecordCursor& cursor, double version) {
    if (version > kBooleanFieldsVersion) {
        if (const auto field = cursor.NextField()) ApplyOptionWords(pfo, *field);
    } else if (version == kBooleanFieldsVersion) {
        ReadFlagFields(cursor, pfo, std::span(kAdvancedFlags).first(3));
    } else {
        for (bool PFO::*flag : kAdvancedFlags) pfo.*flag = false;
    }
}

void ReadPositionalFields(PFO& pfo, RecordCursor& cursor, double version) {
    static constexpr std::array<bool PFO::*, 3> kOldFilterFlags = {
        &PFO::ForwardICMPForUDP, &PFO::EnableIPFilter, &PFO::EnableDTFIPFilter};
    static constexpr std::array<bool PFO::*, 1> kOldUpdateFlag = {
        &PFO::DTFIPFilter_ApplyToExistingConnectionsOnUpdate};
    const bool booleanFields = version <= kBooleanFieldsVersion;
    for (int32_t PFO::*number : {&PFO::MaxSessions, &PFO::UDPSessionTimeout}) {
        if (const auto field = cursor.NextField()) pfo.*number = NumberFromText(*field);
    }
    if (booleanFields) ReadFlagFields(cursor, pfo, kOldFilterFlags);
    if (const auto field = cursor.NextField()) pfo.DTFIPFilePath = *field;
    if (const auto field = cursor.NextField()) pfo.DTFIPInterval = NumberFromText(*field);
    if (booleanFields) ReadFlagFields(cursor, pfo, kOldUpdateFlag);
    if (const auto field = cursor.NextField()) pfo.Note = DecodeNote(*field);
    for (RangeListPtr PFO::*list : {&PFO::AcceptRanges, &PFO::RejectRanges}) {
        const auto field = cursor.NextField();
        const auto ranges = field ? ParseRanges(*field) : std::nullopt;
        if (ranges) {
            std::lock_guard filters(pfo.FilterLock);
            pfo.*list = *ranges;
        }
    }
    ReadOptions(pfo, cursor, version);
}

void ReadRecord(PFO& pfo, TextView line, double version, ReadHosts& hosts) {
    RecordCursor cursor(line);
    if (!ReadLeadingFields(pfo, cursor, version, hosts)) return;
    cursor.Skip(u" ");
    cursor.StartPositionalFields();
    ReadPositionalFields(pfo, cursor, version);
}

// Blank and "localhost" stay unresolved; a literal address is its own result.
void ResolveHostField(PFO& pfo, const std::optional<Text>& spec, Text PFO::*resolvedText,
                      Text PFO::*resolveDetail) {
    if (!spec || IsBlankText(*spec) || *spec == u"localhost") return;
    Text detail;
    {
        std::lock_guard lock(pfo.ResolvedLock);
        detail = pfo.*resolveDetail;
    }
    const Text resolved =
        IsNumericAddressText(*spec)
            ? *spec
            : pfo.engine.resolver.ResolveHostSpec(
                  *spec, false, pfo.engine.preferences.EnableMACBasedBinding, &detail);
    std::lock_guard lock(pfo.ResolvedLock);
    pfo.*resolvedText = resolved;
    pfo.*resolveDetail = detail;
    if (resolvedText == &PFO::OLResolvedText) pfo.OLDisplayStale = true;
}

}  // namespace

Text FormatDestination(TextView prefix, const RemoteDestination& destination) {
    return Text(prefix) + destination.host + u"|" + FormatIntegerText(destination.port);
}

std::vector<RemoteDestination> ParseDestinationList(TextView text, TextView separators) {
    std::vector<RemoteDestination> destinations;
    Text rest(text);
    while (!rest.empty()) {
        const Text entry = TakeToken(rest, u",");
        if (IsBlankText(entry)) continue;
        RemoteDestination destination = SplitEndpoint(entry, separators);
        destination.host = TrimLeading(RemoveCharacters(destination.host, u"*"), u" ");
        destinations.push_back(std::move(destination));
    }
    return destinations;
}

Text WritePFORecord(const PFO& pfo) {
    std::lock_guard config(pfo.ConfigLock);
    std::lock_guard filters(pfo.FilterLock);
    const Text fields[] = {
        Text(kRecordWord),
        pfo.protocol == Protocol::UDP ? u"UDP" : u"TCP",
        pfo.Enabled ? u"Enabled " : u"Disabled",
        FormatDestination({}, {pfo.LocalIP, pfo.LocalPort}),
        FormatDestination({}, {pfo.OLAddress, pfo.OLPort}),
        FormatDestinations(pfo),
        FormatIntegerText(pfo.MaxSessions),
        FormatIntegerText(pfo.UDPSessionTimeout),
        pfo.DTFIPFilePath,
        FormatIntegerText(pfo.DTFIPInterval),
        EscapeNote(pfo.Note),
        FormatRanges(pfo.AcceptRanges),
        FormatRanges(pfo.RejectRanges),
        FormatOptions(pfo),
    };
    return JoinTexts(fields, u"\t");
}

Text WritePFORecords(PFOList& list) {
    std::lock_guard lock(list.PFOListLock);
    Text records;
    for (const PFOPtr& pfo : list.Items()) records += u"\r\n" + WritePFORecord(*pfo);
    return records;
}

void ParsePFORecord(PFO& pfo, TextView text, double version) {
    ReadHosts hosts;
    {
        std::lock_guard config(pfo.ConfigLock);
        ReadRecord(pfo, RecordLine(text), version, hosts);
    }
    ResolveHostField(pfo, hosts.local, &PFO::LocalResolvedText, &PFO::LocalResolveDetail);
    ResolveHostField(pfo, hosts.outboundLocal, &PFO::OLResolvedText, &PFO::OLResolveDetail);
    ResolveHostField(pfo, hosts.remote, &PFO::RemoteResolvedText, &PFO::RemoteResolveDetail);
}

int ParsePFORecordList(EngineState& engine, TextView text, bool clearFirst, double version) {
    PFOList& list = engine.pfos;
    if (clearFirst) list.RemoveAll();
    const Text lines = NormalizeLineEnds(text);
    std::lock_guard lock(list.PFOListLock);
    int created = 0;
    for (size_t at = lines.find(kMarkerLine); at != Text::npos;
         at = lines.find(kMarkerLine, at + kMarkerLine.size())) {
        PFOPtr pfo = CreatePFO(engine);
        ParsePFORecord(*pfo, TextView(lines).substr(at), version);
        list.Append(std::move(pfo));
        ++created;
    }
    return created;
}

}  // namespace qf
