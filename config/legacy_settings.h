#pragma once
// The binary settings file of an older program generation, which is still read (never
// written). It begins with one of two 16-byte format identifiers.

#include <functional>
#include <string_view>

#include "config/settings.h"
#include "engine/engine_state.h"

namespace qf {

bool IsLegacySettingsFile(std::string_view bytes);

enum class LegacyLoadResult {
    Applied,   // read up to its end or to its first incomplete item
    Foreign,   // another program's file: nothing applied
    Declined,  // `acceptVersion` refused the file's version: nothing applied
};

// Reads `bytes` into `settings`, the engine's PFO defaults and its PFO list, which is emptied
// when the file's list is reached. Reading stops quietly at the first item that is not
// complete, and what was read until then stays; a PFO that is not complete is dropped.
// Without the language keys when `languageGiven`. Call it before any PFO runs.
LegacyLoadResult ReadLegacySettings(std::string_view bytes, Settings& settings, EngineState& engine,
                                    bool languageGiven,
                                    const std::function<bool(double version)>& acceptVersion);

}  // namespace qf
