#include "ui/pfo_columns.h"

#include <algorithm>

#include "config/text_helpers.h"
#include "config/value_codecs.h"
#include "engine/engine_state.h"

namespace qf {
namespace {

constexpr int kColumnTitleIds[kColumnCount] = {95,  96,  97,  98,  99,  100, 236, 94, 262,
                                               261, 263, 264, 269, 279, 280, 281, 282};
constexpr int kUnavailableText = 265;
constexpr int kClientAsRemoteHostText = 119;
constexpr int kEnabledText = 142;
constexpr int kDisabledText = 143;

// What a row shows of a PFO, copied under its locks.
struct RowValues {
    Protocol protocol = Protocol::TCP;
    Text localIP, remoteHost, note, olAddress;
    uint16_t localPort = 0, remotePort = 0, olPort = 0;
    bool bounce = false, forwardICMP = false, ipFilter = false, dynamicFilter = false;
    AdvancedOptions advanced;
    Text localResolved, localDetail, olResolved, olDetail;
};

RowValues ReadRowValues(const PFO& pfo) {
    RowValues v;
    {
        std::lock_guard lock(pfo.ConfigLock);
        v.protocol = pfo.protocol;
        v.localIP = pfo.LocalIP;
        v.remoteHost = pfo.RemoteHost;
        v.note = pfo.Note;
        v.olAddress = pfo.OLAddress;
        v.localPort = pfo.LocalPort;
        v.remotePort = pfo.RemotePort;
        v.olPort = pfo.OLPort;
        v.bounce = pfo.Bounce;
        v.forwardICMP = pfo.ForwardICMPForUDP;
        v.ipFilter = pfo.EnableIPFilter;
        v.dynamicFilter = pfo.EnableDTFIPFilter;
        v.advanced = pfo.advancedOptions();
    }
    std::lock_guard lock(pfo.ResolvedLock);
    v.localResolved = pfo.LocalResolvedText;
    v.localDetail = pfo.LocalResolveDetail;
    v.olResolved = pfo.OLResolvedText;
    v.olDetail = pfo.OLResolveDetail;
    return v;
}

Text JoinOptionNames(std::initializer_list<std::pair<bool, TextView>> options) {
    Text joined;
    for (const auto& [on, name] : options) {
        if (!on) continue;
        if (!joined.empty()) joined += u", ";
        joined += name;
    }
    return joined;
}

Text StandardOptionsText(const RowValues& v) {
    return JoinOptionNames({{v.forwardICMP, u"ForwardICMPForUDP"},
                            {v.ipFilter, u"IPFilter"},
                            {v.dynamicFilter, u"DTFIPFilter"}});
}

Text AdvancedOptionsText(const AdvancedOptions& o) {
    return JoinOptionNames({{o.Outbound_Bind, u"Outbound_Bind"},
                            {o.UDP_Port_Bind, u"UDP_Port_Bind"},
                            {o.Address_ReUse, u"Address_ReUse"},
                            {o.TCP_NoDelay, u"TCP_NoDelay"},
                            {o.TCP_KeepAlive, u"TCP_KeepAlive"}});
}

Text TextOrUnavailable(const Text& text, const TextCatalog& texts) {
    return text.empty() ? texts.Program(kUnavailableText) : text;
}

Text AfterLastSlash(TextView text) {
    const size_t slash = text.rfind(u'/');
    return Text(slash == TextView::npos ? text : text.substr(slash + 1));
}

}  // namespace

Text ColumnTitle(const TextCatalog& texts, int column) {
    if (column < 0 || column >= kColumnCount) return {};
    return texts.Program(kColumnTitleIds[column]);
}

Text MACForm(TextView specification) {
    TextView beforeSlash = specification.substr(0, specification.find(u'/'));
    const size_t runEnd = beforeSlash.find_first_not_of(u"0123456789ABCDEFabcdef- ");
    const Text digits = AsciiUpperText(RemoveCharacters(beforeSlash.substr(0, runEnd), u" -"));
    if (digits.size() == 12) return MACForm(digits + u"00");
    if (digits.size() != 14) return {};
    Text form;
    for (size_t i = 0; i < digits.size(); i += 2) {
        if (i > 0) form += u'-';
        form += digits.substr(i, 2);
    }
    return form;
}

Text AdapterName(TextView specification, TextView resolvedText, TextView resolveDetail) {
    if (MACForm(specification).empty())
        return specification == resolvedText ? Text() : Text(specification);
    const TextView named =
        specification.find(u'/') == TextView::npos ? resolveDetail : specification;
    return Text(TrimCharacters(AfterLastSlash(named), kBlankCharacters));
}

Text SessionsText(int32_t current, int32_t total, TextView rate) {
    return FormatIntegerText(current) + u"/" + FormatIntegerText(total) + u" (" + Text(rate) + u")";
}

RowTexts PFORowTexts(const PFO& pfo) {
    const TextCatalog& texts = pfo.engine.texts;
    const RowValues v = ReadRowValues(pfo);
    const bool enabled = pfo.Enabled;
    RowTexts row;
    row[kStatusColumn] = StatusText(pfo.engine, pfo.Status, enabled);
    row[kProtocolColumn] = v.protocol == Protocol::TCP ? u"TCP" : u"UDP";
    row[kLocalIPColumn] = TextOrUnavailable(v.localResolved, texts);
    row[kLocalPortColumn] = FormatIntegerText(v.localPort);
    row[kRemoteHostColumn] = v.bounce || IsBlankText(v.remoteHost)
                                 ? texts.Program(kClientAsRemoteHostText)
                                 : v.remoteHost;
    row[kRemotePortColumn] = FormatIntegerText(v.remotePort);
    row[kNoteColumn] = v.note;
    row[kOnOffColumn] = texts.General(enabled ? kEnabledText : kDisabledText);
    row[kStandardOptionsColumn] = StandardOptionsText(v);
    row[kAdvancedOptionsColumn] = AdvancedOptionsText(v.advanced);
    row[kMACColumn] = MACForm(v.localIP);
    row[kAdapterColumn] = AdapterName(v.localIP, v.localResolved, v.localDetail);
    row[kOLMACColumn] = MACForm(v.olAddress);
    row[kOLAdapterColumn] = AdapterName(v.olAddress, v.olResolved, v.olDetail);
    row[kOLAddressColumn] = TextOrUnavailable(v.olResolved, texts);
    row[kOLPortColumn] = FormatIntegerText(v.olPort);
    return row;
}

std::array<int32_t, kColumnCount> NormalizedColumnOrder(
    const std::array<int32_t, kColumnCount>& stored) {
    std::array<int32_t, kColumnCount> order;
    order.fill(-1);
    std::array<bool, kColumnCount> shown{};
    auto place = [&](int position, int32_t column) {
        order[position] = column;
        shown[column] = true;
    };
    for (int position = 0; position < kColumnCount; ++position) {
        const int32_t column = stored[position];
        if (column >= 0 && column < kColumnCount && !shown[column]) place(position, column);
    }
    for (int position = 0; position < kColumnCount; ++position)
        if (order[position] < 0 && !shown[position]) place(position, position);
    for (int position = 0; position < kColumnCount; ++position) {
        if (order[position] >= 0) continue;
        place(position, int32_t(std::find(shown.begin(), shown.end(), false) - shown.begin()));
    }
    return order;
}

}  // namespace qf
