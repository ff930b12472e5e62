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

SettingsText::SettingsText(TextView text)
    : text_(text), searchable_(Text(kLineBreak) + AsciiLowerText(text)) {}

std::optional<TextView> FindSettingValue(const SettingsText& file, TextView key) {
    const Text line = Text(kLineBreak) + AsciiLowerText(TrimCharacters(key, kBlankCharacters));
    for (char16_t separator : kSeparators) {
        const size_t found = file.searchable_.find(line + separator);
        if (found == Text::npos) continue;
        // The searchable copy has the line break in front that the text lacks.
        TextView value = TextView(file.text_).substr(found + line.size() + 1 - kLineBreak.size());
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
