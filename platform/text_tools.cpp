#include "platform/text_tools.h"

#include <algorithm>

namespace qf {

bool IsBlank(TextView text) { return Trim(text, u" \t\r\n").empty(); }

TextView Trim(TextView text, TextView characters) {
    const size_t first = text.find_first_not_of(characters);
    if (first == TextView::npos) return {};
    return text.substr(first, text.find_last_not_of(characters) - first + 1);
}

char16_t ToUpperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }

bool EqualsIgnoringCase(TextView a, TextView b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char16_t x, char16_t y) { return ToUpperAscii(x) == ToUpperAscii(y); });
}

}  // namespace qf
