#pragma once
// Start-up shared by both programs.

#include "editions/edition.h"

namespace brevix {

// With --typeset among the arguments runs the headless command and opens no
// window; otherwise shows the edition's main window and runs until the
// program ends. Returns the exit code.
int RunComposer(const Edition& edition, int argc, char** argv);

} // namespace brevix
