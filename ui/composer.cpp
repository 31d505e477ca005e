#include "ui/composer.h"

#include "editions/headless.h"
#include "engine/window/fonts.h"
#include "engine/window/viewhost.h"
#include "generator/backends.h"
#include "model/filename.h"
#include "ui/form1.h"
#include "ui/qtdialogs.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

namespace brevix {

int RunComposer(const Edition& edition, int argc, char** argv)
{
    // Taken from argv as bytes: Qt's own list loses names that are not UTF-8.
    QStringList arguments;
    for (int k = 0; k < argc; ++k)
        arguments.append(FileNameFromBytes(QByteArray(argv[k])));
    if (IsHeadlessInvocation(arguments)) {
        // No display is needed, nor used, to typeset without a window.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // stderr carries the command's one line; Qt's notes about the session
        // (no runtime folder for root, say) are not the command's to print.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "%s\n", qPrintable(text));
        });
        QGuiApplication app(argc, argv);
        return RunHeadless(edition, arguments);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(edition.programName);
    // Qt's own texts (box buttons, the file dialog) in Chinese like the rest.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    QtDialogs dialogs;
    // The typeset bulletin shows in document windows of its own. They outlive
    // the composer's windows: the program ends when the last window closes.
    docwindow::InstallFontSubstitutions();
    docwindow::InstallDocumentWindows(dialogs);
    const std::unique_ptr<word::Backend> backend = word::MakeDefaultBackend();
    int code = 0;
    {
        Form1 form(edition, dialogs, *backend);
        form.show();
        code = QApplication::exec();
    }
    docwindow::UninstallDocumentWindows();
    return code;
}

} // namespace brevix
