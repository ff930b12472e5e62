#include "app/settings_location.h"

#include "config/product.h"

namespace qf {
namespace {

TextView FolderOf(TextView path) {
    const size_t slash = path.rfind(u'/');
    if (slash == TextView::npos) return u".";
    return slash == 0 ? TextView(u"/") : path.substr(0, slash);
}

Text BaseNameWithoutExe(TextView path) {
    const size_t slash = path.rfind(u'/');
    TextView name = slash == TextView::npos ? path : path.substr(slash + 1);
    if (name.size() > 4 && name.substr(name.size() - 4) == u".exe") name.remove_suffix(4);
    return Text(name);
}

Text UserConfigFolder(const EnvironmentLookup& environment) {
    if (auto xdg = environment("XDG_CONFIG_HOME"); xdg && !xdg->empty()) return *xdg;
    return environment("HOME").value_or(u"") + u"/.config";
}

}  // namespace

bool IsInstalledPath(TextView path) {
    for (TextView root : {TextView(u"/usr/"), TextView(u"/opt/")})
        if (path.substr(0, root.size()) == root) return true;
    return false;
}

SettingsLocation LocateSettings(TextView executablePath, TextView settingsFolderArgument,
                                const EnvironmentLookup& environment) {
    const Text candidate = settingsFolderArgument.empty()
                               ? Text(executablePath)
                               : Text(settingsFolderArgument) + u"/Placeholder";
    SettingsLocation location;
    location.installed = IsInstalledPath(candidate);
    location.folder = location.installed ? UserConfigFolder(environment) + u"/" + Text(kProductName)
                                         : Text(FolderOf(candidate));
    const Text base = location.folder + u"/" + BaseNameWithoutExe(executablePath);
    location.file = base + u".QMS";
    location.debugLog = base + u".Debug.log";
    return location;
}

}  // namespace qf
