// Any strings file, in any encoding, must parse without reading or writing out of bounds.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "app/string_zone.h"
#include "config/text_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qf;
    const Text content =
        NormalizeLineEnds(DecodeTextFileBytes({reinterpret_cast<const char*>(data), size}));
    // A small table so that ids at and beyond its end are easy to reach.
    std::vector<Text> table(64);
    for (TextView header : {u"[Zone_EN]", u"[Zone_Internal]"}) {
        FillTableFromZone(table, content, header);
    }
    return 0;
}
