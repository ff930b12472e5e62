#pragma once
// Filtering clients by address: ranges, the lists they form, the admission test, and the text
// form of filter entries that profiles, dynamic filter files and the filter dialog share.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/socket_address.h"
#include "platform/text.h"

namespace qf {

struct AddressRange {
    SocketAddress low;
    SocketAddress high;
    friend bool operator==(const AddressRange&, const AddressRange&) = default;
};

// Ranges ended by a terminator range whose bounds are the empty-text address. Readers stop at
// the first range whose lower bound is that address, so a range written with the lower bound
// 0.0.0.0 ends its list. Lists are shared read-only and replaced whole, never changed in place.
using RangeList = std::vector<AddressRange>;
using RangeListPtr = std::shared_ptr<const RangeList>;

// `ranges` with the terminator appended.
RangeListPtr MakeRangeList(std::vector<AddressRange> ranges);
// The ranges before the terminator.
size_t CountUsedRanges(const RangeList& list);
// Same ranges before the terminator, byte for byte and in the same order.
bool SameUsedRanges(const RangeList& a, const RangeList& b);

// Lower bound <= address <= upper bound, scope ids compared.
bool RangeContains(const AddressRange& range, const SocketAddress& address);

// An accept list with ranges admits only addresses inside one of them; a reject list refuses
// the addresses inside one of its ranges, whatever the accept list says. An absent (null) or
// empty list leaves its side open.
bool TestAddress(const SocketAddress& address, const RangeList* accept, const RangeList* reject);

// One entry: "1.2.3.4", "1.2.3.4-1.2.3.9", "+ 1.2.3.4 - 1.2.3.9". The bounds stay as written,
// even in the wrong order; a bound that is no address becomes 255.255.255.255, and a blank
// upper bound repeats the lower one.
AddressRange ParseRangeText(TextView entry);
// "1.2.3.4 - 1.2.3.9", the form the filter dialog lists.
Text FormatRangeText(const AddressRange& range);

struct FilterLists {
    RangeListPtr accept;        // never null
    RangeListPtr reject;        // never null
    int64_t acceptEntries = 0;  // entries read, those after a terminator included
    int64_t rejectEntries = 0;
};

// Filter text, one entry a line (lines end at CR or LF). After leading blanks, "#" or "/"
// starts a comment, "-" a reject entry, anything else an accept entry; entries keep their
// order.
FilterLists ParseFilterText(TextView text);

}  // namespace qf
