#pragma once
// Start-up shared by both programs: the command line, then the main window.
// Arguments are plain options and issue files; Qt's own options are Qt's.

#include "editions/edition.h"
#include "editions/wordprocessors.h"

#include <QStringList>

namespace brevix {

// What the command line asks of a start with a window. --help and --version
// win wherever they stand; "--" ends the options.
struct StartRequest {
    enum class Kind { Compose, Help, Version, BadOption };
    Kind kind = Kind::Compose;
    QStringList issueFiles; // loaded in this order
    QString badOption;      // the first option not understood
    WordProcessorChoice wordProcessor = WordProcessorChoice::Auto;
};
StartRequest ParseStartArguments(int argc, const char* const* argv);

// With --typeset among the arguments runs the headless command and opens no
// window (and never touches recovery files); --help and --version answer
// on stdout; otherwise shows the edition's main window, offers what a
// composer that ended without 退出 left unsaved, loads the issue files
// given, and runs until the program ends. Returns the exit code.
int RunComposer(const Edition& edition, int argc, char** argv);

} // namespace brevix
