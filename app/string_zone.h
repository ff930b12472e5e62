#pragma once
// The text format of the string tables. A zone is a header line such as "[Zone_EN]" followed
// by entries, each a CR LF, "[", the decimal id, "]", one separator character and the text,
// which runs to the next CR LF + "[" and so may span lines.

#include <span>

#include "platform/text.h"

namespace qf {

// Turns the escapes \r \n \t \" \' of an entry into their characters (a doubled backslash
// keeps a literal \r, \n or \t) and puts in the product's name and version.
Text ApplyZoneReplacements(TextView text);

// Fills `table` from the entries of the zone that begins at `header` in `content`. The zone
// ends at the first "[...]" line without a digit. Entries whose text is empty and ids
// outside the table leave the table as it was; without the header nothing changes.
void FillTableFromZone(std::span<Text> table, TextView content, TextView header);

}  // namespace qf
