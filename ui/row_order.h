#pragma once
// The order of the PFO list: rows compared by their texts in the sort column.

#include <algorithm>

#include "platform/text.h"

namespace qf {

// Negative when the row with `first` comes before the row with `second` (direction +1).
// Two texts of decimal digits only (the empty text counts as 0) compare as numbers, the
// larger first; any other texts compare code unit by code unit, the smaller first.
int CompareRowTexts(TextView first, TextView second);

// A stable sort that stays within the range whatever `before` answers. The row order mixes
// numeric and textual comparison, which need not be transitive ("5", "60", "55x" form a
// cycle), and std::sort may then run past the range.
template <class Iterator, class Before>
void StableSortRows(Iterator first, Iterator last, Before before) {
    if (last - first < 2) return;
    const Iterator middle = first + (last - first) / 2;
    StableSortRows(first, middle, before);
    StableSortRows(middle, last, before);
    std::inplace_merge(first, middle, last, before);
}

}  // namespace qf
