#include "config/text_helpers.h"

#include <algorithm>

namespace qf {
namespace {

bool Contains(TextView set, char16_t c) {
    return set.find(c) != TextView::npos;
}

char16_t AsciiUpper(char16_t c) {
    return c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c;
}

}  // namespace

bool IsBlankText(TextView text) {
    return text.find_first_not_of(kBlankCharacters) == TextView::npos;
}

Text KeepOnlyCharacters(TextView text, TextView set) {
    Text kept;
    std::copy_if(text.begin(), text.end(), std::back_inserter(kept),
                 [set](char16_t c) { return Contains(set, c); });
    return kept;
}

Text RemoveCharacters(TextView text, TextView set) {
    Text kept;
    std::copy_if(text.begin(), text.end(), std::back_inserter(kept),
                 [set](char16_t c) { return !Contains(set, c); });
    return kept;
}

Text TakeToken(Text& remainder, TextView delimiters) {
    const size_t end = remainder.find_first_of(delimiters);
    Text token = remainder.substr(0, end);
    remainder.erase(0, end == Text::npos ? Text::npos : end + 1);
    return token;
}

void ReplaceAll(Text& text, TextView from, TextView to) {
    if (from.empty())
        return;
    for (size_t at = text.find(from); at != Text::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

TextView TrimCharacters(TextView text, TextView set) {
    const size_t first = text.find_first_not_of(set);
    if (first == TextView::npos)
        return {};
    return TrimTrailingCharacters(text.substr(first), set);
}

TextView TrimTrailingCharacters(TextView text, TextView set) {
    const size_t last = text.find_last_not_of(set);
    return last == TextView::npos ? TextView{} : text.substr(0, last + 1);
}

char16_t AsciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c;
}

Text AsciiLowerText(TextView text) {
    Text lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), AsciiLower);
    return lower;
}

Text AsciiUpperText(TextView text) {
    Text upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper);
    return upper;
}

bool EqualsIgnoringAsciiCase(TextView a, TextView b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char16_t x, char16_t y) { return AsciiLower(x) == AsciiLower(y); });
}

}  // namespace qf
