#include "config/settings_file.h"

#include <variant>

#include "config/legacy_settings.h"
#include "config/pfo_record.h"
#include "config/product.h"
#include "config/settings_keys.h"
#include "config/settings_rules.h"
#include "config/text_files.h"
#include "config/text_helpers.h"
#include "platform/files.h"

namespace qf {
namespace {

// General strings.
constexpr int kMessageCaption = 25;
constexpr int kNewerFileQuestion = 26;
constexpr int kForeignFileMessage = 27;
constexpr int kDateTemplate = 62;
// Program strings.
constexpr int kLogEntryTemplate = 1002;
constexpr int kCaptureFileNameTemplate = 1011;

template <class... Visitors>
struct Overloaded : Visitors... {
    using Visitors::operator()...;
};
template <class... Visitors>
Overloaded(Visitors...) -> Overloaded<Visitors...>;

SettingsScope ScopeOf(Settings& settings, EngineState& engine) {
    return {settings, engine.preferences, engine.defaults};
}

template <class Visit>
void ForEachKey(Visit visit) {
    for (const SettingsLine& line : SettingsTable()) {
        if (const auto* key = std::get_if<SettingKey>(&line)) visit(*key);
    }
}

Text FileHeader() {
    return u"\r\n### This is a settings file for " + Text(kProductName) + u" " +
           Text(kProductVersion) + u" ###\r\n";
}

Text FormatLine(const SettingsLine& line, const SettingsScope& scope, PFOList& list) {
    return std::visit(Overloaded{
                          [&](const SettingKey& key) {
                              return FormatSettingLine(key.literal, key.format(scope));
                          },
                          [](const SettingsBanner& banner) {
                              return u"\r\n\r\n# " + Text(banner.title) + u":\r\n";
                          },
                          [](const SettingsBlankLine&) { return Text(u"\r\n"); },
                          [&](const SettingsPFORecords&) { return WritePFORecords(list); },
                      },
                      line);
}

double ProgramVersion() { return ParseDoubleText(kProductVersion, 0, 0, 0); }

double ReadVersion(const SettingsText& file, TextView key) {
    double version = 0;
    ReadDoubleSetting(file, key, version);
    return version;
}

void OfferLanguageChoice(const SettingsLoadOptions& options) {
    if (!options.languageGiven && options.chooseLanguage) options.chooseLanguage();
}

// Loading an opened file, from its first 16 bytes to the portable form of its paths.
class SettingsLoader {
  public:
    SettingsLoader(Settings& settings, EngineState& engine, const SettingsLoadOptions& options,
                   SettingsPrompts& prompts)
        : settings_(settings), engine_(engine), options_(options), prompts_(prompts) {}

    void Load(std::string_view bytes) {
        if (bytes.size() < 16)
            ShowForeignFile();
        else if (IsLegacySettingsFile(bytes))
            ReadLegacy(bytes);
        else
            ReadText(NormalizeLineEnds(DecodeTextFileBytes(bytes)));
        MakeStoredPathsPortable();
    }

  private:
    void ShowForeignFile() {
        OfferLanguageChoice(options_);
        prompts_.ShowForeignFile(engine_.texts.General(kMessageCaption),
                                 engine_.texts.General(kForeignFileMessage));
    }

    bool AskNewerFile() {
        OfferLanguageChoice(options_);
        return prompts_.AskLoadNewerFile(engine_.texts.General(kMessageCaption),
                                         engine_.texts.General(kNewerFileQuestion));
    }

    void ReadLegacy(std::string_view bytes) {
        const auto acceptVersion = [this](double version) {
            return version <= ProgramVersion() || options_.explicitPath || AskNewerFile();
        };
        switch (
            ReadLegacySettings(bytes, settings_, engine_, options_.languageGiven, acceptVersion)) {
            case LegacyLoadResult::Applied: FitStoredWindows(settings_, options_.screen); break;
            case LegacyLoadResult::Foreign: ShowForeignFile(); break;
            case LegacyLoadResult::Declined: break;
        }
    }

    void ReadText(const Text& text) {
        if (IsBlankText(text)) return;
        const SettingsText file(text);
        const auto name = FindSettingValue(file, u"ProgramName");
        if (!name || !EqualsIgnoringAsciiCase(*name, kProductName)) {
            ShowForeignFile();
            return;
        }
        const SettingsReadContext context{ReadVersion(file, u"ProgramVersion"),
                                          ReadVersion(file, u"SettingsVersion")};
        if (context.programVersion > ProgramVersion() && !AskNewerFile()) return;
        ReadKeys(file, context);
        FitStoredWindows(settings_, options_.screen);
        ParsePFORecordList(engine_, file.text(), true, context.settingsVersion);
    }

    void ReadKeys(const SettingsText& file, const SettingsReadContext& context) {
        std::lock_guard lock(engine_.pfos.PFOListLock);
        const SettingsScope scope = ScopeOf(settings_, engine_);
        ForEachKey([&](const SettingKey& key) {
            if (key.read && !(key.languageKey && options_.languageGiven))
                key.read(scope, file, key.literal, context);
        });
    }

    void MakeStoredPathsPortable() {
        const SettingsScope scope = ScopeOf(settings_, engine_);
        ForEachKey([&](const SettingKey& key) {
            if (!key.storedPath) return;
            Text& path = *key.storedPath(scope);
            path = MakePortablePath(path, options_.paths);
        });
    }

    Settings& settings_;
    EngineState& engine_;
    const SettingsLoadOptions& options_;
    SettingsPrompts& prompts_;
};

}  // namespace

bool HeadlessSettingsPrompts::AskLoadNewerFile(TextView caption, TextView text) {
    log_(caption, text);
    return false;
}

Text FormatSettingsFile(Settings& settings, EngineState& engine) {
    std::lock_guard lock(engine.pfos.PFOListLock);
    const SettingsScope scope = ScopeOf(settings, engine);
    Text text = FileHeader();
    for (const SettingsLine& line : SettingsTable()) text += FormatLine(line, scope, engine.pfos);
    return text + u"\r\n";
}

Status SaveSettingsFile(Settings& settings, EngineState& engine, TextView path) {
    return ReplaceFileAtomically(TextToUtf8(path),
                                 EncodeTextFileBytes(FormatSettingsFile(settings, engine)));
}

void ApplyLoadTimeDefaults(Settings& settings, EngineState& engine) {
    Settings record;
    record.DateAndTimeParameters = engine.texts.General(kDateTemplate);
    record.AutoLog.LogEntryParameters = engine.texts.Program(kLogEntryTemplate);
    record.DataLogFilenameParameters = engine.texts.Program(kCaptureFileNameTemplate);
    EnginePreferences preferences;
    PFODefaults pfoDefaults;
    const SettingsScope defaults{record, preferences, pfoDefaults};
    std::lock_guard lock(engine.pfos.PFOListLock);
    const SettingsScope scope = ScopeOf(settings, engine);
    ForEachKey([&](const SettingKey& key) {
        if (key.loadTimeDefault) key.copy(defaults, scope);
    });
}

void LoadSettingsContent(std::string_view bytes, Settings& settings, EngineState& engine,
                         const SettingsLoadOptions& options, SettingsPrompts& prompts) {
    SettingsLoader(settings, engine, options, prompts).Load(bytes);
}

void LoadSettingsFile(Settings& settings, EngineState& engine, TextView path,
                      const SettingsLoadOptions& options, SettingsPrompts& prompts) {
    const auto bytes = ReadRegularFile(TextToUtf8(path), kMaxTextFileBytes);
    if (!bytes) OfferLanguageChoice(options);
    ApplyLoadTimeDefaults(settings, engine);
    if (bytes) LoadSettingsContent(*bytes, settings, engine, options, prompts);
}

}  // namespace qf
