// Any text read as a PFO record, in any record version, gives a PFO whose record is one line
// of fourteen fields that reads back to itself.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "config/pfo_record.h"

namespace {

constexpr std::array<double, 8> kVersions = {
    qf::kCurrentRecordVersion, 4.01, 4.0, 3.9, 1.0, 0.9, 0, 2.5};

qf::Text ReadAndWrite(qf::EngineState& engine, qf::TextView record, double version) {
    const qf::PFOPtr pfo = qf::CreatePFO(engine);
    qf::ParsePFORecord(*pfo, record, version);
    return qf::WritePFORecord(*pfo);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const qf::TextCatalog texts;
    qf::EngineState engine(texts);
    const double version = kVersions[data[0] % kVersions.size()];
    const qf::Text text = qf::Utf8ToText({reinterpret_cast<const char*>(data) + 1, size - 1});

    const qf::Text written = ReadAndWrite(engine, text, version);
    if (written.find_first_of(u"\r\n") != qf::Text::npos ||
        std::count(written.begin(), written.end(), u'\t') != 13)
        std::abort();
    const qf::Text rewritten = ReadAndWrite(engine, written, qf::kCurrentRecordVersion);
    // The current form reads back exactly; older ones may need one pass to settle.
    if (version >= 4.01 && rewritten != written) std::abort();
    if (ReadAndWrite(engine, rewritten, qf::kCurrentRecordVersion) != rewritten) std::abort();
    qf::ParsePFORecordList(engine, text, true, version);
    return 0;
}
