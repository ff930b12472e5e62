// Any file read as a filter file gives two terminated lists whose ranges survive being written
// as a profile and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "config/filter_files.h"
#include "fuzz/scratch_file.h"

namespace {

void ExpectTerminated(const qf::RangeListPtr& list, int64_t entries) {
    if (!list || list->empty() || !(list->back() == qf::AddressRange{})) std::abort();
    if (static_cast<int64_t>(qf::CountUsedRanges(*list)) > entries) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const qf::PathContext context{u"/",
                                  [](const std::string&) { return std::optional<qf::Text>(); }};
    fuzzing::Save({reinterpret_cast<const char*>(data), size});
    const qf::FilterFileReading reading =
        qf::ReadFilterFile(qf::Utf8ToText(fuzzing::ScratchPath()), context);
    if (!reading.lists) std::abort();
    const qf::FilterLists& lists = *reading.lists;
    ExpectTerminated(lists.accept, lists.acceptEntries);
    ExpectTerminated(lists.reject, lists.rejectEntries);
    const qf::FilterLists again = qf::ParseFilterText(
        qf::FilterProfileText(lists.accept.get(), lists.reject.get(), {u"fuzz", u"now"}));
    if (!qf::SameUsedRanges(*again.accept, *lists.accept) ||
        !qf::SameUsedRanges(*again.reject, *lists.reject))
        std::abort();
    return 0;
}
