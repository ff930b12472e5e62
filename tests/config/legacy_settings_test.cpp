#include "config/legacy_settings.h"

#include <gtest/gtest.h>

#include "net/address.h"
#include "settings_fixture.h"

namespace qf {
namespace {

// Writes the items of an older binary settings file in their order.
class LegacyFileWriter {
  public:
    explicit LegacyFileWriter(bool wideStrings) : wide_(wideStrings) {
        bytes_ =
            std::string("\x3A\x0C\x1F\x6B\x27\x5D\x8B\x4E\x9A\x40\x2C\x7E\x51\xD3\xB8\x40", 16);
    }
    LegacyFileWriter& Integer(uint32_t value, int size = 4) {
        for (int index = 0; index < size; ++index)
            bytes_ += static_cast<char>(value >> (8 * index) & 0xFF);
        return *this;
    }
    LegacyFileWriter& Byte(uint8_t value) { return Integer(value, 1); }
    LegacyFileWriter& Port(uint16_t value) { return Integer(value, 2); }
    LegacyFileWriter& Zeros(size_t count) {
        bytes_.append(count, '\0');
        return *this;
    }
    // Eight-bit strings are given as their bytes; wide ones are written as UTF-16.
    LegacyFileWriter& String(const std::string& text) {
        const std::string stored = wide_ ? Utf16(Utf8ToText(text)) : text;
        Integer(static_cast<uint32_t>(stored.size()));
        bytes_ += stored;
        return *this;
    }
    LegacyFileWriter& Addresses(std::initializer_list<std::array<uint8_t, 4>> addresses) {
        Integer(static_cast<uint32_t>(addresses.size() * 4));
        for (const auto& address : addresses)
            bytes_.append(reinterpret_cast<const char*>(address.data()), 4);
        return *this;
    }
    const std::string& bytes() const { return bytes_; }

  private:
    static std::string Utf16(TextView text) {
        return testing_support::SettingsBytes(text).substr(2);
    }

    bool wide_;
    std::string bytes_;
};

struct LegacyFile {
    uint32_t major = 1, minor = 1;
    bool wide = false;
    std::string product = "Quillmark Ferrox";
    std::string note = "caf\xC3\xA9";  // valid UTF-8
};

std::string Build(const LegacyFile& shape) {
    LegacyFileWriter file(shape.wide);
    const bool newer = shape.major > 1 || (shape.major == 1 && shape.minor > 0);
    file.String(shape.product).Integer(shape.major).Integer(shape.minor).Zeros(16);
    file.Integer(1).Byte(0).String("unused");  // old language 1: German
    file.Integer(uint32_t(-20)).Integer(30).Integer(800).Integer(600).Integer(1);
    const int columns = newer ? 20 : 6;
    for (int column = 0; column < columns; ++column)
        file.Integer(static_cast<uint32_t>(column + 100));  // orders
    for (int column = 0; column < columns; ++column)
        file.Integer(static_cast<uint32_t>(column + 200));  // widths
    file.Integer(2);
    for (uint16_t port : {7001, 7002}) {
        file.Byte(1).Integer(17).Byte(1).Byte(0).String("");
        file.Byte(192).Byte(168).Byte(0).Byte(2).Port(port).String("10.0.0.8").Port(53);
        file.Integer(20).Integer(30000).Byte(1).Byte(1);
        file.Addresses({{10, 0, 0, 0}, {10, 0, 0, 255}}).Addresses({});
        if (newer) file.Byte(1).String("/var/filter.txt").Integer(500).Byte(1).String(shape.note);
    }
    file.String("0.0.0.0").String("example.net").Byte(1).Byte(0).Byte(1).Port(81).Port(82);
    file.Integer(50).Integer(4000);
    file.Byte(1).Byte(0).Byte(1).Byte(0).Byte(1);
    file.String("host").String("1.0.0.0").String("2.0.0.0").String("3.0.0.0").String("4.0.0.0");
    file.Zeros(5).Byte(1).String("%Y-%MY-%D").String("/var/log/x.txt").String("%DAT %E");
    file.Integer(9).String("/srv/profiles").String("/srv/logs").Zeros(4);
    file.Byte(1).Byte(1).Byte(0).Byte(1);
    file.String("/srv/strings.txt").String("/srv/dtfip").Integer(0).Integer(5);
    file.Byte(1).Byte(0).Byte(0);
    return file.bytes();
}

class LegacySettingsTest : public testing_support::SettingsTest {
  protected:
    void LoadBytes(const std::string& bytes) {
        ApplyLoadTimeDefaults(settings, engine);
        LoadSettingsContent(bytes, settings, engine, options, prompts);
    }
    const PFO& PFOAt(size_t index) { return *engine.pfos.Snapshot().at(index); }
};

TEST_F(LegacySettingsTest, ReadsEveryItemOfAFileOfVersion1_1) {
    engine.pfos.CreateAndAppend(engine);
    LoadBytes(Build({}));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(settings.LanguageChoice, 3);
    EXPECT_EQ(settings.WindowPosition.Left, -20);
    EXPECT_EQ(settings.WindowPosition.Bottom, 600);
    EXPECT_EQ(settings.WindowState, 1u);
    EXPECT_EQ(settings.Columns[16].Order, 116);
    EXPECT_EQ(settings.Columns[16].Width, 216);
    EXPECT_EQ(settings.Columns[16].WidthExpanded, 85) << "not in the file";

    ASSERT_EQ(engine.pfos.Count(), 2) << "the list is emptied first";
    const PFO& pfo = PFOAt(0);
    EXPECT_TRUE(pfo.Bounce);
    EXPECT_EQ(pfo.protocol, Protocol::UDP);
    EXPECT_TRUE(pfo.Enabled);
    EXPECT_EQ(pfo.LocalIP, u"192.168.0.2") << "the address stands in for a blank interface";
    EXPECT_EQ(pfo.LocalPort, 7001);
    EXPECT_EQ(pfo.RemoteHost, u"10.0.0.8");
    EXPECT_EQ(pfo.RemotePort, 53);
    EXPECT_EQ(pfo.MaxSessions, 20);
    EXPECT_EQ(pfo.UDPSessionTimeout, 30000);
    EXPECT_TRUE(pfo.ForwardICMPForUDP && pfo.EnableIPFilter && pfo.EnableDTFIPFilter);
    ASSERT_NE(pfo.AcceptRanges, nullptr);
    EXPECT_EQ(FormatAddress((*pfo.AcceptRanges)[0].high), u"10.0.0.255");
    EXPECT_TRUE((*pfo.AcceptRanges)[1].low.isEmpty());
    EXPECT_EQ(pfo.RejectRanges, nullptr);
    EXPECT_EQ(pfo.DTFIPFilePath, u"/var/filter.txt");
    EXPECT_EQ(pfo.DTFIPInterval, 500);
    EXPECT_TRUE(pfo.DTFIPFilter_ApplyToExistingConnectionsOnUpdate);
    EXPECT_EQ(pfo.Note, u"caf\u00E9");
    EXPECT_EQ(PFOAt(1).LocalPort, 7002);

    EXPECT_EQ(engine.defaults.LocalIP, u"0.0.0.0");
    EXPECT_EQ(engine.defaults.RemoteHost, u"example.net");
    EXPECT_TRUE(engine.defaults.CheckBounce);
    EXPECT_FALSE(engine.defaults.CheckTCP);
    EXPECT_EQ(engine.defaults.RemotePort, 82);
    EXPECT_EQ(engine.defaults.UDPSessionTimeout, 4000);
    EXPECT_TRUE(engine.defaults.ForwardICMPForUDP);
    EXPECT_TRUE(settings.Minimization.SystemTrayIconEnabled);
    EXPECT_FALSE(settings.DataFormatBitsPerSecond);
    EXPECT_EQ(settings.PFOFilterDialog.SourceIPMustNotBeTo, u"4.0.0.0");

    EXPECT_TRUE(settings.AutoLog.Enabled);
    EXPECT_EQ(settings.DateAndTimeParameters, u"yyyy-MM-dd");
    EXPECT_EQ(settings.AutoLog.LogEntryParameters, u"\\r\\n#DAT #E");
    EXPECT_EQ(settings.AutoLog.UpdateInterval, 9);
    EXPECT_EQ(settings.PFOFilterDialog.DefaultFolder, u"/srv/profiles");
    EXPECT_TRUE(settings.AutoLog.NoLogBadIP);
    EXPECT_TRUE(settings.Minimization.HasBeforeMinimized);
    EXPECT_EQ(settings.LanguageStringsFilePath, u"/srv/strings.txt");
    EXPECT_EQ(settings.DTFIPFilterDefaultFolder, u"/srv/dtfip");
    EXPECT_EQ(settings.SortFromColumn, 5);
    EXPECT_TRUE(settings.RequestForCommentsShowOnExit);
}

TEST_F(LegacySettingsTest, Version1_0HasSixColumnsAndNoDynamicFilterFields) {
    LoadBytes(Build({.major = 1, .minor = 0}));
    EXPECT_EQ(settings.Columns[5].Width, 205);
    EXPECT_EQ(settings.Columns[6].Width, 0) << "the compact default";
    ASSERT_EQ(engine.pfos.Count(), 2);
    EXPECT_FALSE(PFOAt(0).EnableDTFIPFilter);
    EXPECT_EQ(settings.SortFromColumn, 5);
}

TEST_F(LegacySettingsTest, AProductNameInUTF16MakesEveryStringUTF16) {
    LoadBytes(Build({.wide = true}));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(engine.defaults.RemoteHost, u"example.net");
    EXPECT_EQ(PFOAt(0).Note, u"caf\u00E9");
}

TEST_F(LegacySettingsTest, EightBitTextThatIsNotUTF8IsWindows1252) {
    LoadBytes(Build({.note = "50\x80 \xE9"}));
    EXPECT_EQ(PFOAt(0).Note, u"50\u20AC \u00E9");
}

TEST_F(LegacySettingsTest, AnotherProductsFileIsForeign) {
    engine.pfos.CreateAndAppend(engine);
    LoadBytes(Build({.product = "Other Forwarder"}));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_TRUE(prompts.shown[0].ends_with(u"Default settings will be used."));
    EXPECT_EQ(engine.pfos.Count(), 1);
    EXPECT_EQ(settings.LanguageChoice, 0);
}

TEST_F(LegacySettingsTest, ReadingStopsQuietlyAtTheFirstIncompleteItem) {
    const std::string whole = Build({});
    // Cut at the second PFO's port (7002): the first PFO stays, the second and all later
    // items do not.
    const size_t secondPort = whole.find(std::string("\x5A\x1B", 2));
    ASSERT_NE(secondPort, std::string::npos);
    LoadBytes(whole.substr(0, secondPort));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(settings.WindowPosition.Left, -20);
    ASSERT_EQ(engine.pfos.Count(), 1);
    EXPECT_EQ(engine.defaults.RemoteHost, u"www.example.com");
    // Every other cut is read without harm as well.
    for (size_t length = 16; length < whole.size(); length += 7) LoadBytes(whole.substr(0, length));
}

TEST_F(LegacySettingsTest, ANewerFileAsksUnlessTheCallerGaveThePath) {
    LoadBytes(Build({.major = 2, .minor = 1}));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_TRUE(prompts.shown[0].ends_with(u"Should I attempt to load it?"));
    EXPECT_EQ(engine.pfos.Count(), 0);

    prompts.shown.clear();
    options.explicitPath = true;
    LoadBytes(Build({.major = 2, .minor = 1}));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(engine.pfos.Count(), 2);
}

TEST_F(LegacySettingsTest, LanguageItemsAreSkippedWhenTheCommandLineChoseTheLanguage) {
    options.languageGiven = true;
    settings.LanguageChoice = 7;
    LoadBytes(Build({}));
    EXPECT_EQ(settings.LanguageChoice, 7);
    EXPECT_EQ(settings.LanguageStringsFilePath, u"");
    EXPECT_EQ(settings.SortFromColumn, 5);
}

}  // namespace
}  // namespace qf
