// Reading any file gives text without zero units that survives being saved as UTF-16LE with
// its byte-order mark and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/text_files.h"
#include "fuzz/scratch_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const qf::PathContext context{u"/",
                                  [](const std::string&) { return std::optional<qf::Text>(); }};
    const qf::Text path = qf::Utf8ToText(fuzzing::ScratchPath());
    fuzzing::Save({reinterpret_cast<const char*>(data), size});
    const qf::Text text = qf::ReadTextFileAsWide(path, context);
    if (text.find(u'\0') != qf::Text::npos)
        std::abort();
    fuzzing::Save(qf::EncodeTextFileBytes(text));
    if (qf::ReadTextFileAsWide(path, context) != text)
        std::abort();
    return 0;
}
