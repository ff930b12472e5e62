#pragma once
// Reading the text files the system is given: settings, filter lists, language strings.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/portable_path.h"
#include "platform/text.h"

namespace qf {

// Larger files are not text the system reads; refusing them bounds memory and time.
inline constexpr size_t kMaxTextFileBytes = 64u << 20;

// FF FE: UTF-16 little-endian; FE FF: big-endian; anything else: UTF-8 with any byte-order
// mark kept as U+FEFF. The text ends at its first zero; fewer than two bytes give nothing.
Text DecodeTextFileBytes(std::string_view bytes);

// The bytes of a file that holds `text`: FF FE, then UTF-16 little-endian code units.
std::string EncodeTextFileBytes(TextView text);

// Eight-bit text of an older program generation, whose code page was not recorded: UTF-8
// when the bytes are valid UTF-8, else Windows-1252.
Text DecodeLegacyText(std::string_view bytes);

// The file at the expanded `path`, decoded. Empty when it is missing, not a regular file,
// too large or unreadable.
Text ReadTextFileAsWide(TextView path, const PathContext& context);

// Size in bytes of the file at the expanded `path`; -1 for a directory, 0 when nothing is found.
int64_t QueryFileSize(TextView path, const PathContext& context);

// Lone carriage returns and line feeds become CR LF, the line end the file formats search for.
Text NormalizeLineEnds(TextView text);

}  // namespace qf
