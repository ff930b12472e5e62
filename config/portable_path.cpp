#include "config/portable_path.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "config/text_helpers.h"
#include "platform/files.h"

namespace qf {
namespace {

using Elements = std::vector<Text>;

// Tried in this order when a path is stored: the XDG folders lie under HOME, so they go first.
constexpr std::array<std::string_view, 6> kFolderVariables = {
    "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "TMPDIR", "HOME"};

struct FolderAlias {
    std::string_view name;
    std::string_view folderVariable;
};
// Windows names met in stored paths.
constexpr std::array<FolderAlias, 5> kWindowsFolders = {{{"APPDATA", "XDG_CONFIG_HOME"},
                                                         {"LOCALAPPDATA", "XDG_DATA_HOME"},
                                                         {"USERPROFILE", "HOME"},
                                                         {"TEMP", "TMPDIR"},
                                                         {"TMP", "TMPDIR"}}};

struct FolderDefault {
    std::string_view name;
    TextView underHome;
};
constexpr std::array<FolderDefault, 4> kHomeDefaults = {{{"XDG_CONFIG_HOME", u"/.config"},
                                                         {"XDG_DATA_HOME", u"/.local/share"},
                                                         {"XDG_STATE_HOME", u"/.local/state"},
                                                         {"XDG_CACHE_HOME", u"/.cache"}}};

bool IsAbsolute(TextView path) {
    return path.starts_with(u'/');
}

Elements NormalElements(TextView path) {
    Elements kept;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find(u'/', start), path.size());
        const TextView element = path.substr(start, end - start);
        start = end + 1;
        if (element.empty() || element == u".")
            continue;
        if (element != u"..") {
            kept.emplace_back(element);
        } else if (!kept.empty() && kept.back() != u"..") {
            kept.pop_back();
        } else if (!IsAbsolute(path)) {
            kept.emplace_back(element);
        }
    }
    return kept;
}

Text JoinElements(Elements::const_iterator first, Elements::const_iterator last) {
    Text joined;
    for (auto element = first; element != last; ++element) {
        if (element != first)
            joined += u'/';
        joined += *element;
    }
    return joined;
}

std::optional<Text> DefinedValue(const PathContext& context, const std::string& name) {
    auto value = context.environment(name);
    if (!value || value->empty())
        return std::nullopt;
    return value;
}

std::optional<Text> FolderValue(const PathContext& context, std::string_view variable) {
    if (auto value = DefinedValue(context, std::string(variable)))
        return value;
    if (variable == "TMPDIR")
        return Text(u"/tmp");
    const auto fallback = std::find_if(kHomeDefaults.begin(), kHomeDefaults.end(),
                                       [variable](auto& entry) { return entry.name == variable; });
    const auto home = DefinedValue(context, "HOME");
    if (fallback == kHomeDefaults.end() || !home)
        return std::nullopt;
    return *home + Text(fallback->underHome);
}

std::optional<std::string_view> FolderVariableNamed(const std::string& upperName) {
    for (std::string_view variable : kFolderVariables) {
        if (variable == upperName)
            return variable;
    }
    for (const FolderAlias& alias : kWindowsFolders) {
        if (alias.name == upperName)
            return alias.folderVariable;
    }
    return std::nullopt;
}

std::optional<Text> VariableValue(const PathContext& context, TextView name) {
    const std::string exactName = TextToUtf8(name);
    if (auto value = DefinedValue(context, exactName))
        return value;
    const std::string upperName = TextToUtf8(AsciiUpperText(name));
    if (auto value = DefinedValue(context, upperName))
        return value;
    if (auto variable = FolderVariableNamed(upperName))
        return FolderValue(context, *variable);
    return std::nullopt;
}

Text SubstituteVariables(TextView path, const PathContext& context) {
    Text expanded;
    size_t at = 0;
    for (;;) {
        const size_t open = path.find(u'%', at);
        const size_t close = open == TextView::npos ? open : path.find(u'%', open + 1);
        if (close == TextView::npos)
            break;
        expanded += path.substr(at, open - at);
        const TextView name = path.substr(open + 1, close - open - 1);
        const auto value = name.empty() ? std::nullopt : VariableValue(context, name);
        if (value) {
            expanded += *value;
            at = close + 1;
        } else {
            // The closing "%" may open the next name.
            expanded += path.substr(open, close - open);
            at = close;
        }
    }
    return expanded + Text(path.substr(at));
}

bool StartsWithElements(const Elements& path, const Elements& folder) {
    return !folder.empty() && folder.size() <= path.size() &&
           std::equal(folder.begin(), folder.end(), path.begin());
}

std::optional<Text> UnderEnvironmentFolder(const Elements& path, const PathContext& context) {
    for (std::string_view variable : kFolderVariables) {
        const auto value = FolderValue(context, variable);
        if (!value || !IsAbsolute(*value))
            continue;
        const Elements folder = NormalElements(*value);
        if (!StartsWithElements(path, folder))
            continue;
        Text stored = u"%" + Utf8ToText(variable) + u"%";
        if (path.size() > folder.size())
            stored += u"/" + JoinElements(path.begin() + folder.size(), path.end());
        return stored;
    }
    return std::nullopt;
}

// Relative to the base folder when the two share at least one element below the root; the
// first element plays the part of a drive.
std::optional<Text> RelativeToBase(const Elements& path, const PathContext& context) {
    const Elements base = NormalElements(NormalizePathText(context.baseFolder));
    const size_t shared = static_cast<size_t>(
        std::mismatch(path.begin(), path.end(), base.begin(), base.end()).first - path.begin());
    if (shared == 0)
        return std::nullopt;
    Elements relative(base.size() - shared, u"..");
    relative.insert(relative.end(), path.begin() + static_cast<ptrdiff_t>(shared), path.end());
    return JoinElements(relative.begin(), relative.end());
}

}  // namespace

PathContext ProcessPathContext(Text baseFolder) {
    return {std::move(baseFolder), [](const std::string& name) -> std::optional<Text> {
                const auto value = EnvironmentValue(name);
                if (!value)
                    return std::nullopt;
                return Utf8ToText(*value);
            }};
}

Text ExecutableFolder() {
    const Text executable = NormalizePathText(Utf8ToText(ExecutablePath()));
    const size_t slash = executable.rfind(u'/');
    if (slash == Text::npos)
        return {};
    return slash == 0 ? Text(u"/") : executable.substr(0, slash);
}

Text NormalizePathText(TextView path) {
    const Elements elements = NormalElements(path);
    const Text joined = JoinElements(elements.begin(), elements.end());
    return IsAbsolute(path) ? u"/" + joined : joined;
}

bool IsForeignPath(TextView path) {
    return (path.size() >= 2 && path[1] == u':') || path.starts_with(u"\\\\");
}

Text MakePortablePath(TextView path, const PathContext& context) {
    if (path.empty() || IsForeignPath(path))
        return Text(path);
    const Text normalized = NormalizePathText(path);
    if (!IsAbsolute(normalized))
        return normalized;
    const Elements elements = NormalElements(normalized);
    if (auto relative = RelativeToBase(elements, context))
        return *relative;
    return UnderEnvironmentFolder(elements, context).value_or(normalized);
}

Text ExpandPortablePath(TextView path, const PathContext& context) {
    Text expanded = SubstituteVariables(path, context);
    if (IsForeignPath(expanded))
        return expanded;
    const bool absolute = IsAbsolute(expanded);
    std::replace(expanded.begin(), expanded.end(), u'\\', u'/');
    if (!absolute)
        expanded = context.baseFolder + u"/" + expanded;
    return NormalizePathText(expanded);
}

}  // namespace qf
