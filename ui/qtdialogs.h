#pragma once
// The message boxes and file dialogs of the running program.

#include "model/dialogs.h"

namespace brevix {

class QtDialogs : public Dialogs {
public:
    using Dialogs::message;
    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override;
    std::optional<QString> openFileName(const QString& filter, const QString& initialPath) override;
    std::optional<QString> saveFileName(const QString& filter, const QString& initialPath) override;
};

} // namespace brevix
