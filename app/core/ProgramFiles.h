#pragma once

#include <QString>

// Files that ship with the program but are not opened relative to the
// working directory (translations, the user guide): beside the executable
// in the build tree, under share/strideloom once installed.
namespace ProgramFiles {

// The path of a shipped file or directory, or empty when there is none.
QString find(const QString& relative);

} // namespace ProgramFiles
