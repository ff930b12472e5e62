#pragma once
// An engine whose string tables hold the English texts that loading and saving settings use,
// a settings record, and prompts that record what loading shows.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "config/settings_file.h"
#include "engine/engine_state.h"

namespace qf::testing_support {

class RecordingPrompts : public SettingsPrompts {
  public:
    void ShowForeignFile(TextView caption, TextView text) override;
    bool AskLoadNewerFile(TextView caption, TextView text) override;

    std::vector<Text> shown;  // "caption: text" of every message, in order
    bool loadNewerFile = false;
};

// A range list of the given bounds, ended by its terminator.
RangeListPtr Ranges(std::initializer_list<std::pair<TextView, TextView>> bounds);

// UTF-16 little-endian bytes with their byte-order mark, as the settings file holds them.
std::string SettingsBytes(TextView text);

class SettingsTest : public ::testing::Test {
  protected:
    SettingsTest();

    // Loads `fileText` as an opened settings file after the load-time defaults.
    void Load(TextView fileText);
    // A file of this program holding `lines` (each with its line break in front).
    static Text FileWith(TextView lines, TextView settingsVersion = u"4.01",
                         TextView programVersion = u"2.0");
    Text Saved() { return FormatSettingsFile(settings, engine); }
    PFOPtr AddPFO();

    TextCatalog texts;
    EngineState engine{texts};
    Settings settings;
    RecordingPrompts prompts;
    SettingsLoadOptions options;
};

}  // namespace qf::testing_support
