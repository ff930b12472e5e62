#include "app/command_line.h"

#include "config/text_helpers.h"

namespace qf {
namespace {

bool Is(TextView argument, TextView option) {
    if (!argument.empty() && argument.front() == u'-') argument.remove_prefix(1);
    return EqualsIgnoringAsciiCase(argument, option);
}

// Values of two characters or fewer are ignored, as is a missing value.
void TakeFolder(const std::vector<Text>& arguments, size_t at, Text& folder) {
    if (at + 1 >= arguments.size() || arguments[at + 1].size() <= 2) return;
    TextView value = arguments[at + 1];
    while (value.size() > 1 && (value.back() == u'/' || value.back() == u'\\'))
        value.remove_suffix(1);
    folder = Text(value);
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<Text>& arguments) {
    CommandLine line;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const Text& a = arguments[i];
        if (AsciiLowerText(a).find(u"dodebuglog") != Text::npos) line.debugLog = true;
        if (Is(a, u"service")) line.runningAsService = true;
        if (Is(a, u"DoInstall")) line.doInstall = line.noInstall = true;
        if (Is(a, u"NoInstall")) line.noInstall = true;
        if (Is(a, u"RemoveIt")) line.removeIt = line.noInstall = true;
        if (Is(a, u"DoRemove")) line.doRemove = line.noInstall = true;
        if (Is(a, u"DoServiceInstall")) line.doServiceInstall = line.noInstall = true;
        if (Is(a, u"DoServiceRemove")) line.doServiceRemove = line.noInstall = true;
        if (Is(a, u"DoHelp") || Is(a, u"Help")) line.help = true;
        if (Is(a, u"StartMinimized") || Is(a, u"StartMinimised")) line.startMinimized = true;
        if (Is(a, u"SettingsFolderPath")) TakeFolder(arguments, i, line.settingsFolderPath);
        if (Is(a, u"Language") && i + 1 < arguments.size())
            line.languageArguments.push_back(arguments[i + 1]);
    }
    return line;
}

}  // namespace qf
