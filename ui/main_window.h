#pragma once
// The main window without its widgets: the PFO list with its 17 columns, the sort and the
// selection rule, the status fields and title, the periodic timers (status display, traffic
// sampler, start/stop reconciler) and every PFO command that needs no dialog. A desktop view
// renders it; headless, and in service mode, it runs unseen.
//
// Threads: everything runs on the event loop's thread. Other threads reach the window only
// through the PFODisplay calls and the Request... calls, which post (or, for DeleteRow, send)
// their work to that thread. The controller owns the rows and reads the settings record, which
// only this thread touches while the loop runs.

#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

#include "config/settings.h"
#include "engine/engine_state.h"
#include "engine/pfo_display.h"
#include "engine/traffic_statistics.h"
#include "platform/event_loop.h"
#include "ui/pfo_columns.h"
#include "ui/user_prompts.h"

namespace qf {

struct ButtonStates {
    bool edit = false;
    bool remove = false;
    bool start = false;
    bool stop = false;
    bool operator==(const ButtonStates&) const = default;
};

// The global status and the status of the selected PFO, as shown.
struct StatusTexts {
    Text threads;
    Text collectiveRate;
    Text selectedThreads;
    Text selectedSessions;
    Text selectedTotalSessions;
    Text selectedClientBytes;
    Text selectedServerBytes;
    Text selectedClientRate;
    Text selectedServerRate;
};

// The column order and widths the list shows; saved into the active column profile.
struct ListLayout {
    std::array<int32_t, kColumnCount> order{};  // the column at each position
    std::array<int32_t, kColumnCount> widths{};
};

class MainWindowController : public PFODisplay {
  public:
    // `saveSettingsFile` writes the settings record and the PFOs to the settings file.
    MainWindowController(EventLoop& loop, EngineState& engine, Settings& settings,
                         UserPrompts& prompts, std::function<void()> saveSettingsFile);

    // Loop thread. Lays out the columns, fills the list and starts the timers.
    void Open();
    // Loop thread, at shutdown: the timers stop; then, once the settings are saved for the
    // last time, row refreshes and save requests are ignored.
    void StopTimers();
    void MarkSettingsSaved() { settingsSaved_ = true; }

    // PFODisplay: any thread.
    void RefreshRow(const PFO& pfo) override;
    void Resort() override;
    void SaveSettings() override;
    void DropSelection(const PFO& pfo) override;
    bool DeleteRow(const PFO& pfo) override;
    void AfterDelete() override;
    // Any thread: apply the selection rule to `row` (-1: the selection mark); show or end the
    // busy title while network interfaces are enumerated.
    void RequestSelectRow(int row);
    void RequestBusyTitle(bool busy);

    // The view, loop thread.
    size_t RowCount() const { return rows_.size(); }
    const PFOPtr& RowPFO(size_t row) const { return rows_[row].pfo; }
    const Text& CellText(size_t row, int column) const { return rows_[row].texts[column]; }
    const Text& Title() const { return title_; }
    const StatusTexts& Status() const { return status_; }
    const ListLayout& Layout() const { return layout_; }
    ButtonStates Buttons() const;
    const PFOPtr& SelectedPFO() const { return selectedPFO_; }
    // The list's selected rows and its selection mark (-1: none); applies the selection rule.
    void Select(const std::vector<size_t>& rows, int markRow);
    void ClickColumnHeader(int column);
    // The header menu: hides a shown column, shows a hidden one.
    void ToggleColumn(int column);

    // Loop thread: the list from the PFO list; the sort; the layout into the settings record.
    void FillList();
    void Sort();
    void SaveListLayout();

    // Commands, loop thread. Those on the selection tell the user when nothing is selected.
    void StartSelected();
    void StopSelected();
    void DeleteSelected();
    void ResetSelectedStatistics();
    void EnableAll();
    void DisableAll();
    void DeleteAll();
    void RestartStarted();
    // The admin's note: the one to offer for editing (nothing, after telling the user, when
    // no row is selected), and the answer, given to every selected PFO.
    std::optional<Text> NoteForSelection();
    void SetNoteOfSelection(TextView note);
    void CopySelectedPFOs(Clipboard& clipboard);
    void CopyAllPFOs(Clipboard& clipboard);
    void PastePFOs(Clipboard& clipboard);
    // Adds the PFOs of the records in `text` and refills the list; the number added.
    int PastePFOText(TextView text);
    void SwitchColumnProfile();

  private:
    struct Row {
        PFOPtr pfo;
        RowTexts texts;
        bool selected = false;
    };

    // Timers.
    void ShowStatus();
    Text WindowTitle() const;
    void SampleTraffic();

    std::vector<Row>::iterator RowOf(const PFO& pfo);
    Row* FindRow(const PFO& pfo);
    void RefreshRowNow(const PFO& pfo);
    Text SessionsCell(const PFO& pfo) const;
    void RefreshOutboundLocalCells(Row& row);
    void ApplySelectionRule(int row);
    bool RemoveRow(const PFO& pfo);
    void SaveNow();

    // The PFOs a command acts on; empty (after telling the user) when nothing is selected.
    std::vector<PFOPtr> SelectedPFOsOrComplain();
    std::vector<PFOPtr> PFOsOfRows(bool selectedOnly, bool lastFirst) const;
    void DeleteOne(const PFOPtr& pfo);
    void CopyRecords(Clipboard& clipboard, const std::vector<PFOPtr>& pfos);
    void LoadColumnWidths();

    EventLoop& loop_;
    EngineState& engine_;
    Settings& settings_;
    UserPrompts& prompts_;
    const std::function<void()> saveSettingsFile_;

    std::vector<Row> rows_;
    PFOPtr markPFO_;      // the list's selection mark
    PFOPtr selectedPFO_;  // the selection rule's outcome
    ListLayout layout_;
    StatusTexts status_;
    Text title_;
    bool busyTitle_ = false;
    bool settingsSaved_ = false;
    int32_t sessionTotal_ = 0;
    TrafficSampler sampler_;
    // Save requests that arrive together are written once.
    std::atomic<bool> savePending_{false};
};

}  // namespace qf
