#pragma once
// The conversions some settings get when they are read, for files of older versions and for
// values that do not fit the machine that reads them.

#include <optional>

#include "config/settings.h"
#include "platform/text.h"

namespace qf {

// An index of the older language list (limited to 0..11) as a current language index.
int32_t MapOldLanguageIndex(int32_t oldIndex);

// The log-entry template as stored by a file of `settingsVersion`: files older than 3.0 get
// the line break escape "\r\n" (four characters) in front; every "%" token becomes "#".
Text ConvertLogEntryTemplate(TextView stored, double settingsVersion);
// Older "%" date tokens become the current ones.
Text ConvertDateTemplate(TextView stored, double settingsVersion);
// Every "%" that is not part of "%%" becomes "#".
Text PercentTokensToHashes(TextView stored);
// The dialog font size: its low byte, within 6..24.
int32_t LimitFontSize(int32_t stored);

// Moves (never resizes) `window` so that it reaches at most `margin` pixels beyond `screen`
// (right and bottom inclusive): the left (top) edge is tested first, one move per direction.
WindowRectangle FitWindowToScreen(const WindowRectangle& window, const WindowRectangle& screen,
                                  int32_t margin);
// Fits the main window (margin 150) and the log tail window (margin 50, stored relative to
// the main window) to `screen`; without a screen they stay as stored.
void FitStoredWindows(Settings& settings, const std::optional<WindowRectangle>& screen);

}  // namespace qf
