#pragma once
// The program's life: the start-up steps from the debug log to the main window, the main
// window on the main thread's event loop (unseen: there is no desktop front end, so every run
// is what the service instance is), the service manager's notifications and the ordered
// shutdown. The application object owns every long-lived part of the program.
//
// Threads: Run() on the main thread, which becomes the main window's loop thread;
// RequestStop() from any thread.

#include <functional>
#include <vector>

#include "app/command_line.h"
#include "app/language_loader.h"
#include "app/settings_location.h"
#include "config/settings.h"
#include "config/settings_file.h"
#include "engine/dynamic_filter.h"
#include "engine/engine_state.h"
#include "logging/auto_log.h"
#include "logging/capture.h"
#include "logging/connection_log.h"
#include "platform/event_loop.h"
#include "ui/main_window.h"

namespace qf {

class Application {
  public:
    // Parses the command line. `executablePath` is the absolute path of this program.
    Application(const std::vector<Text>& arguments, Text executablePath);
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The process's exit code: 0 once every PFO has stopped after a stop request.
    int Run();
    // A termination signal, or the service manager's stop: leads into the ordered shutdown.
    void RequestStop();

  private:
    int RunApplication();
    bool RedirectToRunningService();
    int ShowHelp();
    int RunServiceCommands();
    void LoadSettings();
    void SaveSettings();
    void ApplyLoggingSettings();

    int RunMainWindow();
    // The engine-wide threads that run from the main window's start until shutdown.
    struct BackgroundThread {
        TextView name;
        std::function<bool()> start;  // false when the thread cannot be created
        std::function<bool()> running;
    };
    std::vector<BackgroundThread> BackgroundThreads();
    FilterFileReader ReadDynamicFilterFile() const;
    void StartBackgroundThreads();
    void ReportThreadFailure(TextView threadName);
    void Close();
    void WaitForBackgroundThreads();
    void EndWhenStopped();
    bool WaitForEngineThreads();

    const CommandLine line_;
    const Text executablePath_;
    const SettingsLocation location_;
    const PathContext paths_;
    TextCatalog texts_;
    LanguageLoader languages_;
    HeadlessSettingsPrompts settingsPrompts_;
    HeadlessPrompts prompts_;
    Settings settings_;
    EngineState engine_;
    ConnectionLog log_;
    CaptureFileOpener capture_;
    AutoLog autoLog_;
    EventLoop loop_;
    MainWindowController window_;
    bool closing_ = false;  // loop thread
};

// main(): the arguments after the program name. Termination signals must already be blocked.
int RunProgram(const std::vector<Text>& arguments);

}  // namespace qf
