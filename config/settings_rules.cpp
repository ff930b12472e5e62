#include "config/settings_rules.h"

#include <algorithm>
#include <array>
#include <limits>

#include "config/display_formats.h"

namespace qf {
namespace {

constexpr std::array<int32_t, 12> kOldLanguageIndexes = {0, 3, 5, 6, 14, 7, 15, 4, 2, 13, 12, 10};
constexpr double kLogLineBreakVersion = 3.0;
constexpr double kCurrentDateTokensVersion = 4.01;
constexpr int32_t kMainWindowMargin = 150;
constexpr int32_t kLogTailMargin = 50;

// Stored rectangles may hold any numbers; sums saturate instead of overflowing.
int32_t Saturated(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

WindowRectangle Moved(const WindowRectangle& window, int64_t right, int64_t down) {
    return {Saturated(window.Left + right), Saturated(window.Right + right),
            Saturated(window.Top + down), Saturated(window.Bottom + down)};
}

// How far one direction moves: toward the screen until the low edge, else the high edge, is
// exactly `margin` beyond it.
int64_t FittingShift(int64_t low, int64_t high, int64_t screenLow, int64_t screenHigh,
                     int64_t margin) {
    if (low < screenLow - margin) return screenLow - margin - low;
    if (high > screenHigh + margin) return screenHigh + margin - high;
    return 0;
}

}  // namespace

int32_t MapOldLanguageIndex(int32_t oldIndex) {
    return kOldLanguageIndexes[static_cast<size_t>(std::clamp(oldIndex, 0, 11))];
}

Text ConvertLogEntryTemplate(TextView stored, double settingsVersion) {
    const Text withBreak =
        settingsVersion < kLogLineBreakVersion ? u"\\r\\n" + Text(stored) : Text(stored);
    return PercentTokensToHashes(withBreak);
}

Text ConvertDateTemplate(TextView stored, double settingsVersion) {
    if (settingsVersion < kCurrentDateTokensVersion || stored.find(u'%') != TextView::npos)
        return ConvertLegacyDateTimeTokens(stored);
    return Text(stored);
}

Text PercentTokensToHashes(TextView stored) {
    Text converted;
    for (size_t at = 0; at < stored.size(); ++at) {
        if (stored.substr(at, 2) == u"%%") {
            converted += u"%%";
            ++at;
        } else {
            converted += stored[at] == u'%' ? u'#' : stored[at];
        }
    }
    return converted;
}

int32_t LimitFontSize(int32_t stored) {
    return std::clamp<int32_t>(static_cast<uint8_t>(stored), 6, 24);
}

WindowRectangle FitWindowToScreen(const WindowRectangle& window, const WindowRectangle& screen,
                                  int32_t margin) {
    return Moved(window, FittingShift(window.Left, window.Right, screen.Left, screen.Right, margin),
                 FittingShift(window.Top, window.Bottom, screen.Top, screen.Bottom, margin));
}

void FitStoredWindows(Settings& settings, const std::optional<WindowRectangle>& screen) {
    if (!screen) return;
    settings.WindowPosition =
        FitWindowToScreen(settings.WindowPosition, *screen, kMainWindowMargin);
    const int32_t left = settings.WindowPosition.Left;
    const int32_t top = settings.WindowPosition.Top;
    const WindowRectangle onScreen = Moved(settings.LogTailWindowPosition, left, top);
    settings.LogTailWindowPosition =
        Moved(FitWindowToScreen(onScreen, *screen, kLogTailMargin), -int64_t{left}, -int64_t{top});
}

}  // namespace qf
