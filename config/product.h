#pragma once
#include "platform/text.h"

namespace qf {

inline constexpr TextView kProductName = u"Quillmark Ferrox";
inline constexpr TextView kProductVersion = u"2.0";

}  // namespace qf
