#pragma once
// Finding and reading the values of a settings file's text, and writing its key lines.
//
// A key matches without regard to ASCII case and only at the start of a line, followed at
// once by a tab, "=", a space or ":", so a key that is only the start of another never
// matches. Pure functions: any thread.

#include <optional>
#include <unordered_map>

#include "config/value_codecs.h"
#include "platform/text.h"

namespace qf {

// A settings file's text prepared once for the searches of all its keys.
class SettingsText {
  public:
    // `text` with CR LF line ends.
    explicit SettingsText(TextView text);
    const Text& text() const { return text_; }

  private:
    friend std::optional<TextView> FindSettingValue(const SettingsText& file, TextView key);

    Text text_;
    // The start of each line, ASCII lower case up to and with its first separator, to where
    // the value of the first such line begins.
    std::unordered_map<Text, size_t> valueStarts_;
};

// The value of `key` (a name without separators; surrounding white space is ignored) in the
// file: the rest of its line after the separator, without surrounding spaces and tabs. Of the
// separators, the first that follows the key anywhere decides, tried in the order tab, "=", space,
// ":"; the first line with it is taken. The view points into `file`.
std::optional<TextView> FindSettingValue(const SettingsText& file, TextView key);

// Each reader changes `target` only when the key is found with a value that is not blank
// (text is taken blank too) and tells whether it did. Values that are not understood keep
// the target's value.
bool ReadTextSetting(const SettingsText& file, TextView key, Text& target);
bool ReadBoolSetting(const SettingsText& file, TextView key, bool& target);
// Numbers are read as doubles without limits and cut to the width of the target.
bool ReadInt32Setting(const SettingsText& file, TextView key, int32_t& target);
bool ReadUInt32Setting(const SettingsText& file, TextView key, uint32_t& target);
bool ReadInt16Setting(const SettingsText& file, TextView key, uint16_t& target);
bool ReadDoubleSetting(const SettingsText& file, TextView key, double& target);
// Replaces the three colour bytes only.
bool ReadColourSetting(const SettingsText& file, TextView key, Colour& target);

// CR LF, the key literal, a tab and the value.
Text FormatSettingLine(TextView key, TextView value);

}  // namespace qf
