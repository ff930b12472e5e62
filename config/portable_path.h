#pragma once
// Paths in their stored ("portable") form: relative to the program's base folder, or under an
// environment folder written as %NAME%, so that a moved installation keeps its settings.
// Stored paths written on Windows ("logs\a.txt", "C:\x") are still understood.

#include <functional>
#include <optional>
#include <string>

#include "platform/text.h"

namespace qf {

struct PathContext {
    // Absolute folder that relative paths start from: the executable's folder, or the
    // settings folder of an installed program.
    Text baseFolder;
    // Looks up an environment variable by its exact name.
    std::function<std::optional<Text>(const std::string& name)> environment;
};

// The process environment with the given base folder.
PathContext ProcessPathContext(Text baseFolder);
// Folder of the running executable.
Text ExecutableFolder();

// Drops "." elements, empty elements and trailing slashes, and removes each ".." element with
// the element before it. ".." at the root stays at the root; leading ".." of a relative path stay.
Text NormalizePathText(TextView path);

// A Windows drive or network path, which no Linux path is.
bool IsForeignPath(TextView path);

Text MakePortablePath(TextView path, const PathContext& context);
// Absolute paths come back normalized, relative ones under the base folder. %NAME% takes
// the variable's value; a name that is not defined, and a "%" without a partner, stay as
// written. Foreign paths are returned unchanged.
Text ExpandPortablePath(TextView path, const PathContext& context);

}  // namespace qf
