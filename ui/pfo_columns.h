#pragma once
// The PFO list's 17 columns: titles, the texts of a row, and the order and widths the user
// gave them. Pure functions; the texts of a PFO are read under its own locks.

#include <array>
#include <cstdint>

#include "engine/pfo.h"
#include "platform/text_catalog.h"

namespace qf {

inline constexpr int kColumnCount = 17;

enum PFOColumn : int {
    kStatusColumn,
    kProtocolColumn,
    kLocalIPColumn,
    kLocalPortColumn,
    kRemoteHostColumn,
    kRemotePortColumn,
    kNoteColumn,
    kOnOffColumn,
    kStandardOptionsColumn,
    kAdvancedOptionsColumn,
    kMACColumn,
    kAdapterColumn,
    kSessionsColumn,
    kOLMACColumn,
    kOLAdapterColumn,
    kOLAddressColumn,
    kOLPortColumn,
};

using RowTexts = std::array<Text, kColumnCount>;

Text ColumnTitle(const TextCatalog& texts, int column);

// The MAC address a host specification names, as 00-11-22-33-44-55-00; empty when it names
// none.
Text MACForm(TextView specification);

// What the adapter column shows for one side of a PFO: the interface name written after the
// last "/" of a MAC specification (else the description its resolution gave), or a name that
// resolved to another text.
Text AdapterName(TextView specification, TextView resolvedText, TextView resolveDetail);

// Every column of the PFO's row except the sessions column, which the rate sampler writes.
RowTexts PFORowTexts(const PFO& pfo);

// The column shown at each position. A stored entry outside 0..16, or one naming a column an
// earlier position already shows, is replaced: by its own number when no position shows that
// column, else by the smallest column not shown, so the result always shows every column once.
std::array<int32_t, kColumnCount> NormalizedColumnOrder(
    const std::array<int32_t, kColumnCount>& stored);

// A column narrower than this counts as hidden.
inline constexpr int32_t kShownColumnWidth = 11;

}  // namespace qf
