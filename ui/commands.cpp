#include "ui/commands.h"

#include "model/errors.h"

#include <new>

namespace brevix {

namespace {

void ShowError(Dialogs& dialogs, const QString& heading, const QString& description) noexcept
{
    try {
        dialogs.message(heading + QStringLiteral("\r\n") + description);
    } catch (...) {
        // Nothing more can be shown; the command has ended either way.
    }
}

} // namespace

void RunCommand(Dialogs& dialogs, const QString& heading, const std::function<void()>& command) noexcept
{
    try {
        command();
    } catch (const RuntimeError& error) {
        ShowError(dialogs, heading, error.description());
    } catch (const std::bad_alloc&) {
        ShowError(dialogs, heading, QStringLiteral("内存不足"));
    } catch (const std::exception& error) {
        ShowError(dialogs, heading, QString::fromUtf8(error.what()));
    } catch (...) {
        ShowError(dialogs, heading, QStringLiteral("应用程序定义或对象定义错误"));
    }
}

} // namespace brevix
