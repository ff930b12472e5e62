#include "net/ip_filter.h"

#include <algorithm>

#include "net/address.h"
#include "platform/text_tools.h"

namespace qf {
namespace {

constexpr TextView kEntryTrim = u" \t-+.";
constexpr TextView kBoundSeparators = u" -\t";

bool IsTerminator(const AddressRange& range) { return range.low.isEmpty(); }

// Calls `found` for the ranges before the terminator until it returns true.
template <class Predicate>
bool AnyUsedRange(const RangeList& list, Predicate found) {
    for (const AddressRange& range : list) {
        if (IsTerminator(range)) return false;
        if (found(range)) return true;
    }
    return false;
}

bool InAnyRange(const RangeList& list, const SocketAddress& address) {
    return AnyUsedRange(list,
                        [&](const AddressRange& range) { return RangeContains(range, address); });
}

TextView TrimLeading(TextView text, TextView characters) {
    return text.substr(std::min(text.find_first_not_of(characters), text.size()));
}

}  // namespace

RangeListPtr MakeRangeList(std::vector<AddressRange> ranges) {
    ranges.push_back(AddressRange{});
    return std::make_shared<const RangeList>(std::move(ranges));
}

size_t CountUsedRanges(const RangeList& list) {
    return static_cast<size_t>(std::find_if(list.begin(), list.end(), IsTerminator) - list.begin());
}

bool SameUsedRanges(const RangeList& a, const RangeList& b) {
    const size_t used = CountUsedRanges(a);
    return used == CountUsedRanges(b) && std::equal(a.begin(), a.begin() + used, b.begin());
}

bool RangeContains(const AddressRange& range, const SocketAddress& address) {
    return CompareAddresses(range.low, address, true) >= 0 &&
           CompareAddresses(address, range.high, true) >= 0;
}

bool TestAddress(const SocketAddress& address, const RangeList* accept, const RangeList* reject) {
    const bool acceptHasRanges = accept && !accept->empty() && !IsTerminator(accept->front());
    if (acceptHasRanges && !InAnyRange(*accept, address)) return false;
    return !(reject && InAnyRange(*reject, address));
}

AddressRange ParseRangeText(TextView entry) {
    const TextView trimmed = Trim(entry, kEntryTrim);
    const size_t cut = std::min(trimmed.find_first_of(kBoundSeparators), trimmed.size());
    const TextView lowText = trimmed.substr(0, cut);
    const TextView highText = TrimLeading(trimmed.substr(cut), kEntryTrim);
    const SocketAddress low = ParseAddress(lowText, false);
    return {low, highText.empty() ? low : ParseAddress(highText, false)};
}

Text FormatRangeText(const AddressRange& range) {
    return FormatAddress(range.low) + u" - " + FormatAddress(range.high);
}

FilterLists ParseFilterText(TextView text) {
    std::vector<AddressRange> accept, reject;
    size_t lineStart = 0;
    while (lineStart <= text.size()) {
        const size_t lineEnd = std::min(text.find_first_of(u"\r\n", lineStart), text.size());
        const TextView line = TrimLeading(text.substr(lineStart, lineEnd - lineStart), u" \t");
        lineStart = lineEnd + 1;
        if (line.empty() || line.front() == u'#' || line.front() == u'/') continue;
        (line.front() == u'-' ? reject : accept).push_back(ParseRangeText(line));
    }
    const auto acceptEntries = static_cast<int64_t>(accept.size());
    const auto rejectEntries = static_cast<int64_t>(reject.size());
    return {MakeRangeList(std::move(accept)), MakeRangeList(std::move(reject)), acceptEntries,
            rejectEntries};
}

}  // namespace qf
