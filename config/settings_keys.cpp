#include "config/settings_keys.h"

#include <atomic>
#include <initializer_list>

#include "config/language_codes.h"
#include "config/pfo_record.h"
#include "config/product.h"
#include "config/settings_rules.h"
#include "config/text_helpers.h"
#include "config/value_codecs.h"

namespace qf {
namespace {

using Scope = SettingsScope;
using Context = SettingsReadContext;

template <class T>
T LoadValue(const T* place) {
    return *place;
}
template <class T>
T LoadValue(const std::atomic<T>* place) {
    return place->load();
}
template <class T, class V>
void StoreValue(T* place, const V& value) {
    *place = static_cast<T>(value);
}
template <class T, class V>
void StoreValue(std::atomic<T>* place, const V& value) {
    place->store(static_cast<T>(value));
}

bool ReadLanguageSetting(const SettingsText& file, TextView key, int32_t& target) {
    const auto code = FindSettingValue(file, key);
    if (!code || IsBlankText(*code)) return false;
    target = EqualsIgnoringAsciiCase(*code, u"Other")
                 ? kExternalLanguageIndex
                 : ParseEnumText(*code, LanguageCodes(), false);
    return true;
}

bool ReadDestinationsSetting(const SettingsText& file, TextView key,
                             std::vector<RemoteDestination>& target) {
    Text list;
    if (!ReadTextSetting(file, key, list)) return false;
    target = ParseDestinationList(list, u"|");
    return true;
}

Text FormatLanguage(int32_t index) {
    if (index == kExternalLanguageIndex) return u"Other";
    return AsciiUpperText(LanguageCode(index));
}

Text FormatDestinationList(std::vector<RemoteDestination> destinations) {
    Text list;
    for (const RemoteDestination& destination : destinations)
        list += u", " + FormatDestination({}, destination);
    return list.substr(std::min<size_t>(list.size(), 2));
}

// The value forms of the file: how a value of the form is written and which reader reads it.
template <class T, Text (*FormatFunction)(T),
          bool (*ReadFunction)(const SettingsText&, TextView, T&)>
struct Form {
    using Value = T;
    static Text Format(T value) { return FormatFunction(value); }
    static bool Read(const SettingsText& file, TextView key, T& value) {
        return ReadFunction(file, key, value);
    }
};

Text FormatText(Text value) { return value; }
Text FormatReal(double value) { return FormatDoubleText(value, -1); }
// Whole numbers keep every digit, where the general form would round from a million on.
template <class T>
Text FormatWhole(T value) {
    return FormatIntegerText(value);
}

using YesNoForm = Form<bool, FormatYesNo, ReadBoolSetting>;
using IntForm = Form<int32_t, FormatWhole<int32_t>, ReadInt32Setting>;
using UIntForm = Form<uint32_t, FormatWhole<uint32_t>, ReadUInt32Setting>;
using Int16Form = Form<uint16_t, FormatWhole<uint16_t>, ReadInt16Setting>;
using RealForm = Form<double, FormatReal, ReadDoubleSetting>;
using TextForm = Form<Text, FormatText, ReadTextSetting>;
using ColourForm = Form<Colour, FormatColourText, ReadColourSetting>;
using LanguageForm = Form<int32_t, FormatLanguage, ReadLanguageSetting>;
using DestinationsForm =
    Form<std::vector<RemoteDestination>, FormatDestinationList, ReadDestinationsSetting>;

template <class T>
using Rule = T (*)(T value, const Context& context);

template <class KeyForm, class Locate>
SettingKey MakeKey(TextView literal, Locate locate, Rule<typename KeyForm::Value> rule) {
    using Value = typename KeyForm::Value;
    SettingKey key;
    key.literal = literal;
    key.format = [locate](const Scope& scope) {
        return KeyForm::Format(static_cast<Value>(LoadValue(locate(scope))));
    };
    key.read = [locate, rule](const Scope& scope, const SettingsText& file, TextView literal,
                              const Context& context) {
        const auto place = locate(scope);
        auto value = static_cast<Value>(LoadValue(place));
        if (KeyForm::Read(file, literal, value))
            StoreValue(place, rule ? rule(value, context) : value);
    };
    key.copy = [locate](const Scope& from, const Scope& to) {
        StoreValue(locate(to), LoadValue(locate(from)));
    };
    return key;
}

template <class KeyForm>
struct KeyMaker {
    template <class Locate>
    SettingKey operator()(TextView literal, Locate locate,
                          Rule<typename KeyForm::Value> rule = nullptr) const {
        return MakeKey<KeyForm>(literal, locate, rule);
    }
};

constexpr KeyMaker<YesNoForm> YesNo;
constexpr KeyMaker<IntForm> Int;
constexpr KeyMaker<UIntForm> UInt;
constexpr KeyMaker<Int16Form> Int16;
constexpr KeyMaker<RealForm> Real;
constexpr KeyMaker<TextForm> TextKey;
constexpr KeyMaker<ColourForm> ColourKey;

template <class Locate>
SettingKey PathKey(TextView literal, Locate locate) {
    SettingKey key = TextKey(literal, locate);
    key.storedPath = locate;
    return key;
}

SettingKey Constant(TextView literal, Text value) {
    SettingKey key;
    key.literal = literal;
    key.format = [value](const Scope&) { return value; };
    return key;
}

SettingKey AtLoadTime(SettingKey key) {
    key.loadTimeDefault = true;
    return key;
}

SettingKey ForLanguage(SettingKey key) {
    key.languageKey = true;
    return key;
}

Text Padded(TextView name, size_t width) {
    Text padded(name);
    if (padded.size() < width) padded.append(width - padded.size(), u' ');
    return padded;
}

// Builds the table; keys are padded to the width of the group being added.
class TableBuilder {
  public:
    void Section(TextView title, size_t width) {
        lines_.emplace_back(SettingsBanner{title});
        width_ = width;
    }
    void Width(size_t width) { width_ = width; }
    void Add(std::initializer_list<SettingKey> keys) {
        for (SettingKey key : keys) {
            key.literal = Padded(key.literal, width_);
            lines_.emplace_back(std::move(key));
        }
    }
    void Add(SettingsLine line) { lines_.push_back(std::move(line)); }
    std::vector<SettingsLine> Take() { return std::move(lines_); }

  private:
    std::vector<SettingsLine> lines_;
    size_t width_ = 0;
};

// Rules beyond the typed readers.
int32_t LanguageRule(int32_t index, const Context& context) {
    if (context.programVersion > 1.1 || index == kExternalLanguageIndex) return index;
    return MapOldLanguageIndex(index);
}
Text DateTemplateRule(Text stored, const Context& context) {
    return ConvertDateTemplate(stored, context.settingsVersion);
}
Text LogTemplateRule(Text stored, const Context& context) {
    return ConvertLogEntryTemplate(stored, context.settingsVersion);
}
Text PercentRule(Text stored, const Context&) { return PercentTokensToHashes(stored); }
int32_t FontSizeRule(int32_t stored, const Context&) { return LimitFontSize(stored); }
// Files from before MAC binding could be turned off had it on.
bool MACBindingRule(bool stored, const Context& context) {
    return context.settingsVersion < kSettingsVersion || stored;
}

void AddHeader(TableBuilder& table) {
    table.Width(15);
    table.Add({
        Constant(u"ProgramName", Text(kProductName)),
        Constant(u"ProgramVersion", Text(kProductVersion)),
        Constant(u"SettingsVersion", FormatDoubleText(kSettingsVersion, -1)),
    });
    table.Add(SettingsBlankLine{});
}

void AddLanguage(TableBuilder& table) {
    table.Section(u"Language settings", 24);
    table.Add({
        ForLanguage(KeyMaker<LanguageForm>{}(
            u"Language.Choice", [](const Scope& s) { return &s.record.LanguageChoice; },
            LanguageRule)),
        ForLanguage(PathKey(u"Language.StringsFilePath",
                            [](const Scope& s) { return &s.record.LanguageStringsFilePath; })),
    });
}

// Column keys come from 31-character literals holding "%ld", so the number changes the width.
void AddColumns(TableBuilder& table) {
    struct ColumnKey {
        TextView name;
        int32_t PFOListColumn::*field;
    };
    constexpr ColumnKey kColumnKeys[] = {
        {u"PFOListColumn%ld.Width", &PFOListColumn::Width},
        {u"PFOListColumn%ld.Width.Expanded", &PFOListColumn::WidthExpanded},
        {u"PFOListColumn%ld.Order", &PFOListColumn::Order},
    };
    table.Width(0);
    for (size_t column = 0; column < kPFOListColumns; ++column) {
        for (const ColumnKey& key : kColumnKeys) {
            Text literal = Padded(key.name, 31);
            ReplaceAll(literal, u"%ld", FormatIntegerText(static_cast<int64_t>(column)));
            table.Add({AtLoadTime(Int(literal, [column, field = key.field](const Scope& s) {
                return &(s.record.Columns[column].*field);
            }))});
        }
    }
}

void AddWindow(TableBuilder& table) {
    table.Section(u"Window settings", 22);
    table.Add({
        Int(u"WindowPosition.Left", [](const Scope& s) { return &s.record.WindowPosition.Left; }),
        Int(u"WindowPosition.Right", [](const Scope& s) { return &s.record.WindowPosition.Right; }),
        Int(u"WindowPosition.Top", [](const Scope& s) { return &s.record.WindowPosition.Top; }),
        Int(u"WindowPosition.Bottom",
            [](const Scope& s) { return &s.record.WindowPosition.Bottom; }),
        UInt(u"WindowState", [](const Scope& s) { return &s.record.WindowState; }),
        AtLoadTime(Int(u"PFOList.SortFromColumn",
                       [](const Scope& s) { return &s.record.SortFromColumn; })),
        AtLoadTime(
            Int(u"PFOList.SortDirection", [](const Scope& s) { return &s.record.SortDirection; })),
    });
    table.Width(33);
    table.Add({
        Real(u"PFOList.ScrollPosition.Horizontal",
             [](const Scope& s) { return &s.record.ScrollPositionHorizontal; }),
        Real(u"PFOList.ScrollPosition.Vertical",
             [](const Scope& s) { return &s.record.ScrollPositionVertical; }),
    });
    AddColumns(table);
}

void AddMinimizationPreferences(TableBuilder& table) {
    table.Add({
        YesNo(u"Preferences.Minimization.SystemTrayIconEnabled",
              [](const Scope& s) { return &s.record.Minimization.SystemTrayIconEnabled; }),
        YesNo(u"Preferences.Minimization.SystemTrayOnlyWhenMinimized",
              [](const Scope& s) { return &s.record.Minimization.SystemTrayOnlyWhenMinimized; }),
        YesNo(u"Preferences.Minimization.HideWindowWhenMinimized",
              [](const Scope& s) { return &s.record.Minimization.HideWindowWhenMinimized; }),
        YesNo(u"Preferences.Minimization.MinimizeOnStartup",
              [](const Scope& s) { return &s.record.Minimization.MinimizeOnStartup; }),
        YesNo(u"Preferences.Minimization.MinimizeOnClose",
              [](const Scope& s) { return &s.record.Minimization.MinimizeOnClose; }),
        YesNo(u"Preferences.Minimization.HasBeforeMinimized",
              [](const Scope& s) { return &s.record.Minimization.HasBeforeMinimized; }),
        YesNo(u"Preferences.Minimization.HasBeforeClosed",
              [](const Scope& s) { return &s.record.Minimization.HasBeforeClosed; }),
        YesNo(u"Preferences.Minimization.HasBeforeEscd",
              [](const Scope& s) { return &s.record.Minimization.HasBeforeEscd; }),
    });
}

void AddDisplayPreferences(TableBuilder& table) {
    table.Add({
        YesNo(u"Preferences.NoAskAboutInstall",
              [](const Scope& s) { return &s.record.NoAskAboutInstall; }),
        YesNo(u"Preferences.UseWindowsColours",
              [](const Scope& s) { return &s.record.UseWindowsColours; }),
        YesNo(u"Preferences.ShowListInGridStyle",
              [](const Scope& s) { return &s.record.ShowListInGridStyle; }),
        AtLoadTime(TextKey(
            u"Preferences.DateAndTimeParameters",
            [](const Scope& s) { return &s.record.DateAndTimeParameters; }, DateTemplateRule)),
        YesNo(u"Preferences.LockWindowToScreenEdges",
              [](const Scope& s) { return &s.record.LockWindowToScreenEdges; }),
        AtLoadTime(YesNo(u"Preferences.DataFormat.BitsPerSecond",
                         [](const Scope& s) { return &s.record.DataFormatBitsPerSecond; })),
        YesNo(u"Preferences.CheckForUpdatesOnStartup",
              [](const Scope& s) { return &s.record.CheckForUpdatesOnStartup; }),
    });
}

void AddEnginePreferences(TableBuilder& table) {
    table.Add({
        YesNo(
            u"Preferences.EnableMACBasedBinding",
            [](const Scope& s) { return &s.preferences.EnableMACBasedBinding; }, MACBindingRule),
        Int(u"Preferences.ResolveCache.MaximumTime",
            [](const Scope& s) { return &s.preferences.resolve.cacheMaximumTimeMs; }),
        Int(u"Preferences.ResolveCache.RetryDelay",
            [](const Scope& s) { return &s.preferences.resolve.cacheRetryDelayMs; }),
        Int(u"Preferences.StartStopInterval",
            [](const Scope& s) { return &s.preferences.StartStopInterval; }),
        YesNo(u"Preferences.EnableInterfaceChecker",
              [](const Scope& s) { return &s.preferences.EnableInterfaceChecker; }),
        Int(u"Preferences.InterfaceCheckerInterval",
            [](const Scope& s) { return &s.preferences.InterfaceCheckerInterval; }),
        AtLoadTime(
            YesNo(u"Preferences.AutoApplyLatestAdvancedOptions",
                  [](const Scope& s) { return &s.pfoDefaults.AutoApplyLatestAdvancedOptions; })),
        YesNo(u"Preferences.ResetPFOStatisticsOnPFOStart",
              [](const Scope& s) { return &s.preferences.ResetPFOStatisticsOnPFOStart; }),
    });
}

void AddProgramPreferences(TableBuilder& table) {
    table.Add({
        YesNo(u"Preferences.ProgramHasRunBefore",
              [](const Scope& s) { return &s.record.ProgramHasRunBefore; }),
        AtLoadTime(YesNo(u"Preferences.ShowUncommonColumns",
                         [](const Scope& s) { return &s.record.ShowUncommonColumns; })),
        AtLoadTime(YesNo(u"Preferences.ShowWelcomeScreen",
                         [](const Scope& s) { return &s.record.ShowWelcomeScreen; })),
        Int(
            u"Preferences.FontSize", [](const Scope& s) { return &s.record.FontSize; },
            FontSizeRule),
        Int(u"Preferences.MaximumThreads",
            [](const Scope& s) { return &s.preferences.MaximumThreads; }),
        YesNo(u"Preferences.BindPortsOnlyWhileUp",
              [](const Scope& s) { return &s.preferences.BindPortsOnlyWhileUp; }),
        YesNo(u"Preferences.UseIPv4LocalhostResolve",
              [](const Scope& s) { return &s.preferences.resolve.useIPv4LocalhostResolve; }),
        UInt(u"Preferences.TCPKeepAliveInterval",
             [](const Scope& s) { return &s.preferences.TCPKeepAliveInterval; }),
        // Written as well, so that a value set by hand survives the next save.
        Int(u"Preferences.MACBasedResolveTimeout",
            [](const Scope& s) { return &s.record.MACBasedResolveTimeout; }),
    });
}

void AddPreferences(TableBuilder& table) {
    table.Section(u"Preferences", 52);
    AddMinimizationPreferences(table);
    AddDisplayPreferences(table);
    AddEnginePreferences(table);
    AddProgramPreferences(table);
}

void AddLogging(TableBuilder& table) {
    table.Section(u"Automatic-logging options dialog", 35);
    table.Add({
        AtLoadTime(
            YesNo(u"AutoLog.Enabled", [](const Scope& s) { return &s.record.AutoLog.Enabled; })),
        PathKey(u"AutoLog.FilePath", [](const Scope& s) { return &s.record.AutoLog.FilePath; }),
        PathKey(u"AutoLog.DefaultFolder",
                [](const Scope& s) { return &s.record.AutoLog.DefaultFolder; }),
        AtLoadTime(TextKey(
            u"AutoLog.LogEntryParameters",
            [](const Scope& s) { return &s.record.AutoLog.LogEntryParameters; }, LogTemplateRule)),
        AtLoadTime(Int(u"AutoLog.UpdateInterval",
                       [](const Scope& s) { return &s.record.AutoLog.UpdateInterval; })),
        AtLoadTime(YesNo(u"AutoLog.NoLogBadIP",
                         [](const Scope& s) { return &s.record.AutoLog.NoLogBadIP; })),
        Int(u"AutoLog.PerSubscriberMaximumBacklog",
            [](const Scope& s) { return &s.record.AutoLog.PerSubscriberMaximumBacklog; }),
    });
    table.Section(u"Data logging options dialog", 26);
    table.Add({
        AtLoadTime(YesNo(u"DataLog.Enabled",
                         [](const Scope& s) { return &s.preferences.DataLogEnabled; })),
        PathKey(u"DataLog.FolderPath", [](const Scope& s) { return &s.record.DataLogFolderPath; }),
        AtLoadTime(YesNo(u"DataLog.CombineData",
                         [](const Scope& s) { return &s.preferences.DataLogCombineData; })),
        AtLoadTime(TextKey(
            u"DataLog.FilenameParameters",
            [](const Scope& s) { return &s.record.DataLogFilenameParameters; }, PercentRule)),
    });
}

void AddPFOOptionsDialog(TableBuilder& table) {
    table.Section(u"PFO options dialog", 40);
    table.Add({
        AtLoadTime(TextKey(u"PFOOptionsDialog.LocalIP",
                           [](const Scope& s) { return &s.pfoDefaults.LocalIP; })),
        AtLoadTime(Int16(u"PFOOptionsDialog.LocalPort",
                         [](const Scope& s) { return &s.pfoDefaults.LocalPort; })),
        AtLoadTime(TextKey(u"PFOOptionsDialog.OLAddress",
                           [](const Scope& s) { return &s.pfoDefaults.OLAddress; })),
        AtLoadTime(Int16(u"PFOOptionsDialog.OLPort",
                         [](const Scope& s) { return &s.pfoDefaults.OLPort; })),
        AtLoadTime(TextKey(u"PFOOptionsDialog.RemoteHost",
                           [](const Scope& s) { return &s.pfoDefaults.RemoteHost; })),
        AtLoadTime(Int16(u"PFOOptionsDialog.RemotePort",
                         [](const Scope& s) { return &s.pfoDefaults.RemotePort; })),
        AtLoadTime(KeyMaker<DestinationsForm>{}(
            u"PFOOptionsDialog.ExtraRemoteDestinations",
            [](const Scope& s) { return &s.pfoDefaults.ExtraRemoteDestinations; })),
        AtLoadTime(YesNo(u"PFOOptionsDialog.CheckBounce",
                         [](const Scope& s) { return &s.pfoDefaults.CheckBounce; })),
        AtLoadTime(YesNo(u"PFOOptionsDialog.CheckUDP",
                         [](const Scope& s) { return &s.pfoDefaults.CheckUDP; })),
        AtLoadTime(YesNo(u"PFOOptionsDialog.CheckTCP",
                         [](const Scope& s) { return &s.pfoDefaults.CheckTCP; })),
        AtLoadTime(Int(u"PFOOptionsDialog.MaxSessions",
                       [](const Scope& s) { return &s.pfoDefaults.MaxSessions; })),
        AtLoadTime(Int(u"PFOOptionsDialog.UDPSessionTimeout",
                       [](const Scope& s) { return &s.pfoDefaults.UDPSessionTimeout; })),
        AtLoadTime(YesNo(u"PFOOptionsDialog.ForwardICMPForUDP",
                         [](const Scope& s) { return &s.pfoDefaults.ForwardICMPForUDP; })),
    });
}

void AddAdvancedOptionsDialog(TableBuilder& table) {
    using Options = AdvancedOptions;
    struct AdvancedKey {
        TextView name;
        bool Options::*flag;
    };
    constexpr AdvancedKey kKeys[] = {
        {u"PFOAdvancedOptionsDialog.BindOutboundConnectionsToLocalInterface",
         &Options::Outbound_Bind},
        {u"PFOAdvancedOptionsDialog.BindUDPOutboundConnectionsToRemotePort",
         &Options::UDP_Port_Bind},
        {u"PFOAdvancedOptionsDialog.AllowLocalInterfaceAddressesToBeReUsed",
         &Options::Address_ReUse},
        {u"PFOAdvancedOptionsDialog.DisableTCPNagle", &Options::TCP_NoDelay},
        {u"PFOAdvancedOptionsDialog.EnableTCPKeepAlive", &Options::TCP_KeepAlive},
    };
    table.Section(u"PFO advanced options dialog", 64);
    for (const AdvancedKey& key : kKeys) {
        table.Add({AtLoadTime(YesNo(key.name, [flag = key.flag](const Scope& s) {
            return &(s.pfoDefaults.latestAdvancedOptions.*flag);
        }))});
    }
}

void AddFilterDialogs(TableBuilder& table) {
    table.Section(u"PFO filter options dialog", 44);
    table.Add({
        TextKey(u"PFOFilterOptionsDialog.HostName",
                [](const Scope& s) { return &s.record.PFOFilterDialog.HostName; }),
        TextKey(u"PFOFilterOptionsDialog.SourceIPMustBeFrom",
                [](const Scope& s) { return &s.record.PFOFilterDialog.SourceIPMustBeFrom; }),
        TextKey(u"PFOFilterOptionsDialog.SourceIPMustNotBeFrom",
                [](const Scope& s) { return &s.record.PFOFilterDialog.SourceIPMustNotBeFrom; }),
        TextKey(u"PFOFilterOptionsDialog.SourceIPMustBeTo",
                [](const Scope& s) { return &s.record.PFOFilterDialog.SourceIPMustBeTo; }),
        TextKey(u"PFOFilterOptionsDialog.SourceIPMustNotBeTo",
                [](const Scope& s) { return &s.record.PFOFilterDialog.SourceIPMustNotBeTo; }),
        PathKey(u"PFOFilterOptionsDialog.DefaultFolder",
                [](const Scope& s) { return &s.record.PFOFilterDialog.DefaultFolder; }),
        TextKey(u"PFOFilterOptionsDialog.LastFilename",
                [](const Scope& s) { return &s.record.PFOFilterDialog.LastFilename; }),
    });
    table.Section(u"DTFIP filter options dialog", 38);
    table.Add({
        PathKey(u"DTFIPFilterOptionsDialog.DefaultFolder",
                [](const Scope& s) { return &s.record.DTFIPFilterDefaultFolder; }),
        TextKey(u"DTFIPFilterOptionsDialog.LastFilename",
                [](const Scope& s) { return &s.record.DTFIPFilterLastFilename; }),
    });
}

void AddRangeCreatorAndComments(TableBuilder& table) {
    table.Section(u"PFO range creator dialog", 0);
    table.Add({
        TextKey(u"RangeCreatorDialog.PFOText",
                [](const Scope& s) { return &s.record.RangeCreatorPFOText; }),
        Int(u"RangeCreatorDialog.PortCount",
            [](const Scope& s) { return &s.record.RangeCreatorPortCount; }),
    });
    table.Section(u"Request for Comments", 35);
    table.Add({
        AtLoadTime(YesNo(u"RequestForComments.ShowOnExit",
                         [](const Scope& s) { return &s.record.RequestForCommentsShowOnExit; })),
        AtLoadTime(
            YesNo(u"RequestForComments.UserHasCommented",
                  [](const Scope& s) { return &s.record.RequestForCommentsUserHasCommented; })),
    });
}

void AddColours(TableBuilder& table) {
    struct ColourEntry {
        TextView name;
        Colour ColourProfile::*colour;
    };
    using P = ColourProfile;
    constexpr ColourEntry kKeys[] = {
        {u"Colours.WindowForeground", &P::WindowForeground},
        {u"Colours.WindowBackground", &P::WindowBackground},
        {u"Colours.TextBoxForeground", &P::TextBoxForeground},
        {u"Colours.TextBoxBackground", &P::TextBoxBackground},
        {u"Colours.ListBoxForeground", &P::ListBoxForeground},
        {u"Colours.ListBoxBackground", &P::ListBoxBackground},
        {u"Colours.ListBoxTextBackground", &P::ListBoxTextBackground},
        {u"Colours.ButtonFocusedForeground", &P::ButtonFocusedForeground},
        {u"Colours.ButtonFocusedBackground", &P::ButtonFocusedBackground},
        {u"Colours.ButtonDisabledForeground", &P::ButtonDisabledForeground},
        {u"Colours.ButtonDisabledBackground", &P::ButtonDisabledBackground},
        {u"Colours.ButtonNormalForeground", &P::ButtonNormalForeground},
        {u"Colours.ButtonNormalBackground", &P::ButtonNormalBackground},
    };
    table.Section(u"Colours", 32);
    for (const ColourEntry& key : kKeys) {
        table.Add({ColourKey(key.name, [colour = key.colour](const Scope& s) {
            return &(s.record.Colours.*colour);
        })});
    }
}

// One block of web interface keys: the prefix, then the suffix padded to 33 characters.
void AddWebInterfaceBlock(TableBuilder& table, TextView prefix,
                          WebInterfaceSettings Settings::*block) {
    using W = WebInterfaceSettings;
    const auto in = [block](auto W::*field) {
        return [block, field](const Scope& s) { return &(s.record.*block.*field); };
    };
    const auto key = [prefix](TextView suffix) { return Text(prefix) + Padded(suffix, 33); };
    table.Width(0);
    table.Add({
        YesNo(key(u".Enabled"), in(&W::Enabled)),
        TextKey(key(u".ListeningAddress"), in(&W::ListeningAddress)),
        Int16(key(u".ListeningPort"), in(&W::ListeningPort)),
        Int16(key(u".ListeningPortDynamic"), in(&W::ListeningPortDynamic)),
        TextKey(key(u".AccessPasswordHash"), in(&W::AccessPasswordHash)),
        Int(key(u".MaxConnectionsPerIP"), in(&W::MaxConnectionsPerIP)),
        Int(key(u".MaxSimultaneousClients"), in(&W::MaxSimultaneousClients)),
    });
}

void AddWebInterfaceAndLogTail(TableBuilder& table) {
    table.Section(u"HTTP Web Interface", 0);
    AddWebInterfaceBlock(table, u"WebInterface", &Settings::WebInterface);
    table.Add(SettingsBlankLine{});
    AddWebInterfaceBlock(table, u"WebInterfaceDynamic", &Settings::WebInterfaceDynamic);
    table.Section(u"Log Tail dialog", 29);
    table.Add({
        Int(u"LogTail.WindowPosition.Left",
            [](const Scope& s) { return &s.record.LogTailWindowPosition.Left; }),
        Int(u"LogTail.WindowPosition.Right",
            [](const Scope& s) { return &s.record.LogTailWindowPosition.Right; }),
        Int(u"LogTail.WindowPosition.Top",
            [](const Scope& s) { return &s.record.LogTailWindowPosition.Top; }),
        Int(u"LogTail.WindowPosition.Bottom",
            [](const Scope& s) { return &s.record.LogTailWindowPosition.Bottom; }),
        UInt(u"LogTail.WindowState", [](const Scope& s) { return &s.record.LogTailWindowState; }),
        YesNo(u"LogTail.WindowIsVisible",
              [](const Scope& s) { return &s.record.LogTailWindowIsVisible; }),
    });
}

std::vector<SettingsLine> BuildSettingsTable() {
    TableBuilder table;
    AddHeader(table);
    AddLanguage(table);
    AddWindow(table);
    AddPreferences(table);
    AddLogging(table);
    table.Section(u"Port Forwarding Operations (PFOs)", 0);
    table.Add(SettingsPFORecords{});
    AddPFOOptionsDialog(table);
    AddAdvancedOptionsDialog(table);
    AddFilterDialogs(table);
    AddRangeCreatorAndComments(table);
    AddColours(table);
    AddWebInterfaceAndLogTail(table);
    return table.Take();
}

}  // namespace

const std::vector<SettingsLine>& SettingsTable() {
    static const std::vector<SettingsLine> table = BuildSettingsTable();
    return table;
}

}  // namespace qf
