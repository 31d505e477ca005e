#pragma once
// Typesetting without a window, for scripted use:
//   PROGRAM --typeset ISSUE.owd [--number T] [--total T] [--year T] [--month T] [--day T]
//           [--word-processor builtin|libreoffice|auto|word|wps] --output OUT.docx|OUT.pdf
// The issue file is loaded into an empty issue, the edition's bulletin is
// typeset with the five texts (a missing option is an empty text) and the
// document is saved: by the built-in engine, or with another word processor
// (Writer on Linux, Word or WPS on Windows; auto when installed) through its
// own export.

#include "editions/edition.h"

#include <QStringList>

namespace brevix {

// True when the arguments ask for the headless command (they hold --typeset).
bool IsHeadlessInvocation(const QStringList& arguments);

// Runs the headless command. `arguments` as QCoreApplication::arguments()
// gives them (the program name first; a list that starts with an option is
// taken as having none). Returns 0 on success; otherwise prints one line to
// stderr, writes no output file and returns non-zero (2 for a usage error,
// 1 for a failure while loading, typesetting or saving).
int RunHeadless(const Edition& edition, const QStringList& arguments);

} // namespace brevix
