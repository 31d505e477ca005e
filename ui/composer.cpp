#include "ui/composer.h"

#include "editions/headless.h"
#include "engine/window/fonts.h"
#include "engine/window/viewhost.h"
#include "editions/wordprocessors.h"
#include "model/filename.h"
#include "ui/form1.h"
#include "ui/qtdialogs.h"
#include "ui/recovery.h"
#include "ui/startup.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

namespace brevix {

namespace {

QString HelpText(const QString& program)
{
    return QStringLiteral(
               "Usage: %1 [--word-processor WP] [ISSUE.owd ...]\n"
               "       %1 --typeset ISSUE.owd [--number TEXT] [--total TEXT] [--year TEXT]\n"
               "       %2 [--month TEXT] [--day TEXT] [--word-processor WP] --output OUT.docx|OUT.pdf\n"
               "Composes one issue of the bulletin \"情 况 反 映\" and typesets it.\n"
               "\n"
               "Issue files given are loaded in order at start, each as the load command\n"
               "loads it. --typeset typesets an issue file without a window; a missing\n"
               "option is an empty text.\n"
               "\n"
               "  --word-processor builtin|libreoffice|auto|word|wps\n"
               "                 where the bulletin is typeset: the built-in word processor,\n"
               "                 LibreOffice Writer (Linux), Microsoft Word or WPS Office\n"
               "                 (Windows), or auto: the first of these installed (the\n"
               "                 default; --typeset uses the built-in one unless told otherwise)\n"
               "  -h, --help     show this help and exit\n"
               "  --version      show the version and exit\n")
        .arg(program, QString(program.size(), u' '));
}

} // namespace

StartRequest ParseStartArguments(int argc, const char* const* argv)
{
    StartRequest request;
    bool options = true;
    for (int k = 1; k < argc; ++k) {
        const QByteArray argument(argv[k]);
        if (options && argument == "--") {
            options = false;
        } else if (options && (argument == "--help" || argument == "-h")) {
            return {StartRequest::Kind::Help, {}, {}};
        } else if (options && argument == "--version") {
            return {StartRequest::Kind::Version, {}, {}};
        } else if (options && (argument == "--word-processor" || argument.startsWith("--word-processor="))) {
            const bool inOne = argument.contains('=');
            const QByteArray value = inOne ? argument.mid(argument.indexOf('=') + 1) : k + 1 < argc ? QByteArray(argv[++k]) : QByteArray();
            const auto choice = ParseWordProcessorChoice(QString::fromLocal8Bit(value));
            if (choice)
                request.wordProcessor = *choice;
            else if (request.badOption.isEmpty())
                request.badOption = QString::fromLocal8Bit(inOne || value.isEmpty() ? argument : argument + ' ' + value);
        } else if (options && argument.startsWith('-')) {
            if (request.badOption.isEmpty())
                request.badOption = QString::fromLocal8Bit(argument);
        } else if (!argument.isEmpty()) { // an empty name loads nothing, as in the load command
            request.issueFiles.append(FileNameFromBytes(argument));
        }
    }
    if (!request.badOption.isEmpty())
        request.kind = StartRequest::Kind::BadOption;
    return request;
}

int RunComposer(const Edition& edition, int argc, char** argv)
{
    TakePlatformStart(argc, argv);
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

    const QString program = edition.programName.toLower();
    // Answered before any window system is needed, so they work from any terminal.
    switch (ParseStartArguments(argc, argv).kind) {
    case StartRequest::Kind::Help:
        QTextStream(stdout) << HelpText(program);
        return 0;
    case StartRequest::Kind::Version:
        QTextStream(stdout) << program << ' ' << BREVIX_VERSION << '\n';
        return 0;
    default:
        break;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(edition.programName);
    // Ties the windows to the installed desktop entry (its name and icon).
    QGuiApplication::setDesktopFileName(program);
    // Qt has taken its own options out of argv by now; what is left is ours.
    const StartRequest request = ParseStartArguments(argc, argv);
    if (request.kind == StartRequest::Kind::BadOption) {
        QTextStream(stderr) << program << ": unknown option '" << request.badOption << "' (see " << program
                            << " --help)\n";
        return 2;
    }
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
    ChosenWordProcessor chosen = ChooseWordProcessor(request.wordProcessor);
    if (!chosen.notice.isEmpty())
        QTextStream(stderr) << program << ": " << chosen.notice << '\n';
    const std::unique_ptr<word::Backend> backend = std::move(chosen.backend);
    int code = 0;
    {
        Form1 form(edition, dialogs, *backend);
        Recovery recovery(form, RecoveryFolder());
        form.show();
        // Offered and loaded once the window is up, so the boxes show over it;
        // the files named load after a recovered issue, as after a load.
        QTimer::singleShot(0, &form, [&form, &recovery, &request] {
            recovery.OfferLeftOver();
            form.OpenIssueFiles(request.issueFiles);
        });
        code = QApplication::exec();
    }
    docwindow::UninstallDocumentWindows();
    return code;
}

} // namespace brevix
