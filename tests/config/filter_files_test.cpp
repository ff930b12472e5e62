#include "config/filter_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "net/address.h"
#include "tests/temp_folder.h"

namespace qf {
namespace {

using testing_support::TempFolder;

std::vector<std::string> UsedRangeTexts(const RangeListPtr& list) {
    std::vector<std::string> texts;
    for (size_t k = 0; k < CountUsedRanges(*list); ++k)
        texts.push_back(TextToUtf8(FormatRangeText((*list)[k])));
    return texts;
}

RangeListPtr ListOf(std::initializer_list<TextView> entries) {
    std::vector<AddressRange> ranges;
    for (TextView entry : entries) ranges.push_back(ParseRangeText(entry));
    return MakeRangeList(std::move(ranges));
}

// ASCII text as UTF-16 bytes, written out independently of the code under test.
std::string AsciiToUtf16(std::string_view ascii, bool bigEndian = false) {
    std::string bytes;
    for (char c : ascii) bytes += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    return bytes;
}

class FilterFilesTest : public ::testing::Test {
  protected:
    FilterFileReading Read(const std::string& path) {
        return ReadFilterFile(Utf8ToText(path), context);
    }
    std::string ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    TempFolder folder;
    const PathContext context = ProcessPathContext(Utf8ToText(folder.path().string()));
    const ProfileHeader header{u"Quillmark Ferrox v2.0", u"2026-01-02 03:04:05"};
};

TEST_F(FilterFilesTest, ProfileWithBothListsIsWrittenExactlyAndReadsBackTheSame) {
    const RangeListPtr accept = ListOf({u"1.2.3.4-1.2.3.9", u"fe80::1%5-fe80::2"});
    const RangeListPtr reject = ListOf({u"10.0.0.6"});
    const std::string path = (folder.path() / "both.QMFP").string();
    folder.Write("both.QMFP", "older and longer content to be replaced");
    ASSERT_TRUE(WriteFilterProfile(Utf8ToText(path), context, accept.get(), reject.get(), header));

    EXPECT_EQ(ReadBytes(path), "\xFF\xFE" + AsciiToUtf16("\r\n"
                                                         "# Quillmark Filter Profile (QMFP) "
                                                         "revision 2 #\r\n"
                                                         "# File created by Quillmark Ferrox "
                                                         "v2.0 #\r\n"
                                                         "# On 2026-01-02 03:04:05 #\r\n"
                                                         "+ 1.2.3.4 - 1.2.3.9\r\n"
                                                         "+ fe80::1%5 - fe80::2\r\n"
                                                         "\r\n"
                                                         "- 10.0.0.6 - 10.0.0.6\r\n"
                                                         "\r\n"));
    const FilterFileReading reading = Read(path);
    ASSERT_TRUE(reading.lists);
    EXPECT_EQ(reading.problem, FilterFileProblem::None);
    EXPECT_TRUE(SameUsedRanges(*reading.lists->accept, *accept));
    EXPECT_TRUE(SameUsedRanges(*reading.lists->reject, *reject));
    EXPECT_EQ(reading.lists->acceptEntries, 2);
    EXPECT_EQ(reading.lists->rejectEntries, 1);
}

TEST_F(FilterFilesTest, ProfileTextHoldsOnlyTheListsGiven) {
    const RangeListPtr empty = ListOf({});
    EXPECT_EQ(FilterProfileText(empty.get(), nullptr, header),
              u"\r\n# Quillmark Filter Profile (QMFP) revision 2 #\r\n"
              u"# File created by Quillmark Ferrox v2.0 #\r\n"
              u"# On 2026-01-02 03:04:05 #\r\n"
              u"\r\n");
    // Ranges after a terminator are not part of the list.
    const RangeListPtr cut = ListOf({u"10.0.0.6", u"0.0.0.0-1.0.0.0", u"10.0.0.7"});
    EXPECT_EQ(FilterProfileText(nullptr, cut.get(), {u"P", u"D"}),
              u"\r\n# Quillmark Filter Profile (QMFP) revision 2 #\r\n# File created by P #\r\n"
              u"# On D #\r\n- 10.0.0.6 - 10.0.0.6\r\n\r\n");
}

TEST_F(FilterFilesTest, ProfileThatCannotBeWrittenFails) {
    const RangeListPtr empty = ListOf({});
    const Text path = Utf8ToText((folder.path() / "missing" / "x.QMFP").string());
    EXPECT_FALSE(WriteFilterProfile(path, context, empty.get(), empty.get(), header));
}

TEST_F(FilterFilesTest, TextFilesAreReadInEveryEncodingAndABadByteSpoilsOnlyItsEntry) {
    struct Case {
        const char* what;
        std::string bytes;
    } const cases[] = {
        {"UTF-16LE", "\xFF\xFE" + AsciiToUtf16("+ 1.2.3.4\r\n-10.0.0.6\r\n")},
        {"UTF-16BE", "\xFE\xFF" + AsciiToUtf16("+ 1.2.3.4\n-10.0.0.6", true)},
        {"UTF-8 with LF", "1.2.3.4\n-10.0.0.6\n"},
        {"UTF-8 with a bad byte", "1.2.3.4\n-10.0.0.\xC3\n-10.0.0.6\n"},
    };
    for (const Case& c : cases) {
        const FilterFileReading reading = Read(folder.Write("dynamic.txt", c.bytes));
        ASSERT_TRUE(reading.lists) << c.what;
        EXPECT_EQ(UsedRangeTexts(reading.lists->accept),
                  std::vector<std::string>{"1.2.3.4 - 1.2.3.4"})
            << c.what;
        EXPECT_FALSE(
            TestAddress(ParseAddress(u"10.0.0.6", false), nullptr, reading.lists->reject.get()))
            << c.what << ": the reject entry must survive";
    }
}

TEST_F(FilterFilesTest, EmptyFileReadsAsEmptyListsWithItsProblem) {
    const FilterFileReading reading = Read(folder.Write("empty.txt", ""));
    ASSERT_TRUE(reading.lists);
    EXPECT_EQ(reading.problem, FilterFileProblem::EmptyFile);
    EXPECT_EQ(CountUsedRanges(*reading.lists->accept), 0u);
    EXPECT_EQ(CountUsedRanges(*reading.lists->reject), 0u);
}

// Paths that are not regular files are refused at once: a FIFO without a writer or a device
// that never ends would otherwise block the reading thread for good.
TEST_F(FilterFilesTest, OnlyRegularFilesWithinTheSizeCapAreRead) {
    const std::string fifo = (folder.path() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string large = folder.Write("large.txt", "1.2.3.4\n");
    std::filesystem::resize_file(large, kMaxFilterFileBytes + 1);
    for (const std::string& path : {fifo, std::string("/dev/zero"), folder.path().string(), large,
                                    (folder.path() / "missing.txt").string()}) {
        auto reading = std::async(std::launch::async, [&] { return Read(path); });
        if (reading.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            ADD_FAILURE() << path << " blocked the reader";
            // Releases a reader blocked on the FIFO, so that the test can end.
            ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
        }
        EXPECT_FALSE(reading.get().lists) << path;
    }
}

// The older binary profile, built field by field.
class BinaryProfile {
  public:
    BinaryProfile& Raw(std::string_view bytes) {
        bytes_ += bytes;
        return *this;
    }
    BinaryProfile& Word(uint32_t value) {
        for (int k = 0; k < 4; ++k) bytes_ += static_cast<char>(value >> (8 * k));
        return *this;
    }
    BinaryProfile& Guid() {
        return Raw({"\x3A\x0C\x1F\x6B\x27\x5D\x8B\x4E\x9A\x40\x2C\x7E\x51\xD3\xB8\x40", 16});
    }
    BinaryProfile& Header() {
        Guid().Word(24).Raw("Quillmark Filter Profile").Word(1).Word(0);
        return Raw(std::string(16, '\x55'));
    }
    // A record of address pairs, each pair given as two dotted addresses.
    BinaryProfile& Record(uint32_t type, std::vector<std::array<uint8_t, 4>> addresses) {
        Word(type).Word(static_cast<uint32_t>(addresses.size() * 4));
        for (const auto& a : addresses) bytes_.append(reinterpret_cast<const char*>(a.data()), 4);
        return *this;
    }
    std::string bytes() const { return bytes_; }

  private:
    std::string bytes_;
};

TEST_F(FilterFilesTest, BinaryProfileRecordsBecomeOrderedRanges) {
    const std::string bytes =
        BinaryProfile()
            .Header()
            .Record(0, {{1, 2, 3, 4}, {1, 2, 3, 9}, {10, 0, 0, 5}, {10, 0, 0, 1}})
            .Word(7)
            .Word(3)
            .Raw("xyz")
            .Record(1, {{192, 168, 0, 6}, {192, 168, 0, 6}})
            .bytes();
    const FilterFileReading reading = Read(folder.Write("old.QMFP", bytes));
    ASSERT_TRUE(reading.lists);
    EXPECT_EQ(reading.problem, FilterFileProblem::None);
    EXPECT_EQ(UsedRangeTexts(reading.lists->accept),
              (std::vector<std::string>{"1.2.3.4 - 1.2.3.9", "10.0.0.1 - 10.0.0.5"}));
    EXPECT_EQ(UsedRangeTexts(reading.lists->reject),
              std::vector<std::string>{"192.168.0.6 - 192.168.0.6"});
}

TEST_F(FilterFilesTest, DamagedBinaryProfileReportsItsCodeAndKeepsWhatWasRead) {
    const std::string whole =
        BinaryProfile()
            .Header()
            .Record(1, {{10, 0, 0, 6}, {10, 0, 0, 6}})
            .Record(0, {{1, 1, 1, 1}, {1, 1, 1, 2}, {2, 2, 2, 2}, {2, 2, 2, 3}})
            .bytes();
    const size_t headerSize = BinaryProfile().Header().bytes().size();
    struct Case {
        const char* what;
        std::string bytes;
        FilterFileProblem problem;
        std::vector<std::string> accept, reject;
    };
    const Case cases[] = {
        {"only the GUID", BinaryProfile().Guid().bytes(), FilterFileProblem::BadNameLength, {}, {}},
        {"name too long",
         BinaryProfile().Guid().Word(4097).Raw(std::string(4097, 'Q')).bytes(),
         FilterFileProblem::BadNameLength,
         {},
         {}},
        {"name cut",
         BinaryProfile().Guid().Word(24).Raw("Quillmark").bytes(),
         FilterFileProblem::BadNameLength,
         {},
         {}},
        {"other name",
         BinaryProfile().Guid().Word(24).Raw("Quillmark Filter Profilx").bytes(),
         FilterFileProblem::WrongName,
         {},
         {}},
        {"version cut",
         whole.substr(0, 16 + 4 + 24 + 6),
         FilterFileProblem::VersionUnreadable,
         {},
         {}},
        {"other version",
         BinaryProfile().Guid().Word(24).Raw("Quillmark Filter Profile").Word(2).Word(0).bytes(),
         FilterFileProblem::WrongVersion,
         {},
         {}},
        {"reserved bytes cut",
         whole.substr(0, headerSize - 1),
         FilterFileProblem::ReservedBytesMissing,
         {},
         {}},
        {"second record cut inside its second pair",
         whole.substr(0, whole.size() - 3),
         FilterFileProblem::None,
         {"1.1.1.1 - 1.1.1.2"},
         {"10.0.0.6 - 10.0.0.6"}},
        {"second record cut in its size",
         whole.substr(0, headerSize + 16 + 6),
         FilterFileProblem::None,
         {},
         {"10.0.0.6 - 10.0.0.6"}},
    };
    for (const Case& c : cases) {
        const FilterFileReading reading = Read(folder.Write("damaged.QMFP", c.bytes));
        ASSERT_TRUE(reading.lists) << c.what;
        EXPECT_EQ(reading.problem, c.problem) << c.what;
        EXPECT_EQ(UsedRangeTexts(reading.lists->accept), c.accept) << c.what;
        EXPECT_EQ(UsedRangeTexts(reading.lists->reject), c.reject) << c.what;
    }
}

}  // namespace
}  // namespace qf
