// The viewer's command line: FILE, BOOKMARKS, --address, --width, --height, --find, --help and
// --version, read into what the viewer applies at start-up.
#pragma once

#include <optional>

#include <QString>
#include <QStringList>

#include "app/viewer.h"

namespace pixvue {

struct CommandLine {
    StartRequest request;
    // Set when the program ends at once: 0 after --help or --version, 2 on a usage error.
    std::optional<int> exitCode;
    // What to print before ending: to standard output for exit code 0, to standard error else.
    QString output;
};

// `arguments` starts with the program's name. Uses the application's name and version.
CommandLine readCommandLine(const QStringList& arguments);

}  // namespace pixvue
