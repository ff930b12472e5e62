#pragma once
// The lines of the settings file in written order: one table that the writer and the reader
// both walk. A key knows its literal, how its value is written and read, the reading rule it
// has beyond its typed reader, and where its value lives: in the settings record, or in the
// engine's preferences and PFO defaults, which the engine reads while it runs.

#include <functional>
#include <variant>
#include <vector>

#include "config/settings.h"
#include "config/settings_text.h"
#include "engine/engine_state.h"

namespace qf {

// The homes of all values; a const scope still reaches them. The PFO defaults are guarded by
// PFOListLock, which whoever walks the table with a live engine's scope holds.
struct SettingsScope {
    Settings& record;
    EnginePreferences& preferences;
    PFODefaults& pfoDefaults;
};

// What the reading rules of some keys depend on: the versions the file says it has.
struct SettingsReadContext {
    double programVersion = 0;
    double settingsVersion = 0;
};

struct SettingKey {
    Text literal;  // the key as written: its name filled out to the width of its group
    std::function<Text(const SettingsScope&)> format;
    // Reads the key's value, when the file has one, and applies the key's reading rule.
    // Absent for the header keys, which the loader checks itself.
    std::function<void(const SettingsScope&, const SettingsText&, TextView literal,
                       const SettingsReadContext&)>
        read;
    std::function<void(const SettingsScope& from, const SettingsScope& to)> copy;
    // Path keys: the stored path, which loading turns into its portable form.
    std::function<Text*(const SettingsScope&)> storedPath;
    // Set again to its default by every load, before the file is read.
    bool loadTimeDefault = false;
    // Not read when the command line chose the language.
    bool languageKey = false;
};

struct SettingsBanner {
    TextView title;
};
struct SettingsBlankLine {};
struct SettingsPFORecords {};

using SettingsLine =
    std::variant<SettingKey, SettingsBanner, SettingsBlankLine, SettingsPFORecords>;

// Every line after the file's header, in written order. Built once; any thread may read it.
const std::vector<SettingsLine>& SettingsTable();

inline constexpr double kSettingsVersion = 4.01;

}  // namespace qf
