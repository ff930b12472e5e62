#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <thread>

#include "config/pfo_record.h"
#include "engine/engine_fixture.h"
#include "logging/english.h"
#include "platform/clock.h"

namespace qf {
namespace {

struct Message {
    Text title;
    Text text;
    MessageIcon icon;
};

// Touched on the window's thread only; the test reads it after a Send, which orders it.
class RecordingPrompts : public UserPrompts {
  public:
    void ShowMessage(TextView title, TextView text, MessageIcon icon) override {
        messages.push_back({Text(title), Text(text), icon});
    }
    bool AskYesNo(TextView title, TextView text) override {
        questions.push_back({Text(title), Text(text), MessageIcon::Warning});
        return answerYes;
    }
    std::vector<Message> messages, questions;
    bool answerYes = true;
};

class TextClipboard : public Clipboard {
  public:
    Text ReadText() override { return text; }
    void WriteText(TextView written) override { text = Text(written); }
    Text text;
};

// The window runs on a thread of its own, as it does under the program's loop; the test acts
// on it through Send, which also waits for everything posted before.
class MainWindowTest : public ::testing::Test {
  protected:
    MainWindowTest() {
        testing::LoadEnglish(texts_);
        engine_.preferences.StartStopInterval = 20;
        windowThread_ = std::thread([this] { loop_.Run(); });
    }

    ~MainWindowTest() override {
        for (const PFOPtr& pfo : engine_.pfos.Snapshot()) {
            pfo->Enabled = false;
            EXPECT_TRUE(WaitUntil([&] { return !pfo->WorkerActive; }));
            StopPFO(*pfo);
        }
        EXPECT_TRUE(WaitUntil([&] {
            std::lock_guard lock(engine_.CounterLock);
            return engine_.ThreadCount == 1;
        }));
        loop_.Quit();
        windowThread_.join();
    }

    template <class Action>
    void OnWindow(Action action) {
        ASSERT_TRUE(loop_.Send(action));
    }

    static bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
        const int64_t deadline = MonotonicMs() + timeoutMs;
        while (!condition()) {
            if (MonotonicMs() > deadline) return false;
            SleepMs(2);
        }
        return true;
    }

    bool WaitOnWindow(const std::function<bool()>& condition) {
        return WaitUntil([&] {
            bool met = false;
            loop_.Send([&] { met = condition(); });
            return met;
        });
    }

    PFOPtr AddPFO(Protocol protocol, uint16_t localPort, bool enabled = false) {
        PFOPtr pfo = engine_.pfos.CreateAndAppend(engine_);
        pfo->protocol = protocol;
        pfo->LocalPort = localPort;
        pfo->Enabled = enabled;
        pfo->RemoteHost = u"127.0.0.1";
        return pfo;
    }

    std::vector<Text> ColumnTexts(int column) {
        std::vector<Text> texts;
        OnWindow([&] {
            for (size_t row = 0; row < window_.RowCount(); ++row)
                texts.push_back(window_.CellText(row, column));
        });
        return texts;
    }

    void SelectRows(const std::vector<size_t>& rows, int mark) {
        OnWindow([&] { window_.Select(rows, mark); });
    }

    int Saves() {
        int saves = 0;
        OnWindow([&] { saves = saves_; });
        return saves;
    }

    TextCatalog texts_;
    EngineState engine_{texts_};
    Settings settings_;
    RecordingPrompts prompts_;
    int saves_ = 0;
    EventLoop loop_;
    MainWindowController window_{loop_, engine_, settings_, prompts_, [this] { ++saves_; }};
    std::thread windowThread_;
};

TEST_F(MainWindowTest, SortsNumbersLargestFirstAndTextsSmallestFirst) {
    AddPFO(Protocol::UDP, 80);
    AddPFO(Protocol::TCP, 8080);
    AddPFO(Protocol::UDP, 443);
    AddPFO(Protocol::TCP, 80);
    settings_.SortFromColumn = kLocalPortColumn;
    settings_.SortDirection = 1;
    OnWindow([&] { window_.FillList(); });
    EXPECT_EQ(ColumnTexts(kLocalPortColumn), (std::vector<Text>{u"8080", u"443", u"80", u"80"}));
    EXPECT_EQ(ColumnTexts(kProtocolColumn), (std::vector<Text>{u"TCP", u"UDP", u"UDP", u"TCP"}));

    settings_.SortFromColumn = kProtocolColumn;  // stable: equal protocols keep their order
    OnWindow([&] { window_.Sort(); });
    EXPECT_EQ(ColumnTexts(kProtocolColumn), (std::vector<Text>{u"TCP", u"TCP", u"UDP", u"UDP"}));
    EXPECT_EQ(ColumnTexts(kLocalPortColumn), (std::vector<Text>{u"8080", u"80", u"443", u"80"}));

    OnWindow([&] { window_.ClickColumnHeader(kLocalPortColumn); });  // reverses the direction
    EXPECT_EQ(settings_.SortDirection, -1);
    EXPECT_EQ(ColumnTexts(kLocalPortColumn), (std::vector<Text>{u"80", u"80", u"443", u"8080"}));
}

TEST_F(MainWindowTest, SelectionRuleEnablesTheButtonsForTheSelectedPFO) {
    const ButtonStates none{};
    ButtonStates buttons;
    auto buttonsNow = [&] {
        OnWindow([&] { buttons = window_.Buttons(); });
        return buttons;
    };
    OnWindow([&] { window_.FillList(); });
    EXPECT_EQ(buttonsNow(), none);  // no rows

    PFOPtr on = AddPFO(Protocol::TCP, 1001, true);
    PFOPtr off = AddPFO(Protocol::TCP, 1000, false);
    settings_.SortFromColumn = kLocalPortColumn;
    OnWindow([&] { window_.FillList(); });  // rows: on (1001), off (1000)
    EXPECT_EQ(buttonsNow(), none);          // nothing selected

    SelectRows({0}, 0);
    EXPECT_EQ(buttonsNow(), (ButtonStates{true, true, false, true}));
    SelectRows({1}, 1);
    EXPECT_EQ(buttonsNow(), (ButtonStates{true, true, true, false}));
    SelectRows({1}, 0);  // the mark decides, although its row is not selected
    OnWindow([&] { EXPECT_EQ(window_.SelectedPFO(), on); });
    SelectRows({}, 0);
    EXPECT_EQ(buttonsNow(), none);

    SelectRows({1}, 1);
    window_.DropSelection(*on);  // not the selected PFO: nothing changes
    OnWindow([&] { EXPECT_EQ(window_.SelectedPFO(), off); });
    window_.DropSelection(*off);
    EXPECT_EQ(buttonsNow(), none);

    window_.RequestSelectRow(0);
    OnWindow([&] { EXPECT_EQ(window_.SelectedPFO(), on); });
}

TEST_F(MainWindowTest, TitleCountsTheSessionsOfAllPFOs) {
    PFOPtr pfo = AddPFO(Protocol::TCP, 1000);
    OnWindow([&] { window_.Open(); });
    auto titleIs = [&](TextView expected) {
        return WaitOnWindow([&] { return window_.Title() == expected; });
    };
    EXPECT_TRUE(titleIs(u"Quillmark Ferrox"));
    pfo->SessionCount = 1;
    pfo->ClientBytes = 2048.0;
    EXPECT_TRUE(titleIs(u"1 sessions -- Ferrox"));
    SelectRows({0}, 0);
    EXPECT_TRUE(WaitOnWindow([&] {
        const StatusTexts& status = window_.Status();
        return status.selectedSessions == u"1" && status.selectedClientBytes == u"2.00 KB" &&
               status.selectedServerRate == u"0.00 bps" && status.collectiveRate == u"0.00 bps";
    }));
    EXPECT_TRUE(
        WaitOnWindow([&] { return window_.CellText(0, kSessionsColumn) == u"1/0 (0.00 bps)"; }));
    window_.RequestBusyTitle(true);
    EXPECT_TRUE(titleIs(u"Please wait while network interfaces are enumerated..."));
    window_.RequestBusyTitle(false);
    pfo->SessionCount = 0;
    EXPECT_TRUE(titleIs(u"Quillmark Ferrox"));
    OnWindow([&] { window_.StopTimers(); });
}

TEST_F(MainWindowTest, LayoutComesFromTheActiveColumnProfile) {
    settings_.Columns[4].Order = 17;
    settings_.Columns[9].Order = -1;
    OnWindow([&] { window_.Open(); });
    ListLayout layout;
    OnWindow([&] { layout = window_.Layout(); });
    for (int i = 0; i < kColumnCount; ++i) {
        EXPECT_EQ(layout.order[i], kDefaultPFOListColumns[i].Order) << i;
        EXPECT_EQ(layout.widths[i], kDefaultPFOListColumns[i].Width) << i;
    }
    OnWindow([&] {
        window_.ToggleColumn(kNoteColumn);    // hidden: shown at 100
        window_.ToggleColumn(kStatusColumn);  // shown: hidden
        window_.SwitchColumnProfile();        // saves the compact widths first
        layout = window_.Layout();
        window_.StopTimers();
    });
    EXPECT_EQ(Saves(), 1);  // also waits for the save, which writes the settings record
    EXPECT_TRUE(settings_.ShowUncommonColumns);
    EXPECT_EQ(settings_.Columns[kNoteColumn].Width, 100);
    EXPECT_EQ(settings_.Columns[kStatusColumn].Width, 0);
    EXPECT_EQ(settings_.Columns[4].Order, kDefaultPFOListColumns[4].Order);
    EXPECT_EQ(layout.widths[kOLAdapterColumn],
              kDefaultPFOListColumns[kOLAdapterColumn].WidthExpanded);
}

TEST_F(MainWindowTest, StartStopAndRestartSetTheWishAndTheReconcilerFollows) {
    testing::TestServer server(testing::Echo);
    PFOPtr pfo = AddPFO(Protocol::TCP, testing::FreePort());
    pfo->LocalIP = u"127.0.0.1";
    pfo->RemoteHost = u"127.0.0.1";
    pfo->RemotePort = server.port();
    OnWindow([&] {
        window_.Open();
        window_.StartSelected();
    });
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].text,
              u"There is no currently selected port-forwarding-operation.");

    SelectRows({0}, 0);
    OnWindow([&] { window_.StartSelected(); });
    EXPECT_TRUE(pfo->Enabled);
    EXPECT_TRUE(WaitOnWindow([&] { return window_.CellText(0, kStatusColumn) == u"Started"; }));
    EXPECT_EQ(ColumnTexts(kOnOffColumn), std::vector<Text>{u"Enabled"});
    EXPECT_EQ(Saves(), 1);
    Socket held = testing::ConnectTo(pfo->LocalPort);
    EXPECT_EQ(testing::RoundTrip(held, "through the window"), "through the window");
    EXPECT_TRUE(WaitUntil([&] { return pfo->SessionCount == 1; }));

    OnWindow([&] { window_.RestartStarted(); });  // the stop ends the session
    EXPECT_TRUE(WaitUntil([&] { return pfo->SessionCount == 0; }));
    EXPECT_TRUE(WaitUntil([&] { return pfo->Status == PFOStatus::Started; }));
    Socket again = testing::ConnectTo(pfo->LocalPort);
    EXPECT_EQ(testing::RoundTrip(again, "after the restart"), "after the restart");

    SelectRows({0}, 0);  // the stop of the restart dropped the selection
    OnWindow([&] { window_.StopSelected(); });
    EXPECT_TRUE(WaitOnWindow([&] { return window_.CellText(0, kStatusColumn) == u"Stopped"; }));
    EXPECT_EQ(ColumnTexts(kOnOffColumn), std::vector<Text>{u"Disabled"});
    OnWindow([&] { window_.StopTimers(); });
}

TEST_F(MainWindowTest, DeleteAsksRefusesAStoppingPFOAndSavesOnceTheRowIsGone) {
    PFOPtr stopping = AddPFO(Protocol::TCP, 1001);
    PFOPtr stopped = AddPFO(Protocol::TCP, 1000);
    settings_.SortFromColumn = kLocalPortColumn;
    OnWindow([&] { window_.FillList(); });
    stopping->Status = PFOStatus::Stopping;

    SelectRows({0, 1}, 0);
    prompts_.answerYes = false;
    OnWindow([&] { window_.DeleteSelected(); });
    EXPECT_EQ(engine_.pfos.Count(), 2);

    prompts_.answerYes = true;
    OnWindow([&] { window_.DeleteSelected(); });
    ASSERT_EQ(prompts_.questions.size(), 2u);
    EXPECT_EQ(prompts_.questions[1].text,
              u"Are you sure you wish to delete the currently selected port forwarding operation?");
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].title, u"Not while stopping");
    EXPECT_EQ(prompts_.messages[0].text, u"You may not delete this item while it is stopping.");

    EXPECT_TRUE(WaitUntil([&] { return engine_.pfos.Count() == 1; }));
    EXPECT_TRUE(WaitOnWindow([&] { return window_.RowCount() == 1 && saves_ == 1; }));
    OnWindow([&] {
        EXPECT_EQ(window_.RowPFO(0), stopping);
        EXPECT_EQ(window_.SelectedPFO(), stopping);  // the mark stayed on it
    });
    stopping->Status = PFOStatus::Stopped;
}

TEST_F(MainWindowTest, DeleteAllRemovesEveryPFO) {
    for (uint16_t port : {1000, 1001, 1002}) AddPFO(Protocol::UDP, port);
    OnWindow([&] { window_.FillList(); });
    SelectRows({1}, 1);
    OnWindow([&] { window_.DeleteAll(); });
    EXPECT_TRUE(prompts_.questions.at(0).text.starts_with(
        u"Are you sure you wish to delete all current port forwards?"));
    EXPECT_TRUE(WaitUntil([&] { return engine_.pfos.Count() == 0; }));
    EXPECT_TRUE(WaitOnWindow([&] {
        return window_.RowCount() == 0 && !window_.SelectedPFO() &&
               window_.Buttons() == ButtonStates{};
    }));
}

TEST_F(MainWindowTest, CopiesAndPastesPFORecords) {
    PFOPtr first = AddPFO(Protocol::TCP, 2001);
    PFOPtr second = AddPFO(Protocol::UDP, 2002);
    settings_.SortFromColumn = kLocalPortColumn;
    OnWindow([&] { window_.FillList(); });  // rows: 2002, 2001
    TextClipboard clipboard;
    OnWindow([&] { window_.CopyAllPFOs(clipboard); });  // from the last row to the first
    EXPECT_EQ(clipboard.text, WritePFORecord(*first) + u"\r\n" + WritePFORecord(*second) + u"\r\n");

    SelectRows({0}, 0);
    OnWindow([&] { window_.CopySelectedPFOs(clipboard); });
    EXPECT_EQ(clipboard.text, WritePFORecord(*second) + u"\r\n");

    OnWindow([&] { window_.CopyAllPFOs(clipboard); });
    std::erase(clipboard.text, u'\r');  // as a Linux program would hand it over
    OnWindow([&] { window_.PastePFOs(clipboard); });
    EXPECT_EQ(engine_.pfos.Count(), 4);
    EXPECT_EQ(ColumnTexts(kLocalPortColumn),
              (std::vector<Text>{u"2002", u"2002", u"2001", u"2001"}));
    ASSERT_EQ(prompts_.messages.size(), 1u);
    EXPECT_EQ(prompts_.messages[0].text, u"The port forwards (PFOs) were created successfully!");
    EXPECT_TRUE(WaitOnWindow([&] { return saves_ == 1; }));

    clipboard.text = u"no forwarding here\r\nPF0\tlookalike";
    OnWindow([&] { window_.PastePFOs(clipboard); });
    EXPECT_EQ(engine_.pfos.Count(), 4);
    ASSERT_EQ(prompts_.messages.size(), 2u);
    EXPECT_EQ(prompts_.messages[1].text, u"No PFOs were found in the clipboard.");
    EXPECT_EQ(prompts_.messages[1].icon, MessageIcon::Error);
}

TEST_F(MainWindowTest, NoteIsOfferedFromTheSelectionAndSetOnAllOfIt) {
    PFOPtr a = AddPFO(Protocol::TCP, 3003);
    PFOPtr b = AddPFO(Protocol::TCP, 3002);
    PFOPtr c = AddPFO(Protocol::TCP, 3001);
    a->Note = u"first";
    b->Note = u"second";
    c->Note = u"  ";
    settings_.SortFromColumn = kLocalPortColumn;
    OnWindow([&] {
        window_.Open();
        window_.StopTimers();
    });
    std::optional<Text> offered;
    OnWindow([&] { offered = window_.NoteForSelection(); });
    EXPECT_FALSE(offered);
    EXPECT_EQ(prompts_.messages.size(), 1u);

    SelectRows({0, 1, 2}, 0);
    OnWindow([&] { offered = window_.NoteForSelection(); });
    EXPECT_EQ(offered, u"second");  // the last one that is not blank
    OnWindow([&] { window_.SetNoteOfSelection(u"lab"); });
    EXPECT_EQ(ColumnTexts(kNoteColumn), (std::vector<Text>{u"lab", u"lab", u"lab"}));
    OnWindow([&] { EXPECT_EQ(window_.Layout().widths[kNoteColumn], 100); });
    EXPECT_EQ(Saves(), 1);
}

TEST_F(MainWindowTest, RowRefreshesFromOtherThreadsUntilTheSettingsAreSavedForExit) {
    PFOPtr shown = AddPFO(Protocol::TCP, 4000);
    OnWindow([&] { window_.FillList(); });
    PFOPtr unlisted = AddPFO(Protocol::TCP, 4001);
    {
        std::lock_guard lock(shown->ConfigLock);
        shown->Note = u"from a worker";
    }
    std::thread worker([&] {
        window_.RefreshRow(*unlisted);  // no row: ignored
        window_.RefreshRow(*shown);
        window_.Resort();
    });
    worker.join();
    EXPECT_EQ(ColumnTexts(kNoteColumn), std::vector<Text>{u"from a worker"});

    // A status the reconciler never saw, drawn by a refresh, is redrawn when it ends.
    shown->Status = PFOStatus::Stopping;
    window_.RefreshRow(*shown);
    EXPECT_EQ(ColumnTexts(kStatusColumn), std::vector<Text>{u"Stopping"});
    shown->Status = PFOStatus::Stopped;
    OnWindow([&] { Reconcile(engine_, window_); });
    EXPECT_EQ(ColumnTexts(kStatusColumn), std::vector<Text>{u"Stopped"});

    OnWindow([&] { window_.MarkSettingsSaved(); });
    {
        std::lock_guard lock(shown->ConfigLock);
        shown->Note = u"too late";
    }
    window_.RefreshRow(*shown);
    window_.SaveSettings();
    EXPECT_EQ(ColumnTexts(kNoteColumn), std::vector<Text>{u"from a worker"});
    EXPECT_EQ(Saves(), 0);
}

TEST_F(MainWindowTest, ResetStatisticsKeepsTheOpenSessions) {
    PFOPtr pfo = AddPFO(Protocol::TCP, 5000);
    pfo->SessionCount = 2;
    pfo->TotalSessions = 9;
    pfo->ClientBytes = 100.0;
    OnWindow([&] { window_.FillList(); });
    SelectRows({0}, 0);
    OnWindow([&] { window_.ResetSelectedStatistics(); });
    EXPECT_EQ(pfo->TotalSessions, 2);
    EXPECT_EQ(pfo->ClientBytes, 0.0);
    EXPECT_EQ(ColumnTexts(kSessionsColumn), std::vector<Text>{u"2/2 (0.00 bps)"});
    pfo->SessionCount = 0;
}

}  // namespace
}  // namespace qf
