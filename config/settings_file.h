#pragma once
// The settings file: the whole configuration, PFOs included, as UTF-16 text of key lines,
// section banners and PFO records. Loading also takes the older binary format in.
//
// Both run on the application's main thread. Loading comes before any engine thread exists;
// saving may run while PFOs run and holds PFOListLock while it reads the engine's values.

#include <functional>
#include <optional>
#include <string_view>

#include "config/portable_path.h"
#include "config/settings.h"
#include "engine/engine_state.h"
#include "platform/result.h"

namespace qf {

// The messages loading may show. The desktop shows boxes; headless they are logged.
class SettingsPrompts {
  public:
    virtual ~SettingsPrompts() = default;
    // The file is not a settings file of this program: nothing of it is applied.
    virtual void ShowForeignFile(TextView caption, TextView text) = 0;
    // The file comes from a newer version; true applies it.
    virtual bool AskLoadNewerFile(TextView caption, TextView text) = 0;
};

// Without a desktop: both messages go to `log`, and a newer file is not applied.
class HeadlessSettingsPrompts : public SettingsPrompts {
  public:
    using Log = std::function<void(TextView caption, TextView text)>;
    explicit HeadlessSettingsPrompts(Log log) : log_(std::move(log)) {}
    void ShowForeignFile(TextView caption, TextView text) override { log_(caption, text); }
    bool AskLoadNewerFile(TextView caption, TextView text) override;

  private:
    Log log_;
};

struct SettingsLoadOptions {
    // Where the stored paths are relative to.
    PathContext paths;
    // The command line chose the language: the file's language keys are not read, and the
    // language chooser is never shown.
    bool languageGiven = false;
    // Shown when no file exists yet and before either message; none headless.
    std::function<void()> chooseLanguage;
    // Windows are fitted to this area (right and bottom inclusive); none headless.
    std::optional<WindowRectangle> screen;
    // The path was given by the caller instead of the program's own settings location: a
    // newer binary file is then read without asking.
    bool explicitPath = false;
};

// Replaces the file at `path` with the settings of `settings` and `engine`, its PFOs included.
Status SaveSettingsFile(Settings& settings, EngineState& engine, TextView path);
// The file's text as SaveSettingsFile writes it, before its encoding.
Text FormatSettingsFile(Settings& settings, EngineState& engine);

// Sets the load-time defaults, then reads the file at `path` when there is one. Values the
// file does not hold keep their defaults; its PFOs replace the engine's list.
void LoadSettingsFile(Settings& settings, EngineState& engine, TextView path,
                      const SettingsLoadOptions& options, SettingsPrompts& prompts);
// Reads the bytes of an opened settings file, in the text form or the older binary one.
void LoadSettingsContent(std::string_view bytes, Settings& settings, EngineState& engine,
                         const SettingsLoadOptions& options, SettingsPrompts& prompts);
// The defaults that every load sets again before it reads, some of them from the string
// tables of the current language.
void ApplyLoadTimeDefaults(Settings& settings, EngineState& engine);

}  // namespace qf
