#pragma once
// Where the settings live. An installed program (under /usr, /usr/local or /opt) keeps them in
// the user's configuration folder; a portable copy keeps them beside itself. A settings folder
// given on the command line stands in for the executable's own folder.

#include <functional>
#include <optional>
#include <string>

#include "platform/text.h"

namespace qf {

struct SettingsLocation {
    Text folder;
    Text file;      // folder + "/" + executable base name without ".exe" + ".QMS"
    Text debugLog;  // folder + "/" + the same base name + ".Debug.log"
    bool installed = false;
};

using EnvironmentLookup = std::function<std::optional<Text>(const std::string& name)>;

bool IsInstalledPath(TextView path);
SettingsLocation LocateSettings(TextView executablePath, TextView settingsFolderArgument,
                                const EnvironmentLookup& environment);

}  // namespace qf
