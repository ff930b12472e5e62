#include "app/service_unit.h"

#include "config/text_helpers.h"
#include "platform/files.h"
#include "platform/process.h"

namespace qf {
namespace {

const std::string kUnitName = "Ferrox.service";

// systemd reads "%" as a specifier, "\" as an escape and "$" as a variable.
Text QuotedForSystemd(TextView value) {
    Text quoted = u"\"";
    for (char16_t c : value) {
        if (c == u'%')
            quoted += u"%%";
        else if (c == u'\\')
            quoted += u"\\\\";
        else if (c == u'$')
            quoted += u"$$";
        else if (c == u'"')
            quoted += u"\\\"";
        else
            quoted += c;
    }
    return quoted + u"\"";
}

std::string ResultWordFor(const SysError& error) {
    return error.kind() == ErrorKind::PermissionDenied ? "ERROR_ACCESS_DENIED" : "ERROR_UNKNOWN";
}

void Systemctl(const ServiceManager& manager, std::vector<std::string> arguments) {
    if (manager.systemctl.empty()) return;
    arguments.insert(arguments.begin(), manager.systemctl);
    RunCommand(arguments);
}

}  // namespace

ServiceManager ServiceManager::FromEnvironment() {
    ServiceManager manager{"/etc/systemd/system", "systemctl"};
    if (auto folder = EnvironmentValue("FERROX_UNIT_FOLDER")) manager.unitFolder = *folder;
    if (auto command = EnvironmentValue("FERROX_SYSTEMCTL")) manager.systemctl = *command;
    return manager;
}

std::string ServiceManager::unitPath() const { return unitFolder + "/" + kUnitName; }

Text ServiceCommandLine(TextView executablePath, TextView settingsFolder) {
    return QuotedForSystemd(TrimCharacters(executablePath, u"\"")) +
           u" -Service -SettingsFolderPath " + QuotedForSystemd(settingsFolder);
}

Text ServiceUnitText(TextView executablePath, TextView settingsFolder) {
    return u"[Unit]\nDescription=" + Text(kServiceDisplayName) +
           u"\nAfter=network-online.target\nWants=network-online.target\n\n"
           u"[Service]\nType=notify\nNotifyAccess=main\nExecStart=" +
           ServiceCommandLine(executablePath, settingsFolder) +
           u"\nAmbientCapabilities=CAP_NET_BIND_SERVICE CAP_NET_RAW\nLimitNOFILE=65536\n"
           u"TimeoutStopSec=90\n\n[Install]\nWantedBy=multi-user.target\n";
}

std::string InstallService(const ServiceManager& manager, TextView executablePath,
                           TextView settingsFolder) {
    auto written = CreateNewFile(manager.unitPath(),
                                 TextToUtf8(ServiceUnitText(executablePath, settingsFolder)), 0644);
    if (!written) {
        if (written.error().code == EEXIST) return "ERROR_SERVICE_EXISTS";
        return ResultWordFor(written.error());
    }
    Systemctl(manager, {"daemon-reload"});
    Systemctl(manager, {"enable", kUnitName});
    return "SUCCESS";
}

std::string RemoveService(const ServiceManager& manager) {
    if (QueryPath(manager.unitPath()).kind == PathKind::Missing)
        return "ERROR_SERVICE_DOES_NOT_EXIST";
    Systemctl(manager, {"disable", kUnitName});
    if (auto removed = RemoveFile(manager.unitPath()); !removed)
        return ResultWordFor(removed.error());
    Systemctl(manager, {"daemon-reload"});
    return "SUCCESS";
}

ServiceState QueryService(const ServiceManager& manager) {
    ServiceState state;
    if (manager.systemctl.empty()) return state;
    auto shown =
        RunCommand({manager.systemctl, "show", kUnitName, "-p", "LoadState,ActiveState,ExecStart"});
    if (!shown || shown->exitCode != 0) return state;
    const std::string& out = shown->output;
    state.exists = out.find("LoadState=not-found") == std::string::npos &&
                   out.find("LoadState=") != std::string::npos;
    state.running = out.find("ActiveState=active") != std::string::npos;
    // ExecStart={ path=/opt/x/quillmark-ferrox ; argv[]=... }
    if (const size_t at = out.find("path="); at != std::string::npos) {
        const size_t end = out.find(" ;", at);
        state.executablePath = Utf8ToText(out.substr(at + 5, end - at - 5));
    }
    return state;
}

bool ServiceRunsExecutable(const ServiceState& service, TextView executablePath) {
    return service.exists && service.running && !service.executablePath.empty() &&
           RealPath(TextToUtf8(service.executablePath)) == RealPath(TextToUtf8(executablePath));
}

}  // namespace qf
