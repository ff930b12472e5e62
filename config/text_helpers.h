#pragma once
// Small operations on text shared by the codecs and the file formats. Case folding is ASCII
// only, so no result depends on the locale.

#include "platform/text.h"

namespace qf {

// True for the empty text and for text of only tab, line feed, carriage return and space.
bool IsBlankText(TextView text);

// The characters of `text` that occur in `set`, in their order, wherever they stand.
Text KeepOnlyCharacters(TextView text, TextView set);
Text RemoveCharacters(TextView text, TextView set);

// Returns `remainder` up to its first delimiter and leaves in `remainder` what follows that one
// delimiter (nothing when there was none).
Text TakeToken(Text& remainder, TextView delimiters);

// Replaces every occurrence, left to right; replaced text is not searched again.
void ReplaceAll(Text& text, TextView from, TextView to);

// `text` without the characters of `set` at both ends.
TextView TrimCharacters(TextView text, TextView set);
TextView TrimTrailingCharacters(TextView text, TextView set);

char16_t AsciiLower(char16_t c);
Text AsciiLowerText(TextView text);
Text AsciiUpperText(TextView text);
bool EqualsIgnoringAsciiCase(TextView a, TextView b);

inline constexpr TextView kBlankCharacters = u" \t\r\n";

}  // namespace qf
