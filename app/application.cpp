#include "app/application.h"

#include <fmt/format.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "app/service_unit.h"
#include "config/filter_files.h"
#include "config/text_helpers.h"
#include "engine/dynamic_filter.h"
#include "engine/interface_checker.h"
#include "engine/lifecycle.h"
#include "logging/debug_log.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/process_limits.h"
#include "platform/signals.h"
#include "platform/socket.h"
#include "resources/text_resources.h"

namespace qf {
namespace {

constexpr int kFinalTimer = 1000;
constexpr int kFinalPollMs = 10;
constexpr int kEngineThreadsWaitMs = 20000;
constexpr int kHelpTitle = 58;
constexpr int kHelpText = 111;
constexpr int kErrorTitle = 12;
constexpr int kServiceInstalledText = 608;
constexpr int kServiceInstalledTitle = 609;
constexpr int kServiceInstallFailedText = 637;
constexpr int kServiceRemovedText = 641;

// Headless, every message box becomes lines on standard error.
void WriteMessage(TextView title, TextView text) {
    Text lines(text);
    ReplaceAll(lines, u"\r\n", u"\n");
    fmt::print(stderr, "{}: {}\n", TextToUtf8(title), TextToUtf8(lines));
}

// The signal thread outlives the application; it reaches it only through this.
class StopForwarder {
  public:
    void Attach(Application* application) {
        std::lock_guard lock(mutex_);
        application_ = application;
    }
    void Forward() {
        std::lock_guard lock(mutex_);
        if (application_) application_->RequestStop();
    }

  private:
    std::mutex mutex_;
    Application* application_ = nullptr;
};

}  // namespace

Application::Application(const std::vector<Text>& arguments, Text executablePath)
    : line_(ParseCommandLine(arguments)),
      executablePath_(std::move(executablePath)),
      location_(LocateSettings(executablePath_, line_.settingsFolderPath,
                               ProcessPathContext({}).environment)),
      paths_(ProcessPathContext(location_.folder)),
      languages_(texts_, TextResource, paths_, WriteMessage),
      settingsPrompts_(WriteMessage),
      prompts_(WriteMessage),
      engine_(texts_),
      log_(texts_),
      capture_(texts_, paths_),
      autoLog_(engine_, log_, paths_),
      window_(loop_, engine_, settings_, prompts_, [this] { SaveSettings(); }) {}

int Application::Run() {
    DebugLog debugLog(line_.debugLog, location_.debugLog, paths_);
    debugLog.Start();
    const int exitCode = RunApplication();
    debugLog.Stop();
    return exitCode;
}

int Application::RunApplication() {
    IgnoreBrokenPipes();
    RaiseDescriptorLimit();
    languages_.LoadLanguageTables(line_.languageArguments);
    LoadSettings();
    languages_.ApplySavedLanguage(settings_.LanguageChoice, settings_.LanguageStringsFilePath);
    ApplyLoggingSettings();
    if (!line_.runningAsService && RedirectToRunningService()) return 0;
    if (line_.help) return ShowHelp();
    if (line_.doInstall || line_.removeIt || line_.doRemove) {
        fmt::print(stderr, "Installation and removal are not available in this version.\n");
        return 1;
    }
    if (line_.doServiceInstall || line_.doServiceRemove) return RunServiceCommands();
    SaveSettings();
    return RunMainWindow();
}

bool Application::RedirectToRunningService() {
    const ServiceState service = QueryService(ServiceManager::FromEnvironment());
    if (!ServiceRunsExecutable(service, executablePath_)) return false;
    const std::string url =
        fmt::format("http://127.0.0.1:{}", settings_.WebInterfaceDynamic.ListeningPortDynamic);
    fmt::print("{} runs as a service already: {}\n", TextToUtf8(kServiceName), url);
    std::fflush(stdout);
    RunCommand({"xdg-open", url});
    return true;
}

int Application::ShowHelp() {
    WriteMessage(texts_.General(kHelpTitle), texts_.General(kHelpText));
    return 0;
}

// Headless, there is no desktop to return to: the result word goes to standard output for
// the caller, and the program ends instead of forwarding beside the service it installed.
int Application::RunServiceCommands() {
    const ServiceManager manager = ServiceManager::FromEnvironment();
    bool succeeded = true;
    auto report = [&](const std::string& result, int successTitle, int successText,
                      int failureText) {
        fmt::print("{}\n", result);
        std::fflush(stdout);
        const bool success = result == "SUCCESS";
        const Text word = Utf8ToText(result);
        WriteMessage(texts_.General(success ? successTitle : kErrorTitle),
                     success ? texts_.General(successText)
                             : texts_.General(failureText) + u"\r\n\r\n" + word);
        succeeded = succeeded && success;
    };
    if (line_.doServiceInstall)
        report(InstallService(manager, executablePath_, location_.folder), kServiceInstalledTitle,
               kServiceInstalledText, kServiceInstallFailedText);
    if (line_.doServiceRemove)
        report(RemoveService(manager), kServiceRemovedText, kServiceRemovedText, kErrorTitle);
    return succeeded ? 0 : 1;
}

void Application::LoadSettings() {
    SettingsLoadOptions options;
    options.paths = paths_;
    options.languageGiven = languages_.languageGiven();
    LoadSettingsFile(settings_, engine_, location_.file, options, settingsPrompts_);
}

// A settings file that cannot be written is not reported.
void Application::SaveSettings() { SaveSettingsFile(settings_, engine_, location_.file); }

void Application::ApplyLoggingSettings() {
    LogOptions options;
    options.entryTemplate = settings_.AutoLog.LogEntryParameters;
    options.dateTemplate = settings_.DateAndTimeParameters;
    options.maxBacklog = size_t(std::max(0, settings_.AutoLog.PerSubscriberMaximumBacklog));
    options.noLogBadIP = settings_.AutoLog.NoLogBadIP;
    options.autoLogEnabled = settings_.AutoLog.Enabled;
    options.autoLogFilePath = settings_.AutoLog.FilePath;
    options.autoLogIntervalSeconds = settings_.AutoLog.UpdateInterval;
    log_.SetOptions(std::move(options));
    capture_.SetOptions({settings_.DataLogFolderPath, settings_.DataLogFilenameParameters,
                         settings_.DateAndTimeParameters});
    engine_.eventSink = &log_;
    engine_.captureOpener = &capture_;
}

int Application::RunMainWindow() {
    window_.Open();
    StartBackgroundThreads();
    // Ready before the reconciler's first tick starts the enabled PFOs.
    if (line_.runningAsService) NotifyServiceManager("READY=1");
    loop_.Run();
    if (WaitForEngineThreads()) return 0;
    // A thread still running would outlive the state it works on.
    fmt::print(stderr, "Error: engine threads did not end; ending at once.\n");
    std::fflush(nullptr);
    std::_Exit(1);
}

std::vector<Application::BackgroundThread> Application::BackgroundThreads() {
    return {
        {u"AutoLogThread", [this] { return autoLog_.Start(); },
         [this] { return autoLog_.running(); }},
        {u"DTFIPF_Thread", [this] { return LaunchDynamicFilter(engine_, ReadDynamicFilterFile()); },
         [this] { return engine_.DTFIPThreadRunning.load(); }},
        {u"InterfaceChecker_Thread", [this] { return LaunchInterfaceChecker(engine_, window_); },
         [this] { return engine_.InterfaceCheckerRunning.load(); }},
    };
}

FilterFileReader Application::ReadDynamicFilterFile() const {
    return [paths = paths_](const Text& path) { return ReadFilterFile(path, paths).lists; };
}

void Application::StartBackgroundThreads() {
    for (const BackgroundThread& thread : BackgroundThreads())
        if (!thread.start()) ReportThreadFailure(thread.name);
}

void Application::ReportThreadFailure(TextView threadName) {
    prompts_.ShowMessage(texts_.General(kErrorTitle),
                         u"Error: StartThread(" + Text(threadName) + u") failed",
                         MessageIcon::Error);
}

void Application::RequestStop() {
    if (line_.runningAsService) NotifyServiceManager("STOPPING=1");
    loop_.Post([this] { Close(); });
}

// The ordered shutdown: save, end the background threads, ask every PFO to stop, and end the
// loop once none runs. Headless there is nobody to ask whether to close or minimise.
void Application::Close() {
    if (closing_) return;
    closing_ = true;
    window_.SaveListLayout();
    settings_.ProgramHasRunBefore = true;
    SaveSettings();
    log_.SetExiting();
    engine_.ThreadStopFlag = true;
    WaitForBackgroundThreads();
    AbortAll(engine_);
    window_.StopTimers();
    SleepMs(10);
    window_.MarkSettingsSaved();
    // "Final": polls on the loop, which stays free for the workers' messages meanwhile.
    loop_.SetTimer(kFinalTimer, kFinalPollMs, [this] { EndWhenStopped(); });
}

void Application::WaitForBackgroundThreads() {
    for (const BackgroundThread& thread : BackgroundThreads())
        while (thread.running()) SleepMs(1);
}

void Application::EndWhenStopped() {
    if (AnyPFORunning(engine_)) {
        AbortAll(engine_);
        return;
    }
    loop_.KillTimer(kFinalTimer);
    loop_.Quit();
}

// A thread's last touch of the engine is its release of CounterLock.
bool Application::WaitForEngineThreads() {
    const int64_t deadline = MonotonicMs() + kEngineThreadsWaitMs;
    while (MonotonicMs() < deadline) {
        {
            std::lock_guard lock(engine_.CounterLock);
            if (engine_.ThreadCount == 1) return true;
        }
        SleepMs(1);
    }
    return false;
}

int RunProgram(const std::vector<Text>& arguments) {
    Application application(arguments, Utf8ToText(ExecutablePath()));
    // A signal that comes before the signal thread waits stays pending until it does.
    auto stops = std::make_shared<StopForwarder>();
    stops->Attach(&application);
    if (!HandleTerminationSignals([stops](int) { stops->Forward(); })) {
        fmt::print(stderr, "Error: StartThread(Signals) failed\n");
        return 1;
    }
    const int exitCode = application.Run();
    stops->Attach(nullptr);
    return exitCode;
}

}  // namespace qf
