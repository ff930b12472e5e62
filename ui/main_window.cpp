#include "ui/main_window.h"

#include <algorithm>

#include "config/display_formats.h"
#include "config/product.h"
#include "config/text_helpers.h"
#include "config/traffic_texts.h"
#include "config/value_codecs.h"
#include "engine/lifecycle.h"
#include "ui/row_order.h"

namespace qf {
namespace {

constexpr int kStatusTimer = 133;
constexpr int kTrafficTimer = 134;
constexpr int kReconcileTimer = 135;
constexpr int kStatusPeriodMs = 20;
constexpr int kTrafficPeriodMs = 100;
constexpr int kSessionsTitleText = 111;
constexpr int kBusyTitleText = 1004;

int Sign(int value) { return (value > 0) - (value < 0); }

}  // namespace

MainWindowController::MainWindowController(EventLoop& loop, EngineState& engine, Settings& settings,
                                           UserPrompts& prompts,
                                           std::function<void()> saveSettingsFile)
    : loop_(loop),
      engine_(engine),
      settings_(settings),
      prompts_(prompts),
      saveSettingsFile_(std::move(saveSettingsFile)),
      title_(kProductName) {}

void MainWindowController::Open() {
    std::array<int32_t, kColumnCount> stored;
    for (int i = 0; i < kColumnCount; ++i) stored[i] = settings_.Columns[i].Order;
    layout_.order = NormalizedColumnOrder(stored);
    LoadColumnWidths();
    FillList();
    loop_.SetTimer(kStatusTimer, kStatusPeriodMs, [this] { ShowStatus(); });
    loop_.SetTimer(kTrafficTimer, kTrafficPeriodMs, [this] { SampleTraffic(); });
    std::atomic<int32_t>& interval = engine_.preferences.StartStopInterval;
    interval = std::max(1, interval.load());
    loop_.SetTimer(kReconcileTimer, interval, [this] { Reconcile(engine_, *this); });
}

void MainWindowController::StopTimers() {
    for (int timer : {kStatusTimer, kTrafficTimer, kReconcileTimer}) loop_.KillTimer(timer);
}

void MainWindowController::RefreshRow(const PFO& pfo) {
    loop_.Post([this, pfo = pfo.shared_from_this()] { RefreshRowNow(*pfo); });
}

void MainWindowController::Resort() {
    loop_.Post([this] { Sort(); });
}

void MainWindowController::SaveSettings() {
    if (savePending_.exchange(true)) return;
    loop_.Post([this] {
        savePending_ = false;
        SaveNow();
    });
}

void MainWindowController::DropSelection(const PFO& pfo) {
    loop_.Post([this, pfo = pfo.shared_from_this()] {
        if (selectedPFO_ != pfo) return;
        if (Row* row = FindRow(*pfo)) row->selected = false;
        selectedPFO_ = nullptr;
    });
}

bool MainWindowController::DeleteRow(const PFO& pfo) {
    bool removed = false;
    return loop_.Send([&] { removed = RemoveRow(pfo); }) && removed;
}

void MainWindowController::AfterDelete() {
    loop_.Post([this] { ApplySelectionRule(-1); });
    // The deletion is saved once the PFO has left the list.
    SaveSettings();
}

void MainWindowController::RequestSelectRow(int row) {
    loop_.Post([this, row] {
        if (row >= 0 && size_t(row) < rows_.size())
            Select({size_t(row)}, row);
        else
            ApplySelectionRule(-1);
    });
}

void MainWindowController::RequestBusyTitle(bool busy) {
    loop_.Post([this, busy] {
        busyTitle_ = busy;
        ShowStatus();
    });
}

ButtonStates MainWindowController::Buttons() const {
    if (!selectedPFO_) return {};
    const bool enabled = selectedPFO_->Enabled;
    return {true, true, !enabled, enabled};
}

void MainWindowController::Select(const std::vector<size_t>& rows, int markRow) {
    for (Row& row : rows_) row.selected = false;
    for (size_t index : rows)
        if (index < rows_.size()) rows_[index].selected = true;
    const bool markValid = markRow >= 0 && size_t(markRow) < rows_.size();
    markPFO_ = markValid ? rows_[size_t(markRow)].pfo : nullptr;
    ApplySelectionRule(-1);
}

void MainWindowController::ApplySelectionRule(int row) {
    const Row* chosen = row >= 0 && size_t(row) < rows_.size() ? &rows_[size_t(row)]
                        : markPFO_                             ? FindRow(*markPFO_)
                                                               : nullptr;
    const bool anySelected =
        std::any_of(rows_.begin(), rows_.end(), [](const Row& r) { return r.selected; });
    selectedPFO_ = chosen && anySelected ? chosen->pfo : nullptr;
}

void MainWindowController::ClickColumnHeader(int column) {
    settings_.SortFromColumn = column;
    settings_.SortDirection = settings_.SortDirection < 0 ? 1 : -1;
    Sort();
}

void MainWindowController::ToggleColumn(int column) {
    if (column < 0 || column >= kColumnCount) return;
    constexpr int32_t kShownAgainWidth = 100;
    int32_t& width = layout_.widths[column];
    width = width >= kShownColumnWidth ? 0 : kShownAgainWidth;
}

void MainWindowController::FillList() {
    std::vector<PFOPtr> selected = PFOsOfRows(true, false);
    rows_.clear();
    for (const PFOPtr& pfo : engine_.pfos.Snapshot()) {
        const bool wasSelected = std::find(selected.begin(), selected.end(), pfo) != selected.end();
        rows_.push_back({pfo, {}, wasSelected});
        RefreshRowNow(*pfo);
    }
    Sort();
    ApplySelectionRule(-1);
}

void MainWindowController::Sort() {
    const int column = settings_.SortFromColumn;
    if (column < 0 || column >= kColumnCount) return;
    const int direction = Sign(settings_.SortDirection);
    StableSortRows(rows_.begin(), rows_.end(), [&](const Row& a, const Row& b) {
        return Sign(CompareRowTexts(a.texts[column], b.texts[column])) * direction < 0;
    });
}

void MainWindowController::SaveListLayout() {
    for (int i = 0; i < kColumnCount; ++i) {
        PFOListColumn& column = settings_.Columns[i];
        column.Order = layout_.order[i];
        (settings_.ShowUncommonColumns ? column.WidthExpanded : column.Width) = layout_.widths[i];
    }
}

void MainWindowController::LoadColumnWidths() {
    for (int i = 0; i < kColumnCount; ++i) {
        const PFOListColumn& column = settings_.Columns[i];
        layout_.widths[i] = settings_.ShowUncommonColumns ? column.WidthExpanded : column.Width;
    }
}

void MainWindowController::ShowStatus() {
    status_.threads = FormatIntegerText(engine_.ThreadCount);
    title_ = WindowTitle();
    if (!selectedPFO_) return;
    const PFO& pfo = *selectedPFO_;
    status_.selectedThreads = FormatIntegerText(pfo.PFOThreadCount);
    status_.selectedSessions = FormatIntegerText(pfo.SessionCount);
    status_.selectedTotalSessions = FormatIntegerText(pfo.TotalSessions);
    const TrafficTexts traffic = FormatTraffic(pfo, settings_.DataFormatBitsPerSecond);
    status_.selectedClientBytes = traffic.clientBytes;
    status_.selectedServerBytes = traffic.serverBytes;
}

Text MainWindowController::WindowTitle() const {
    if (busyTitle_) return engine_.texts.Program(kBusyTitleText);
    if (sessionTotal_ < 1) return Text(kProductName);
    Text title = engine_.texts.Program(kSessionsTitleText);
    ReplaceAll(title, u"2", FormatIntegerText(sessionTotal_));
    return title + u" -- Ferrox";
}

void MainWindowController::SampleTraffic() {
    const TrafficSample sample = sampler_.Sample(engine_, settings_.DataFormatBitsPerSecond);
    for (const PFOPtr& pfo : sample.changedRows)
        if (Row* row = FindRow(*pfo)) row->texts[kSessionsColumn] = SessionsCell(*pfo);
    for (Row& row : rows_) RefreshOutboundLocalCells(row);
    const bool inBits = settings_.DataFormatBitsPerSecond;
    status_.selectedClientRate = status_.selectedServerRate = FormatDataRate(0.0, inBits);
    if (selectedPFO_) {
        const TrafficTexts selected = FormatTraffic(*selectedPFO_, inBits);
        status_.selectedClientRate = selected.clientRate;
        status_.selectedServerRate = selected.serverRate;
    }
    status_.collectiveRate = FormatDataRate(sample.collectiveBytesPerSecond, inBits);
    sessionTotal_ = sample.totalSessions;
}

std::vector<MainWindowController::Row>::iterator MainWindowController::RowOf(const PFO& pfo) {
    return std::find_if(rows_.begin(), rows_.end(),
                        [&](const Row& r) { return r.pfo.get() == &pfo; });
}

MainWindowController::Row* MainWindowController::FindRow(const PFO& pfo) {
    auto row = RowOf(pfo);
    return row == rows_.end() ? nullptr : &*row;
}

void MainWindowController::RefreshRowNow(const PFO& pfo) {
    Row* row = FindRow(pfo);
    if (!row || settingsSaved_) return;
    // A status shown by any refresh counts as shown. Otherwise a row redrawn by a command shows
    // a status the reconciler never saw, and when the status returns to the one it saw last
    // (a quick stop), the reconciler leaves the row as it is. Taken before the texts, so that
    // a change in between is drawn at the next tick.
    row->pfo->LastShownStatus = row->pfo->Status;
    row->texts = PFORowTexts(pfo);
    row->texts[kSessionsColumn] = SessionsCell(pfo);
}

Text MainWindowController::SessionsCell(const PFO& pfo) const {
    return FormatTraffic(pfo, settings_.DataFormatBitsPerSecond).sessions;
}

void MainWindowController::RefreshOutboundLocalCells(Row& row) {
    {
        std::lock_guard lock(row.pfo->ResolvedLock);
        if (!row.pfo->OLDisplayStale) return;
        row.pfo->OLDisplayStale = false;
    }
    const RowTexts texts = PFORowTexts(*row.pfo);
    for (int column : {kOLMACColumn, kOLAdapterColumn, kOLAddressColumn})
        row.texts[column] = texts[column];
}

bool MainWindowController::RemoveRow(const PFO& pfo) {
    auto row = RowOf(pfo);
    if (row == rows_.end()) return false;
    if (selectedPFO_.get() == &pfo) selectedPFO_ = nullptr;
    if (markPFO_.get() == &pfo) markPFO_ = nullptr;
    rows_.erase(row);
    return true;
}

void MainWindowController::SaveNow() {
    if (settingsSaved_) return;
    SaveListLayout();
    saveSettingsFile_();
}

}  // namespace qf
