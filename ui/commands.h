#pragma once
// Every command handler runs inside RunCommand: whatever goes wrong ends the
// command and is shown in one error box; nothing reaches the event loop.

#include "model/dialogs.h"

#include <QString>
#include <functional>

namespace brevix {

// The error boxes' first line: the main window's commands and the edit
// dialog's clear, and the edit dialog's load and hand-back.
inline QString CommandErrorHeading() { return QStringLiteral("发生错误！"); }
inline QString DialogErrorHeading() { return QStringLiteral("发生错误"); }

// Runs the command; a failure shows heading + CR LF + the error's description.
void RunCommand(Dialogs& dialogs, const QString& heading, const std::function<void()>& command) noexcept;

} // namespace brevix
