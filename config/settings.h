#pragma once
// The settings record: every value of the settings file that the engine does not hold, with
// its default. The engine's preferences and the defaults of new PFOs stay in EngineState;
// the key table (settings_keys.h) reaches both, so every value has exactly one home.
// Owned by the application; read and written on its main thread.

#include <array>
#include <cstdint>

#include "config/value_codecs.h"
#include "platform/text.h"

namespace qf {

struct WindowRectangle {
    int32_t Left = 0;
    int32_t Right = 0;
    int32_t Top = 0;
    int32_t Bottom = 0;
};

struct PFOListColumn {
    int32_t Width = 0;
    int32_t WidthExpanded = 0;
    int32_t Order = 0;
};

inline constexpr int kPFOListColumns = 17;

inline constexpr std::array<PFOListColumn, kPFOListColumns> kDefaultPFOListColumns = {{
    {77, 77, 0},
    {60, 60, 7},
    {95, 95, 12},
    {85, 85, 1},
    {95, 95, 10},
    {85, 85, 11},
    {0, 100, 2},
    {0, 60, 3},
    {0, 100, 13},
    {0, 100, 14},
    {0, 120, 15},
    {0, 150, 16},
    {100, 100, 4},
    {0, 120, 5},
    {0, 150, 8},
    {0, 95, 9},
    {0, 85, 6},
}};

struct MinimizationSettings {
    bool SystemTrayIconEnabled = false;
    bool SystemTrayOnlyWhenMinimized = true;
    bool HideWindowWhenMinimized = false;
    bool MinimizeOnStartup = false;
    bool MinimizeOnClose = false;
    bool HasBeforeMinimized = false;
    bool HasBeforeClosed = false;
    bool HasBeforeEscd = false;
};

struct AutoLogSettings {
    bool Enabled = false;
    Text FilePath;
    Text DefaultFolder;
    Text LogEntryParameters;  // from the string tables when settings are loaded
    int32_t UpdateInterval = 5;
    bool NoLogBadIP = false;
    int32_t PerSubscriberMaximumBacklog = 100000;
};

struct PFOFilterDialogSettings {
    Text HostName;
    Text SourceIPMustBeFrom;
    Text SourceIPMustNotBeFrom;
    Text SourceIPMustBeTo;
    Text SourceIPMustNotBeTo;
    Text DefaultFolder;
    Text LastFilename;
};

struct ColourProfile {
    Colour WindowForeground = RgbColour(0xFF, 0xFF, 0xFF);
    Colour WindowBackground = RgbColour(0x4E, 0x5E, 0x6F);
    Colour TextBoxForeground = RgbColour(0xFF, 0xFF, 0xFF);
    Colour TextBoxBackground = RgbColour(0x48, 0x60, 0x58);
    Colour ListBoxForeground = RgbColour(0x00, 0x00, 0x00);
    Colour ListBoxBackground = RgbColour(0xDF, 0xDB, 0xDA);
    Colour ListBoxTextBackground = RgbColour(0xFF, 0xFB, 0xFA);
    Colour ButtonFocusedForeground = RgbColour(0xFF, 0xFF, 0xFF);
    Colour ButtonFocusedBackground = RgbColour(0x44, 0x99, 0xBB);
    Colour ButtonDisabledForeground = RgbColour(0xC8, 0xC8, 0xC8);
    Colour ButtonDisabledBackground = RgbColour(0x75, 0x79, 0x99);
    Colour ButtonNormalForeground = RgbColour(0xFF, 0xFF, 0xFF);
    Colour ButtonNormalBackground = RgbColour(0x66, 0x88, 0xAA);
};

// One instance of the web interface; the file holds two with the same defaults.
struct WebInterfaceSettings {
    bool Enabled = false;
    Text ListeningAddress = u"127.0.0.1";
    uint16_t ListeningPort = 8060;
    uint16_t ListeningPortDynamic = 0;
    Text AccessPasswordHash;
    int32_t MaxConnectionsPerIP = 5;
    int32_t MaxSimultaneousClients = 10;
};

struct Settings {
    int32_t LanguageChoice = 0;  // a built-in language index, or kExternalLanguageIndex
    Text LanguageStringsFilePath;

    WindowRectangle WindowPosition;
    uint32_t WindowState = 0;
    int32_t SortFromColumn = 3;
    int32_t SortDirection = 1;
    double ScrollPositionHorizontal = 0;
    double ScrollPositionVertical = 0;
    std::array<PFOListColumn, kPFOListColumns> Columns = kDefaultPFOListColumns;

    MinimizationSettings Minimization;
    bool NoAskAboutInstall = false;
    bool UseWindowsColours = false;
    bool ShowListInGridStyle = true;
    Text DateAndTimeParameters;  // from the string tables when settings are loaded
    bool LockWindowToScreenEdges = true;
    bool DataFormatBitsPerSecond = true;
    bool CheckForUpdatesOnStartup = true;
    bool ProgramHasRunBefore = false;
    bool ShowUncommonColumns = false;
    bool ShowWelcomeScreen = true;
    int32_t FontSize = 10;
    int32_t MACBasedResolveTimeout = 4000;

    AutoLogSettings AutoLog;
    Text DataLogFolderPath;
    Text DataLogFilenameParameters;  // from the string tables when settings are loaded

    PFOFilterDialogSettings PFOFilterDialog;
    Text DTFIPFilterDefaultFolder;
    Text DTFIPFilterLastFilename;
    Text RangeCreatorPFOText;
    int32_t RangeCreatorPortCount = 10;
    bool RequestForCommentsShowOnExit = false;
    bool RequestForCommentsUserHasCommented = false;

    ColourProfile Colours;
    WebInterfaceSettings WebInterface;
    WebInterfaceSettings WebInterfaceDynamic;

    WindowRectangle LogTailWindowPosition{0, 640, 0, 135};  // relative to the main window
    uint32_t LogTailWindowState = 0;
    bool LogTailWindowIsVisible = false;
};

}  // namespace qf
