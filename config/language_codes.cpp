#include "config/language_codes.h"

#include <array>

#include "config/text_helpers.h"

namespace qf {
namespace {

constexpr std::array<TextView, kBuiltInLanguages> kCodes = {
    u"en", u"af", u"nl", u"de", u"it", u"fr", u"es", u"pt",
    u"ro", u"hu", u"sv", u"pl", u"cs", u"ru", u"ja", u"zh"};

}  // namespace

std::span<const TextView> LanguageCodes() {
    return kCodes;
}

TextView LanguageCode(int index) {
    if (index < 0 || index >= kBuiltInLanguages) return {};
    return kCodes[static_cast<size_t>(index)];
}

std::optional<int> FindLanguageIndex(TextView code) {
    for (int index = 0; index < kBuiltInLanguages; ++index) {
        if (EqualsIgnoringAsciiCase(code, kCodes[static_cast<size_t>(index)])) return index;
    }
    return std::nullopt;
}

}  // namespace qf
