#include "config/filter_tools.h"

#include <gtest/gtest.h>

#include "tests/temp_folder.h"

namespace qf {
namespace {

using testing_support::TempFolder;

class RecordingBoxes : public MessageBoxes {
  public:
    void Show(const DialogMessage& message) override { shown.push_back(message); }
    bool Confirm(const Text& question) override {
        asked.push_back(question);
        return answer;
    }

    std::vector<DialogMessage> shown;
    std::vector<Text> asked;
    bool answer = false;
};

// The texts the tools show, each standing for its own table entry.
std::shared_ptr<StringTableSet> ToolTexts() {
    auto tables = std::make_shared<StringTableSet>();
    tables->general[12] = u"An error occurred";
    tables->general[52] = u"Cannot resolve a NULL hostname.";
    tables->general[53] = u"Unable to resolve hostname:";
    tables->general[109] = u"Passed";
    tables->general[110] = u"Failed";
    tables->general[117] = u"unable to open the file for reading";
    tables->program[160] = u"The IP address range must not contain a NULL IP.";
    tables->program[161] = u"Nope";
    tables->program[171] = u"unable to create/open the file.";
    tables->program[172] = u"Clear everything?";
    return tables;
}

class FilterToolsTest : public ::testing::Test {
  protected:
    FilterToolsTest() { texts.Install(ToolTexts()); }

    Text Path(const std::string& name) const { return Utf8ToText((folder.path() / name).string()); }

    TextCatalog texts;
    EngineState engine{texts};
    RecordingBoxes boxes;
    FilterTools tools{engine, boxes};
    FilterFields fields;
    TempFolder folder;
    const PathContext context = ProcessPathContext(u"/");
};

TEST_F(FilterToolsTest, AddRangePutsTheLowerBoundFirstAndRefusesNullAndRepeatedRanges) {
    struct Case {
        TextView from, to;
        std::vector<Text> expected;
        bool refused;
    };
    const Case cases[] = {
        {u"10.0.0.1", u"10.0.0.9", {u"10.0.0.1 - 10.0.0.9"}, false},
        {u"10.0.0.9", u"10.0.0.1", {u"10.0.0.1 - 10.0.0.9"}, false},
        {u"10.0.0.5", u"10.0.0.5", {u"10.0.0.5 - 10.0.0.5"}, false},
        {u"fe80::1%5", u"fe80::1", {u"fe80::1 - fe80::1%5"}, false},
        {u"", u"10.0.0.9", {}, true},
        {u"10.0.0.1", u"0.0.0.0", {}, true},
        {u"::", u"::1", {}, true},
        {u"not:an address", u"::1", {}, true},
    };
    for (const Case& c : cases) {
        RangeSide side{Text(c.from), Text(c.to), {}};
        boxes.shown.clear();
        tools.AddRange(side);
        EXPECT_EQ(side.ranges, c.expected) << TextToUtf8(c.from) << " " << TextToUtf8(c.to);
        ASSERT_EQ(boxes.shown.size(), c.refused ? 1u : 0u) << TextToUtf8(c.from);
        if (c.refused) {
            EXPECT_EQ(boxes.shown[0].text, u"The IP address range must not contain a NULL IP.");
            EXPECT_EQ(boxes.shown[0].caption, u"Nope");
        }
    }
    RangeSide side{u"10.0.0.9", u"10.0.0.1", {u"10.0.0.1 - 10.0.0.9"}};
    tools.AddRange(side);
    EXPECT_EQ(side.ranges, std::vector<Text>{u"10.0.0.1 - 10.0.0.9"}) << "added twice";
}

TEST_F(FilterToolsTest, TestUsingFiltersShowsTheVerdictWithTheAddressAsCaption) {
    fields.accept.ranges = {u"10.0.0.0 - 10.0.0.255"};
    fields.reject.ranges = {u"10.0.0.6 - 10.0.0.6"};
    for (auto [host, verdict] :
         {std::pair{u"10.0.0.7", u"Passed"}, {u"10.0.0.6", u"Failed"}, {u"10.0.1.1", u"Failed"}}) {
        fields.hostName = host;
        boxes.shown.clear();
        tools.TestUsingFilters(fields);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, verdict) << TextToUtf8(host);
        EXPECT_EQ(boxes.shown[0].caption, host);
    }
}

TEST_F(FilterToolsTest, ResolverToolsWorkOnTheResolvedAddress) {
    fields.hostName = u" ";
    tools.CopyToFilters(fields);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, u"Cannot resolve a NULL hostname.");
    EXPECT_EQ(fields.accept.from, u"");

    fields.hostName = u"http://127.0.0.1/";
    tools.CopyToFilters(fields);
    EXPECT_EQ(fields.hostName, u"127.0.0.1");
    for (const Text* field :
         {&fields.accept.from, &fields.accept.to, &fields.reject.from, &fields.reject.to})
        EXPECT_EQ(*field, u"127.0.0.1");

    fields.hostName = u"127.0.0.1";
    tools.ReverseResolve(fields);
    EXPECT_NE(fields.hostName, u"127.0.0.1") << "the system knows loopback by a name";
    EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(FilterToolsTest, ClearAllEmptiesEverythingOnlyWhenTheUserAgrees) {
    fields = {u"host", {u"1", u"2", {u"1.1.1.1 - 1.1.1.1"}}, {u"3", u"4", {}}};
    tools.ClearAll(fields);
    EXPECT_EQ(fields.hostName, u"host");
    boxes.answer = true;
    tools.ClearAll(fields);
    EXPECT_EQ(boxes.asked, (std::vector<Text>{u"Clear everything?", u"Clear everything?"}));
    EXPECT_TRUE(fields.hostName.empty() && fields.accept.from.empty() &&
                fields.accept.ranges.empty() && fields.reject.to.empty());
}

TEST_F(FilterToolsTest, SavedProfileLoadsBackIntoBothLists) {
    fields.accept.ranges = {u"1.2.3.4 - 1.2.3.9", u"9.9.9.9-9.9.9.9"};
    fields.reject.ranges = {u"fe80::1%3 - fe80::1%3"};
    tools.SaveProfile(fields, Path("p.QMFP"), context, {u"P", u"D"});
    FilterFields loaded{u"kept", {}, {u"", u"", {u"gone"}}};
    tools.LoadProfile(loaded, Path("p.QMFP"), context);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(loaded.accept.ranges,
              (std::vector<Text>{u"1.2.3.4 - 1.2.3.9", u"9.9.9.9 - 9.9.9.9"}));
    EXPECT_EQ(loaded.reject.ranges, std::vector<Text>{u"fe80::1%3 - fe80::1%3"});
    EXPECT_EQ(loaded.hostName, u"kept");
}

TEST_F(FilterToolsTest, FileFailuresAndDamagedProfilesAreReported) {
    fields.accept.ranges = {u"1.1.1.1 - 1.1.1.1"};
    tools.LoadProfile(fields, Path("missing.QMFP"), context);
    tools.SaveProfile(fields, Path("missing/p.QMFP"), context, {u"P", u"D"});
    folder.Write(
        "cut.QMFP",
        std::string("\x3A\x0C\x1F\x6B\x27\x5D\x8B\x4E\x9A\x40\x2C\x7E\x51\xD3\xB8\x40", 16));
    tools.LoadProfile(fields, Path("cut.QMFP"), context);
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown[0].text, u"unable to open the file for reading");
    EXPECT_EQ(boxes.shown[0].caption, u"An error occurred");
    EXPECT_EQ(boxes.shown[1].text, u"unable to create/open the file.");
    EXPECT_EQ(boxes.shown[1].caption, u"An error occurred");
    EXPECT_EQ(boxes.shown[2].text, u"An error occurred: 3");
    EXPECT_TRUE(fields.accept.ranges.empty()) << "a damaged profile still loads what it holds";
}

}  // namespace
}  // namespace qf
