#include "net/interfaces.h"

#include <fmt/format.h>

#include <algorithm>
#include <map>

#include "net/address.h"
#include "platform/text_tools.h"

namespace qf {
namespace {

constexpr size_t kFriendlyNameUnits = 63;
constexpr size_t kStatusUnits = 15;
constexpr size_t kDescriptionUnits = 255;

std::array<uint8_t, 8> PaddedPhysicalAddress(const std::vector<uint8_t>& bytes) {
    std::array<uint8_t, 8> padded{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), padded.size()), padded.begin());
    return padded;
}

// Six groups, or eight when allowed and the last two bytes are not both zero.
std::string MacText(const std::array<uint8_t, 8>& bytes, bool eightGroupsAllowed) {
    const bool eight = eightGroupsAllowed && (bytes[6] != 0 || bytes[7] != 0);
    return fmt::format("{:02X}", fmt::join(bytes.begin(), bytes.begin() + (eight ? 8 : 6), "-"));
}

InterfaceEntry MakeEntry(const NetworkAdapter& adapter, const SocketAddress& address,
                         std::map<std::string, int>& indexCounters) {
    InterfaceEntry entry;
    entry.physicalAddress = PaddedPhysicalAddress(adapter.physicalAddress);
    entry.address = address;
    entry.friendlyName = Utf8ToText(adapter.alias.empty() ? adapter.name : adapter.alias)
                             .substr(0, kFriendlyNameUnits);
    entry.statusText =
        InterfaceStatusText(adapter.operStatus, adapter.administrativelyUp, adapter.running)
            .substr(0, kStatusUnits);
    const int index = indexCounters[MacText(entry.physicalAddress, true)]++;
    const std::string mac = MacText(entry.physicalAddress, adapter.physicalAddress.size() == 8);
    const Text shown = entry.statusText == u"Up" ? FormatAddress(address) : entry.statusText;
    entry.description =
        (Utf8ToText(fmt::format("{}-{:02X} / ", mac, index)) + shown + u" / " + entry.friendlyName)
            .substr(0, kDescriptionUnits);
    return entry;
}

bool IsIPv4Loopback(const SocketAddress& address) {
    return address.isIPv4() && address.ipv4Bytes()[0] == 127;
}

const InterfaceEntry* FindEntry(const InterfaceList& list,
                                const std::function<bool(const InterfaceEntry&)>& wanted) {
    const auto found = std::find_if(list.begin(), list.end(), wanted);
    return found == list.end() ? nullptr : &*found;
}

// "00-1A-2B-3C-4D-5E-01" from the leading MAC digits of a specification; a bare six-byte
// address means its first address (index 00).
std::optional<Text> MacKey(TextView spec) {
    spec = spec.substr(0, spec.find(u'/'));
    spec = spec.substr(0, spec.find_first_not_of(u"0123456789ABCDEFabcdef- "));
    Text digits;
    for (char16_t c : spec) {
        if (c != u' ' && c != u'-') digits += ToUpperAscii(c);
    }
    if (digits.size() == 12) digits += u"00";
    if (digits.size() != 14 && digits.size() != 18) return std::nullopt;
    Text key;
    for (size_t i = 0; i < digits.size(); i += 2) {
        if (i) key += u'-';
        key += digits.substr(i, 2);
    }
    return key;
}

}  // namespace

Text InterfaceStatusText(OperStatus status, bool administrativelyUp, bool running) {
    switch (status) {
        case OperStatus::Up: return u"Up";
        case OperStatus::Down: return u"Down";
        case OperStatus::Testing: return u"Testing";
        case OperStatus::Unknown: return administrativelyUp && running ? u"Up" : u"Unknown";
        case OperStatus::Dormant: return u"Dormant";
        case OperStatus::NotPresent: return u"NotPresent";
        case OperStatus::LowerLayerDown: return u"LowerLayerDown";
    }
    return Utf8ToText(std::to_string(static_cast<int>(status)));
}

InterfaceList BuildInterfaceList(const std::vector<NetworkAdapter>& adapters) {
    InterfaceList list;
    std::map<std::string, int> indexCounters;
    for (const bool ipv6Pass : {false, true}) {
        for (const NetworkAdapter& adapter : adapters) {
            for (const SocketAddress& address : adapter.addresses) {
                if (address.isIPv6() == ipv6Pass)
                    list.push_back(MakeEntry(adapter, address, indexCounters));
            }
        }
    }
    return list;
}

InterfaceList EnumerateInterfaces() {
    auto adapters = ReadNetworkAdapters();
    return adapters ? BuildInterfaceList(*adapters) : InterfaceList{};
}

std::vector<Text> BuildInterfaceChoices(const InterfaceList& interfaces) {
    std::vector<Text> choices;
    auto add = [&](const Text& text) {
        const bool known = std::any_of(choices.begin(), choices.end(),
                                       [&](const Text& c) { return EqualsIgnoringCase(c, text); });
        if (!known) choices.push_back(text);
    };
    auto heading = [](TextView name) {
        const Text rule(30, u'-');
        return rule + u' ' + Text(name) + u' ' + rule;
    };
    add(heading(u"IPv4"));
    add(u"0.0.0.0");
    for (const InterfaceEntry& entry : interfaces) {
        if (entry.address.isIPv4()) add(FormatAddress(entry.address));
    }
    add(heading(u"IPv6"));
    add(u"::");
    for (const InterfaceEntry& entry : interfaces) {
        if (entry.address.isIPv6()) add(FormatAddress(entry.address));
    }
    add(heading(u"MAC"));
    for (const InterfaceEntry& entry : interfaces) add(entry.description);
    return choices;
}

std::optional<InterfaceEntry> FindInterfaceByMAC(TextView spec, const InterfaceSource& interfaces) {
    const auto key = MacKey(spec);
    if (!key) return std::nullopt;
    const InterfaceList list = interfaces();
    const InterfaceEntry* found = FindEntry(list, [&](const InterfaceEntry& entry) {
        const TextView description = entry.description;
        const TextView head = Trim(description.substr(0, description.find(u'/')), u" \t");
        return EqualsIgnoringCase(head, *key);
    });
    return found ? std::optional(*found) : std::nullopt;
}

bool IsAddressOnUpInterface(const SocketAddress& address, const InterfaceSource& interfaces) {
    const InterfaceList list = interfaces();
    const InterfaceEntry* found = FindEntry(list, [&](const InterfaceEntry& entry) {
        return CompareAddresses(entry.address, address, true) == 0;
    });
    if (!found) {
        found = FindEntry(list, [&](const InterfaceEntry& entry) {
            return CompareAddresses(entry.address, address, false) == 0;
        });
    }
    if (!found && IsIPv4Loopback(address)) {
        found = FindEntry(
            list, [](const InterfaceEntry& entry) { return IsIPv4Loopback(entry.address); });
    }
    return found && found->statusText == u"Up";
}

}  // namespace qf
