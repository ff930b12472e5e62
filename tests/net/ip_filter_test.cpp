#include "net/ip_filter.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "net/address.h"

namespace qf {
namespace {

using Entries = std::optional<std::vector<TextView>>;  // nullopt: the list is absent

RangeListPtr ListOf(const Entries& entries) {
    if (!entries) return nullptr;
    std::vector<AddressRange> ranges;
    for (TextView entry : *entries) ranges.push_back(ParseRangeText(entry));
    return MakeRangeList(std::move(ranges));
}

// The ranges before the terminator, as the dialog lists them.
std::vector<std::string> UsedRangeTexts(const RangeList& list) {
    std::vector<std::string> texts;
    for (size_t k = 0; k < CountUsedRanges(list); ++k)
        texts.push_back(TextToUtf8(FormatRangeText(list[k])));
    return texts;
}

struct FilterCase {
    const char* what;
    Entries accept;
    Entries reject;
    TextView address;
    bool admitted;
};

template <size_t N>
void ExpectAdmissions(const FilterCase (&cases)[N]) {
    for (const FilterCase& c : cases) {
        const RangeListPtr accept = ListOf(c.accept), reject = ListOf(c.reject);
        EXPECT_EQ(TestAddress(ParseAddress(c.address, false), accept.get(), reject.get()),
                  c.admitted)
            << c.what;
    }
}

TEST(TestAddress, AcceptListAdmitsOnlyItsRangesAndRejectListWins) {
    const FilterCase cases[] = {
        {"inside the accept range", {{u"10.0.0.0-10.0.0.255"}}, {{}}, u"10.0.0.7", true},
        {"outside the accept range", {{u"10.0.0.0-10.0.0.255"}}, {{}}, u"10.0.1.1", false},
        {"lower bound included", {{u"10.0.0.0-10.0.0.255"}}, {}, u"10.0.0.0", true},
        {"upper bound included", {{u"10.0.0.0-10.0.0.255"}}, {}, u"10.0.0.255", true},
        {"reject wins", {{u"10.0.0.0-10.0.0.255"}}, {{u"10.0.0.6"}}, u"10.0.0.6", false},
        {"reject spares others", {{u"10.0.0.0-10.0.0.255"}}, {{u"10.0.0.6"}}, u"10.0.0.7", true},
        {"both lists empty", {{}}, {{}}, u"192.0.2.1", true},
        {"both lists absent", {}, {}, u"192.0.2.1", true},
        {"reject alone", {}, {{u"10.0.0.6"}}, u"10.0.0.5", true},
        {"second accept range", {{u"10.0.0.1", u"10.0.0.3"}}, {}, u"10.0.0.3", true},
        {"reversed bounds contain nothing", {{u"10.0.0.9-10.0.0.1"}}, {}, u"10.0.0.5", false},
        {"reversed reject refuses nobody", {}, {{u"10.0.0.9-10.0.0.1"}}, u"10.0.0.5", true},
        {"IPv4 list refuses IPv6", {{u"10.0.0.0-10.0.0.255"}}, {}, u"::1", false},
    };
    ExpectAdmissions(cases);
}

// A lower bound of 0.0.0.0 is the terminator: it ends its list, so neither it nor any later
// range of the list takes part.
TEST(TestAddress, ALowerBoundOfZeroEndsItsList) {
    const FilterCase cases[] = {
        {"whole-range reject first",
         {},
         {{u"0.0.0.0-255.255.255.255", u"10.0.0.6"}},
         u"10.0.0.6",
         true},
        {"reject before the end counts",
         {},
         {{u"10.0.0.6", u"0.0.0.0-255.255.255.255"}},
         u"10.0.0.6",
         false},
        {"accept list ended at once is empty", {{u"0.0.0.0-10.0.0.9"}}, {}, u"192.0.2.1", true},
        {"accept range after the end is gone",
         {{u"10.0.0.1", u"0.0.0.0-1.0.0.0", u"10.0.0.2"}},
         {},
         u"10.0.0.2",
         false},
        {"accept range before the end stays",
         {{u"10.0.0.1", u"0.0.0.0-1.0.0.0", u"10.0.0.2"}},
         {},
         u"10.0.0.1",
         true},
    };
    ExpectAdmissions(cases);
}

TEST(TestAddress, ScopeIdsTakePartAndAnAbsentOneCountsAsZero) {
    const FilterCase cases[] = {
        {"scope inside the scope range", {{u"fe80::1 - fe80::1%100"}}, {}, u"fe80::1%50", true},
        {"scope outside the unscoped range", {{u"fe80::1 - fe80::1"}}, {}, u"fe80::1%50", false},
        {"unscoped inside the unscoped range", {{u"fe80::1 - fe80::1"}}, {}, u"fe80::1", true},
        {"scope above the range", {{u"fe80::1 - fe80::1%100"}}, {}, u"fe80::1%101", false},
        {"reject by scope", {}, {{u"fe80::1%7"}}, u"fe80::1%7", false},
        {"other scope not rejected", {}, {{u"fe80::1%7"}}, u"fe80::1%8", true},
    };
    ExpectAdmissions(cases);
}

TEST(ParseRangeText, TrimsSignsAndDotsAndKeepsTheBoundsAsWritten) {
    struct Case {
        TextView entry;
        const char* expected;
    } const cases[] = {
        {u"1.2.3.4", "1.2.3.4 - 1.2.3.4"},
        {u"+ 1.2.3.4", "1.2.3.4 - 1.2.3.4"},
        {u"1.2.3.4-1.2.3.9", "1.2.3.4 - 1.2.3.9"},
        {u"1.2.3.4 - 1.2.3.9", "1.2.3.4 - 1.2.3.9"},
        {u"1.2.3.4\t1.2.3.9", "1.2.3.4 - 1.2.3.9"},
        {u"-10.0.0.6", "10.0.0.6 - 10.0.0.6"},
        {u"1.2.3.4.-", "1.2.3.4 - 1.2.3.4"},
        {u"1.2.3.9-1.2.3.4", "1.2.3.9 - 1.2.3.4"},
        {u"fe80::1%5-fe80::2", "fe80::1%5 - fe80::2"},
        {u"::1", "::1 - ::1"},
        {u"300.1.1.1", "255.255.255.255 - 255.255.255.255"},
        {u"1.2.3.4 - nonsense", "1.2.3.4 - 255.255.255.255"},
        {u"1.2.3.4 - 1.2.3.9 x", "1.2.3.4 - 255.255.255.255"},
        {u"-", "255.255.255.255 - 255.255.255.255"},
        {u"host.example", "255.255.255.255 - 255.255.255.255"},
        {u"0.0.0.0-255.255.255.255", "0.0.0.0 - 255.255.255.255"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextToUtf8(FormatRangeText(ParseRangeText(c.entry))), c.expected)
            << TextToUtf8(c.entry);
}

TEST(ParseFilterText, SortsLinesIntoCommentsAcceptAndRejectEntriesInFileOrder) {
    const FilterLists lists = ParseFilterText(
        u"  # a comment\r\n"
        u"// another\n"
        u"\t\r\n"
        u"+ 1.2.3.4\r"
        u"10.0.0.5\n"
        u"  -192.168.0.6\n"
        u"# 10.0.0.4\n"
        u"-10.0.0.1 - 10.0.0.9");
    EXPECT_EQ(UsedRangeTexts(*lists.accept),
              (std::vector<std::string>{"1.2.3.4 - 1.2.3.4", "10.0.0.5 - 10.0.0.5"}));
    EXPECT_EQ(UsedRangeTexts(*lists.reject),
              (std::vector<std::string>{"192.168.0.6 - 192.168.0.6", "10.0.0.1 - 10.0.0.9"}));
    EXPECT_EQ(lists.acceptEntries, 2);
    EXPECT_EQ(lists.rejectEntries, 2);
    EXPECT_EQ(lists.accept->back(), AddressRange{});
    EXPECT_EQ(lists.reject->back(), AddressRange{});
}

TEST(ParseFilterText, EmptyTextGivesTwoEmptyListsNotAbsentOnes) {
    const FilterLists lists = ParseFilterText(u"");
    ASSERT_TRUE(lists.accept && lists.reject);
    EXPECT_EQ(lists.accept->size(), 1u);
    EXPECT_EQ(lists.reject->size(), 1u);
}

TEST(ParseFilterText, EntriesAfterATerminatorAreCountedButNotUsed) {
    const FilterLists lists = ParseFilterText(u"-0.0.0.0-255.255.255.255\n-10.0.0.6\n");
    EXPECT_EQ(lists.rejectEntries, 2);
    EXPECT_EQ(CountUsedRanges(*lists.reject), 0u);
}

// A UTF-8 byte-order mark stays at the start of the first line: a reject entry there becomes
// an accept entry whose bounds are reversed, so the file is a white-list that admits nobody.
TEST(ParseFilterText, AByteOrderMarkMakesTheFirstLineAnAcceptEntry) {
    const FilterLists lists = ParseFilterText(u"\uFEFF-10.0.0.6\n");
    EXPECT_EQ(UsedRangeTexts(*lists.accept),
              std::vector<std::string>{"255.255.255.255 - 10.0.0.6"});
    EXPECT_EQ(CountUsedRanges(*lists.reject), 0u);
    for (TextView client : {u"10.0.0.6", u"10.0.0.7"})
        EXPECT_FALSE(TestAddress(ParseAddress(client, false), lists.accept.get(), nullptr));
}

TEST(SameUsedRanges, ComparesPositionallyUpToTheTerminator) {
    const RangeListPtr ab = ListOf({{u"1.1.1.1", u"2.2.2.2"}});
    EXPECT_TRUE(SameUsedRanges(*ab, *ListOf({{u"1.1.1.1", u"2.2.2.2", u"0.0.0.0-3.3.3.3"}})));
    EXPECT_FALSE(SameUsedRanges(*ab, *ListOf({{u"2.2.2.2", u"1.1.1.1"}})));
    EXPECT_FALSE(SameUsedRanges(*ab, *ListOf({{u"1.1.1.1"}})));
    EXPECT_FALSE(SameUsedRanges(*ListOf({{u"fe80::1%1"}}), *ListOf({{u"fe80::1%2"}})));
}

}  // namespace
}  // namespace qf
