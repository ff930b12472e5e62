#pragma once
// The command line: options in either spelling ("DoInstall" or "-DoInstall"), any case.
// Every argument is examined, also the value after -SettingsFolderPath or -Language; an
// argument that matches nothing is ignored.

#include <vector>

#include "platform/text.h"

namespace qf {

struct CommandLine {
    bool runningAsService = false;
    bool noInstall = false;
    bool doInstall = false;
    bool doRemove = false;
    bool removeIt = false;
    bool help = false;
    bool doServiceInstall = false;
    bool doServiceRemove = false;
    bool startMinimized = false;
    bool debugLog = false;
    Text settingsFolderPath;              // without trailing slashes; empty when not given
    std::vector<Text> languageArguments;  // each value that followed -Language
};

// `arguments` excludes the program name.
CommandLine ParseCommandLine(const std::vector<Text>& arguments);

}  // namespace qf
