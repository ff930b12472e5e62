#pragma once
// The one-line, tab-separated text form of a PFO, in which the settings file, the clipboard
// and the range creator keep PFOs. The writer always writes the current form; the reader also
// takes the forms of older settings versions, told apart by the version its caller passes.

#include <vector>

#include "engine/engine_state.h"
#include "platform/text.h"

namespace qf {

// The version of records made by the running program (clipboard, range creator).
inline constexpr double kCurrentRecordVersion = 100;

// One PFO's record, without a line break. Takes the PFO's ConfigLock and FilterLock.
Text WritePFORecord(const PFO& pfo);
// Every PFO's record in list order, each preceded by CR LF. Holds PFOListLock.
Text WritePFORecords(PFOList& list);

// Fills `pfo` from one record, which may begin with its marker ("\r\nPFO\t" or "PFO\t").
// Reading ends at the record's line end or at an empty endpoint field; fields it does not
// reach keep their values, and no limits are applied. The host fields are resolved on the way,
// so this may wait for name lookups. Takes the PFO's locks; call it on no PFO that runs.
void ParsePFORecord(PFO& pfo, TextView text, double version);

// A new PFO, made from the engine's defaults and appended, for every line of `text` that
// begins with the marker; other lines are ignored. With `clearFirst` the list is emptied
// before. Returns the number of PFOs made. Holds PFOListLock while it reads.
int ParsePFORecordList(EngineState& engine, TextView text, bool clearFirst, double version);

// Extra destinations in their text form "host|port, host|port": entries at ",", host and
// port at the first of `separators`. Stars and leading spaces leave the host; blank entries
// are skipped.
std::vector<RemoteDestination> ParseDestinationList(TextView text, TextView separators);
// "host|port", with `prefix` in front of the host.
Text FormatDestination(TextView prefix, const RemoteDestination& destination);

}  // namespace qf
