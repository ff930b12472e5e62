#include "net/interfaces.h"

#include <gtest/gtest.h>

#include "net/address.h"
#include "tests/net/interface_fixture.h"

namespace qf {
namespace {

using testing::SampleAdapters;

std::vector<Text> Descriptions(const InterfaceList& list) {
    std::vector<Text> texts;
    for (const InterfaceEntry& entry : list) texts.push_back(entry.description);
    return texts;
}

TEST(BuildInterfaceList, ListsIPv4FirstAndNumbersAddressesPerMAC) {
    const std::vector<Text> expected = {
        u"00-00-00-00-00-00-00 / 127.0.0.1 / lo",
        u"00-1A-2B-3C-4D-5E-00 / 192.168.1.5 / Ethernet",
        u"00-1A-2B-3C-4D-5F-00 / Down / eth1",
        u"00-00-00-00-00-00-01 / 10.8.0.1 / wg0",
        u"00-00-00-00-00-00-02 / ::1 / lo",
        u"00-1A-2B-3C-4D-5E-01 / fe80::1%11 / Ethernet",
        u"00-1A-2B-3C-4D-5E-02 / 2001:db8::5 / Ethernet",
        u"00-1A-2B-3C-4D-5F-01 / Down / eth1",
    };
    EXPECT_EQ(Descriptions(BuildInterfaceList(SampleAdapters())), expected);
}

TEST(BuildInterfaceList, KeepsTheAdapterFieldsWithTheirLimits) {
    NetworkAdapter adapter;
    adapter.name = "eth9";
    adapter.alias = std::string(70, 'n');
    adapter.physicalAddress = {1, 2, 3};
    adapter.operStatus = OperStatus::LowerLayerDown;
    adapter.addresses = {SocketAddress::IPv4({10, 0, 0, 9})};
    const InterfaceList list = BuildInterfaceList({adapter});
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].physicalAddress, (std::array<uint8_t, 8>{1, 2, 3, 0, 0, 0, 0, 0}));
    EXPECT_EQ(list[0].address, SocketAddress::IPv4({10, 0, 0, 9}));
    EXPECT_EQ(list[0].friendlyName, Text(63, u'n'));
    EXPECT_EQ(list[0].statusText, u"LowerLayerDown");
    EXPECT_EQ(list[0].description, u"01-02-03-00-00-00-00 / LowerLayerDown / " + Text(63, u'n'));
}

TEST(BuildInterfaceList, WritesEightGroupsOnlyForEightByteAddressesThatNeedThem) {
    struct Case {
        std::vector<uint8_t> physical;
        const char16_t* expected;
    };
    const Case cases[] = {
        {{2, 0, 0, 0, 0, 0xAA, 0, 0}, u"02-00-00-00-00-AA-00 / 10.0.0.1 / a"},
        {{2, 0, 0, 0, 0, 0xAA, 0, 1}, u"02-00-00-00-00-AA-00-01-00 / 10.0.0.1 / a"},
        {{2, 0, 0, 0, 0, 0xAA, 0, 1, 9, 9}, u"02-00-00-00-00-AA-00 / 10.0.0.1 / a"},
        {{}, u"00-00-00-00-00-00-00 / 10.0.0.1 / a"},
    };
    for (const Case& c : cases) {
        NetworkAdapter adapter;
        adapter.name = "a";
        adapter.physicalAddress = c.physical;
        adapter.operStatus = OperStatus::Up;
        adapter.addresses = {SocketAddress::IPv4({10, 0, 0, 1})};
        EXPECT_EQ(BuildInterfaceList({adapter}).at(0).description, c.expected);
    }
}

TEST(InterfaceStatusText, UsesTheMIBWordsAndCountsRunningUnknownLinksAsUp) {
    struct Case {
        OperStatus status;
        bool up, running;
        const char16_t* expected;
    };
    const Case cases[] = {
        {OperStatus::Up, true, true, u"Up"},
        {OperStatus::Down, false, false, u"Down"},
        {OperStatus::Testing, true, false, u"Testing"},
        {OperStatus::Unknown, true, true, u"Up"},
        {OperStatus::Unknown, true, false, u"Unknown"},
        {OperStatus::Unknown, false, false, u"Unknown"},
        {OperStatus::Dormant, true, false, u"Dormant"},
        {OperStatus::NotPresent, false, false, u"NotPresent"},
        {OperStatus::LowerLayerDown, true, false, u"LowerLayerDown"},
        {static_cast<OperStatus>(9), true, true, u"9"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InterfaceStatusText(c.status, c.up, c.running), c.expected)
            << static_cast<int>(c.status) << " " << c.up << c.running;
    }
}

TEST(BuildInterfaceChoices, GroupsAddressesAndDescriptionsOnceEach) {
    std::vector<NetworkAdapter> adapters = SampleAdapters();
    adapters[1].addresses.push_back(SocketAddress::IPv4({10, 8, 0, 1}));  // also on wg0
    const InterfaceList list = BuildInterfaceList(adapters);
    std::vector<Text> expected = {
        u"------------------------------ IPv4 ------------------------------",
        u"0.0.0.0",
        u"127.0.0.1",
        u"192.168.1.5",
        u"10.8.0.1",
        u"192.168.2.5",
        u"------------------------------ IPv6 ------------------------------",
        u"::",
        u"::1",
        u"fe80::1%11",
        u"2001:db8::5",
        u"fe80::1%12",
        u"------------------------------ MAC ------------------------------",
    };
    for (const InterfaceEntry& entry : list) expected.push_back(entry.description);
    EXPECT_EQ(BuildInterfaceChoices(list), expected);
}

TEST(BuildInterfaceChoices, OffersTheWildcardsWithoutAnyInterface) {
    const std::vector<Text> expected = {
        u"------------------------------ IPv4 ------------------------------", u"0.0.0.0",
        u"------------------------------ IPv6 ------------------------------", u"::",
        u"------------------------------ MAC ------------------------------",
    };
    EXPECT_EQ(BuildInterfaceChoices({}), expected);
}

TEST(FindInterfaceByMAC, SelectsTheAddressByItsIndexUnderTheMAC) {
    int enumerations = 0;
    const InterfaceList list = BuildInterfaceList(SampleAdapters());
    const InterfaceSource source = [&] {
        ++enumerations;
        return list;
    };
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"00-1A-2B-3C-4D-5E", u"192.168.1.5"},
        {u"00-1a-2b-3c-4d-5e-01", u"fe80::1%11"},
        {u"001A2B3C4D5E02", u"2001:db8::5"},
        {u"00 1A 2B 3C 4D 5E 01 / fe80::1%11 / Ethernet", u"fe80::1%11"},
        {u"00-1A-2B-3C-4D-5F", u"192.168.2.5"},
        {u"00-1A-2B-3C-4D-5E-07", nullptr},
    };
    for (const auto& [spec, address] : cases) {
        const auto found = FindInterfaceByMAC(spec, source);
        ASSERT_EQ(found.has_value(), address != nullptr) << TextToUtf8(spec);
        if (found) {
            EXPECT_EQ(FormatAddress(found->address), address) << TextToUtf8(spec);
        }
    }
    EXPECT_EQ(enumerations, 6);
}

TEST(FindInterfaceByMAC, LeavesTheListAloneForTextThatIsNoMAC) {
    int enumerations = 0;
    const InterfaceSource source = [&] {
        ++enumerations;
        return BuildInterfaceList(SampleAdapters());
    };
    for (const char16_t* spec :
         {u"eth0", u"192.168.1.5", u"fe80::1", u"deadbeef.example", u"00-1A-2B-3C-4D",
          u"00-1A-2B-3C-4D-5E-0", u"", u"cafe-babe-dead-beef-0001"}) {
        EXPECT_FALSE(FindInterfaceByMAC(spec, source)) << TextToUtf8(spec);
    }
    EXPECT_EQ(enumerations, 0);
}

TEST(IsAddressOnUpInterface, FollowsTheStatusOfTheOwningInterface) {
    const InterfaceList list = BuildInterfaceList(SampleAdapters());
    const InterfaceSource source = [&] { return list; };
    const std::pair<const char16_t*, bool> cases[] = {
        {u"192.168.1.5", true}, {u"192.168.2.5", false}, {u"10.9.9.9", false},
        {u"127.0.0.1", true},   {u"127.0.1.1", true},    {u"10.8.0.1", true},
        {u"fe80::1%11", true},  {u"fe80::1%12", false},  {u"fe80::1", true},
        {u"fe80::1%99", true},  {u"::1", true},          {u"2001:db8::6", false},
    };
    for (const auto& [text, up] : cases) {
        EXPECT_EQ(IsAddressOnUpInterface(ParseAddress(text, true), source), up) << TextToUtf8(text);
    }
    EXPECT_FALSE(
        IsAddressOnUpInterface(ParseAddress(u"127.0.0.1", true), [] { return InterfaceList{}; }));
}

}  // namespace
}  // namespace qf
