#include "settings_fixture.h"

#include "config/text_files.h"
#include "net/address.h"

namespace qf::testing_support {

void RecordingPrompts::ShowForeignFile(TextView caption, TextView text) {
    shown.push_back(Text(caption) + u": " + Text(text));
}

bool RecordingPrompts::AskLoadNewerFile(TextView caption, TextView text) {
    shown.push_back(Text(caption) + u": " + Text(text));
    return loadNewerFile;
}

RangeListPtr Ranges(std::initializer_list<std::pair<TextView, TextView>> bounds) {
    auto ranges = std::make_shared<RangeList>();
    for (const auto& [low, high] : bounds)
        ranges->push_back({ParseAddress(low, true), ParseAddress(high, true)});
    ranges->push_back(AddressRange{});
    return ranges;
}

std::string SettingsBytes(TextView text) { return EncodeTextFileBytes(text); }

SettingsTest::SettingsTest() {
    auto tables = std::make_shared<StringTableSet>();
    tables->general[25] = u"Abnormal condition encountered";
    tables->general[26] =
        u"The settings file appears to be from a newer version of this program. Should I "
        u"attempt to load it?";
    tables->general[27] =
        u"The settings file is either not from this program, or it is not a settings file. "
        u"Default settings will be used.";
    tables->general[62] = u"yyyy.MM.dd - HH:mm:ss.fff";
    tables->program[1002] =
        u"\\r\\n[#DAT]\t#E\t#P\t#CIP:#CPort -> #LIP:#LPort -> #OLIP:#OLPort -> #RHost:#RPort";
    tables->program[1011] = u"[#DAT]_#LIP,#LPort_#CIP,#CPort_#SOD.txt";
    texts.Install(std::move(tables));
    options.paths = {u"/opt/ferrox", [](const std::string&) { return std::optional<Text>(); }};
}

void SettingsTest::Load(TextView fileText) {
    ApplyLoadTimeDefaults(settings, engine);
    LoadSettingsContent(SettingsBytes(fileText), settings, engine, options, prompts);
}

Text SettingsTest::FileWith(TextView lines, TextView settingsVersion, TextView programVersion) {
    return u"\r\nProgramName\tQuillmark Ferrox\r\nProgramVersion\t" + Text(programVersion) +
           u"\r\nSettingsVersion\t" + Text(settingsVersion) + Text(lines);
}

PFOPtr SettingsTest::AddPFO() { return engine.pfos.CreateAndAppend(engine); }

}  // namespace qf::testing_support
