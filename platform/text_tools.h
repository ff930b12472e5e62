#pragma once
// Small locale-free text rules shared by the parsers: blankness, trimming, ASCII case.

#include "platform/text.h"

namespace qf {

// Empty or only tab, line feed, carriage return and space.
bool IsBlank(TextView text);
// `text` without the leading and trailing characters found in `characters`.
TextView Trim(TextView text, TextView characters);
// Only A-Z and a-z are folded, whatever the process locale says.
bool EqualsIgnoringCase(TextView a, TextView b);
char16_t ToUpperAscii(char16_t c);

}  // namespace qf
