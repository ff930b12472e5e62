#pragma once
// The languages the string tables know, by index: 0..15 built in, 1000 an external file.

#include <optional>
#include <span>

#include "platform/text.h"

namespace qf {

inline constexpr int kBuiltInLanguages = 16;
inline constexpr int kExternalLanguageIndex = 1000;

// The lower-case two-letter codes of the built-in languages, by index.
std::span<const TextView> LanguageCodes();
// Lower-case two-letter code of a built-in language; empty for any other index.
TextView LanguageCode(int index);
// The index of a two-letter code, compared without regard to ASCII case.
std::optional<int> FindLanguageIndex(TextView code);

}  // namespace qf
