// The main window's PFO commands that need no dialog.

#include "config/pfo_record.h"
#include "config/text_files.h"
#include "config/text_helpers.h"
#include "engine/lifecycle.h"
#include "ui/main_window.h"

namespace qf {
namespace {

constexpr int kNothingSelectedText = 125;
constexpr int kNothingSelectedTitle = 126;
constexpr int kNotWhileStoppingTitle = 128;
constexpr int kNoDeleteWhileStoppingText = 130;
constexpr int kConfirmDeleteText = 131;
constexpr int kConfirmTitle = 132;
constexpr int kConfirmDeleteAllText = 147;
constexpr int kPastedText = 19;
constexpr int kNothingPastedText = 29;
constexpr int kErrorTitle = 12;
constexpr int kSuccessTitle = 73;
constexpr int kFailureTitle = 74;
// Narrower than this, the note column is widened when a note is set.
constexpr int32_t kNarrowNoteColumn = 8;
constexpr int32_t kWidenedNoteColumn = 100;

Text NoteOf(const PFO& pfo) {
    std::lock_guard lock(pfo.ConfigLock);
    return pfo.Note;
}

}  // namespace

std::vector<PFOPtr> MainWindowController::PFOsOfRows(bool selectedOnly, bool lastFirst) const {
    std::vector<PFOPtr> pfos;
    for (const Row& row : rows_)
        if (row.selected || !selectedOnly) pfos.push_back(row.pfo);
    if (lastFirst) std::reverse(pfos.begin(), pfos.end());
    return pfos;
}

std::vector<PFOPtr> MainWindowController::SelectedPFOsOrComplain() {
    std::vector<PFOPtr> pfos = PFOsOfRows(true, false);
    if (pfos.empty())
        prompts_.ShowMessage(engine_.texts.Program(kNothingSelectedTitle),
                             engine_.texts.Program(kNothingSelectedText), MessageIcon::Error);
    return pfos;
}

void MainWindowController::StartSelected() {
    for (const PFOPtr& pfo : SelectedPFOsOrComplain()) RequestStart(*pfo, *this);
    Resort();
}

void MainWindowController::StopSelected() {
    for (const PFOPtr& pfo : SelectedPFOsOrComplain()) RequestStop(*pfo, *this);
    Resort();
}

void MainWindowController::EnableAll() {
    for (const PFOPtr& pfo : PFOsOfRows(false, true)) RequestStart(*pfo, *this);
    Resort();
}

void MainWindowController::DisableAll() {
    for (const PFOPtr& pfo : PFOsOfRows(false, true)) RequestStop(*pfo, *this);
    Resort();
}

void MainWindowController::DeleteSelected() {
    const std::vector<PFOPtr> pfos = SelectedPFOsOrComplain();
    if (pfos.empty() || !prompts_.AskYesNo(engine_.texts.Program(kConfirmTitle),
                                           engine_.texts.Program(kConfirmDeleteText)))
        return;
    for (const PFOPtr& pfo : pfos) DeleteOne(pfo);
}

void MainWindowController::DeleteAll() {
    if (!prompts_.AskYesNo(engine_.texts.Program(kConfirmTitle),
                           engine_.texts.Program(kConfirmDeleteAllText)))
        return;
    for (const PFOPtr& pfo : PFOsOfRows(false, true)) DeleteOne(pfo);
    Resort();
}

void MainWindowController::DeleteOne(const PFOPtr& pfo) {
    if (pfo->Status == PFOStatus::Stopping) {
        prompts_.ShowMessage(engine_.texts.Program(kNotWhileStoppingTitle),
                             engine_.texts.Program(kNoDeleteWhileStoppingText),
                             MessageIcon::Warning);
    } else if (!DeletePFO(pfo, *this)) {
        prompts_.ShowMessage(engine_.texts.General(kErrorTitle),
                             u"Error creating StopperDeletorThread()", MessageIcon::Error);
    }
}

void MainWindowController::ResetSelectedStatistics() {
    for (const PFOPtr& pfo : SelectedPFOsOrComplain()) {
        ResetStatistics(*pfo);
        RefreshRowNow(*pfo);
    }
}

void MainWindowController::RestartStarted() {
    std::lock_guard lock(engine_.pfos.PFOListLock);
    for (const PFOPtr& pfo : engine_.pfos.Items())
        if (pfo->Enabled && pfo->Status == PFOStatus::Started) LaunchStopper(pfo, *this);
}

std::optional<Text> MainWindowController::NoteForSelection() {
    const std::vector<PFOPtr> pfos = SelectedPFOsOrComplain();
    if (pfos.empty()) return std::nullopt;
    Text note;
    for (const PFOPtr& pfo : pfos)
        if (Text own = NoteOf(*pfo); !IsBlankText(own)) note = std::move(own);
    return note;
}

void MainWindowController::SetNoteOfSelection(TextView note) {
    for (const PFOPtr& pfo : PFOsOfRows(true, false)) {
        {
            std::lock_guard lock(pfo->ConfigLock);
            pfo->Note = Text(note);
        }
        RefreshRowNow(*pfo);
    }
    int32_t& width = layout_.widths[kNoteColumn];
    if (!IsBlankText(note) && width < kNarrowNoteColumn) width = kWidenedNoteColumn;
    SaveSettings();
}

void MainWindowController::CopySelectedPFOs(Clipboard& clipboard) {
    CopyRecords(clipboard, SelectedPFOsOrComplain());
}

void MainWindowController::CopyAllPFOs(Clipboard& clipboard) {
    CopyRecords(clipboard, PFOsOfRows(false, true));
}

void MainWindowController::CopyRecords(Clipboard& clipboard, const std::vector<PFOPtr>& pfos) {
    if (pfos.empty()) return;
    Text records;
    for (const PFOPtr& pfo : pfos) records += WritePFORecord(*pfo) + u"\r\n";
    clipboard.WriteText(records);
}

void MainWindowController::PastePFOs(Clipboard& clipboard) {
    const Text text = NormalizeLineEnds(u"\r\n" + clipboard.ReadText());
    if (PastePFOText(text) > 0) {
        prompts_.ShowMessage(engine_.texts.General(kSuccessTitle),
                             engine_.texts.Program(kPastedText), MessageIcon::Information);
    } else if (text.find(u"\r\nPFO\t") == Text::npos) {
        prompts_.ShowMessage(engine_.texts.General(kFailureTitle),
                             engine_.texts.Program(kNothingPastedText), MessageIcon::Error);
    }
}

int MainWindowController::PastePFOText(TextView text) {
    const int added = ParsePFORecordList(engine_, text, false, kCurrentRecordVersion);
    FillList();
    if (added > 0) SaveSettings();
    return added;
}

void MainWindowController::SwitchColumnProfile() {
    SaveListLayout();
    settings_.ShowUncommonColumns = !settings_.ShowUncommonColumns;
    LoadColumnWidths();
    SaveSettings();
}

}  // namespace qf
