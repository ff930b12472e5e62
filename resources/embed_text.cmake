# Writes OUTPUT, a C++ source holding the bytes of INPUT as the array qf::embedded::SYMBOL.
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}.
#include <cstddef>

namespace qf::embedded {
extern const unsigned char ${SYMBOL}[];
extern const std::size_t ${SYMBOL}_size;
const unsigned char ${SYMBOL}[] = {
${bytes}};
const std::size_t ${SYMBOL}_size = sizeof(${SYMBOL});
}  // namespace qf::embedded
")
