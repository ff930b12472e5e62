#pragma once
// The program as a system service: a systemd unit of type notify running
// "quillmark-ferrox -Service -SettingsFolderPath <folder>". The unit folder and the systemctl
// command can be replaced through FERROX_UNIT_FOLDER and FERROX_SYSTEMCTL.

#include <string>

#include "platform/text.h"

namespace qf {

inline constexpr TextView kServiceName = u"Ferrox";
inline constexpr TextView kServiceDisplayName = u"Quillmark Ferrox Service";

struct ServiceManager {
    std::string unitFolder;  // "/etc/systemd/system"
    std::string systemctl;   // "systemctl"; empty when the system has none

    static ServiceManager FromEnvironment();
    std::string unitPath() const;
};

// The unit's ExecStart value: the executable quoted once, then the options.
Text ServiceCommandLine(TextView executablePath, TextView settingsFolder);
Text ServiceUnitText(TextView executablePath, TextView settingsFolder);

// Result words: "SUCCESS", "ERROR_ACCESS_DENIED", "ERROR_SERVICE_EXISTS",
// "ERROR_SERVICE_DOES_NOT_EXIST", "ERROR_UNKNOWN".
std::string InstallService(const ServiceManager& manager, TextView executablePath,
                           TextView settingsFolder);
std::string RemoveService(const ServiceManager& manager);

struct ServiceState {
    bool exists = false;
    bool running = false;
    Text executablePath;  // as configured, without quotes
};
ServiceState QueryService(const ServiceManager& manager);

// True when the service runs, and runs this very executable (links resolved): a start on the
// desktop then sends the user to the service's web interface instead of forwarding twice.
bool ServiceRunsExecutable(const ServiceState& service, TextView executablePath);

}  // namespace qf
