#pragma once
// What the platform hands a program at start, made alike before anything
// reads it. On POSIX there is nothing to do. On Windows a program with
// windows has no console: it attaches to the one it was started from, so the
// headless command, --help and --version answer there; and argv, which comes
// in the ANSI code page and loses what that lacks, is taken anew from the
// UTF-16 command line, in UTF-8 (see model/filename.h).

namespace brevix {

// Call first in main; argc and argv may be replaced (the new ones live until exit).
void TakePlatformStart(int& argc, char**& argv);

} // namespace brevix
