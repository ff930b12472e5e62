#pragma once
// The program's text type and the one codec between it and UTF-8.
// Inside the program all text is UTF-16, so widths and limits count UTF-16 code units;
// UTF-8 appears only at the edges (sockets, pages, file names, error texts of the OS).

#include <string>
#include <string_view>

namespace qf {

using Text = std::u16string;
using TextView = std::u16string_view;

// Invalid or truncated input becomes U+FFFD; the conversion never fails.
Text Utf8ToText(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string TextToUtf8(TextView text);

// The UTF-16 little-endian bytes of the text, as the program's own text files hold it.
std::string TextToUtf16LE(TextView text);
inline constexpr std::string_view kUtf16LEByteOrderMark = "\xFF\xFE";

// ASCII-only text literal helper for code that builds messages from plain literals.
inline Text AsciiText(std::string_view ascii) { return Text(ascii.begin(), ascii.end()); }

}  // namespace qf
