#pragma once
// Text files built into the executable, found by resource number.

#include <string_view>

namespace qf {

// The program string table's zones, one per language.
inline constexpr int kProgramStringsResource = 150;
// "[Zone_General]" (the language names) and the general string table's zones.
inline constexpr int kGeneralStringsResource = 161;

// The resource's bytes (UTF-8 with a byte-order mark); empty for an unknown number.
std::string_view TextResource(int id);

}  // namespace qf
