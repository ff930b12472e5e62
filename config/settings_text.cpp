#include "config/settings_text.h"

#include "config/text_helpers.h"

namespace qf {
namespace {

constexpr TextView kLineBreak = u"\r\n";
constexpr TextView kSeparators = u"\t= :";
constexpr Colour kColourBytes = 0xFFFFFF;

template <class T, class Parse>
bool ReadNonBlank(const SettingsText& file, TextView key, T& target, Parse parse) {
    const auto value = FindSettingValue(file, key);
    if (!value || IsBlankText(*value)) return false;
    target = parse(*value, target);
    return true;
}

}  // namespace

// A key holds no separator, so a line holds a key exactly when the line begins with the key
// and its first separator follows: indexing each line by that start finds every key at once.
SettingsText::SettingsText(TextView text) : text_(text) {
    const Text lowered = AsciiLowerText(text);
    const Text separatorsAndBreaks = Text(kSeparators) + Text(kLineBreak);
    for (size_t start = 0; start != Text::npos;) {
        const size_t separator = lowered.find_first_of(separatorsAndBreaks, start);
        if (separator != Text::npos && kSeparators.find(lowered[separator]) != TextView::npos)
            valueStarts_.emplace(lowered.substr(start, separator + 1 - start), separator + 1);
        const size_t lineEnd = lowered.find(kLineBreak, start);
        start = lineEnd == Text::npos ? lineEnd : lineEnd + kLineBreak.size();
    }
}

std::optional<TextView> FindSettingValue(const SettingsText& file, TextView key) {
    const Text lowered = AsciiLowerText(TrimCharacters(key, kBlankCharacters));
    for (char16_t separator : kSeparators) {
        const auto found = file.valueStarts_.find(lowered + separator);
        if (found == file.valueStarts_.end()) continue;
        TextView value = TextView(file.text_).substr(found->second);
        value = value.substr(0, value.find_first_of(kLineBreak));
        return TrimCharacters(value, u" \t");
    }
    return std::nullopt;
}

bool ReadTextSetting(const SettingsText& file, TextView key, Text& target) {
    const auto value = FindSettingValue(file, key);
    if (value) target = *value;
    return value.has_value();
}

bool ReadBoolSetting(const SettingsText& file, TextView key, bool& target) {
    return ReadNonBlank(file, key, target,
                        [](TextView value, bool) { return ParseBoolText(value); });
}

bool ReadInt32Setting(const SettingsText& file, TextView key, int32_t& target) {
    return ReadNonBlank(file, key, target, [](TextView value, int32_t current) {
        return TruncateToInt32(ParseDoubleText(value, current, 0, 0));
    });
}

bool ReadUInt32Setting(const SettingsText& file, TextView key, uint32_t& target) {
    return ReadNonBlank(file, key, target, [](TextView value, uint32_t current) {
        return static_cast<uint32_t>(TruncateToInt64(ParseDoubleText(value, current, 0, 0)));
    });
}

bool ReadInt16Setting(const SettingsText& file, TextView key, uint16_t& target) {
    return ReadNonBlank(file, key, target, [](TextView value, uint16_t current) {
        return static_cast<uint16_t>(TruncateToInt64(ParseDoubleText(value, current, 0, 0)));
    });
}

bool ReadDoubleSetting(const SettingsText& file, TextView key, double& target) {
    return ReadNonBlank(file, key, target, [](TextView value, double current) {
        return ParseDoubleText(value, current, 0, 0);
    });
}

bool ReadColourSetting(const SettingsText& file, TextView key, Colour& target) {
    return ReadNonBlank(file, key, target, [](TextView value, Colour current) {
        return (current & ~kColourBytes) | (ParseColourText(value) & kColourBytes);
    });
}

Text FormatSettingLine(TextView key, TextView value) {
    return Text(kLineBreak) + Text(key) + u"\t" + Text(value);
}

}  // namespace qf
