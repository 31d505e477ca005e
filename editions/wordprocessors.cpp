#include "editions/wordprocessors.h"

#include "builtin/builtin_backend.h"
#include "editions/fallback_backend.h"
#include "libreoffice/private_office.h"
#include "libreoffice/writer_backend.h"

#include <QCoreApplication>
#include <QTextStream>

namespace brevix {

bool LibreOfficeInstalled()
{
    if (libreoffice::InstalledOffice({}).isEmpty())
        return false;
    try {
        libreoffice::LocalContext();
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

ChosenWordProcessor ChooseWordProcessor(WordProcessorChoice choice)
{
    ChosenWordProcessor chosen;
    if (choice == WordProcessorChoice::Word || choice == WordProcessorChoice::Wps) {
        chosen.notice = QStringLiteral("Word and WPS Office are driven on Windows only; "
                                       "the built-in word processor typesets instead.");
    } else if (choice != WordProcessorChoice::Builtin && LibreOfficeInstalled()) {
        libreoffice::OfficeOptions options;
        options.notice = [](const QString& text) {
            QTextStream(stderr) << QCoreApplication::applicationName().toLower() << ": " << text << '\n';
        };
        chosen.backend = std::make_unique<FallbackBackend>(std::make_unique<libreoffice::WriterBackend>(options),
                                                           std::make_unique<builtin::BuiltinBackend>());
        chosen.live = true;
        return chosen;
    }
    if (choice == WordProcessorChoice::LibreOffice)
        chosen.notice = QStringLiteral("LibreOffice Writer is not installed (package libreoffice-writer); "
                                       "the built-in word processor typesets instead.");
    chosen.backend = std::make_unique<builtin::BuiltinBackend>();
    return chosen;
}

namespace {

// In an office of the run's own, ended however the run ends.
QByteArray TypesetHeadlessInWriter(const std::function<void(word::Backend&)>& typeset, const QString& format)
{
    libreoffice::PrivateOffice own;
    libreoffice::WriterBackend backend(own.options());
    try {
        typeset(backend);
        QByteArray bytes = backend.ExportLastDocument(format);
        backend.CloseLastDocument();
        own.End(backend.office());
        return bytes;
    } catch (const RuntimeError&) {
        backend.CloseLastDocument();
        own.End(backend.office());
        throw;
    }
}

} // namespace

HeadlessWordProcessor ChooseHeadlessWordProcessor(WordProcessorChoice choice)
{
    if (choice == WordProcessorChoice::Builtin)
        return {};
    if (choice == WordProcessorChoice::Word || choice == WordProcessorChoice::Wps)
        return {{}, QStringLiteral("Word and WPS Office are driven on Windows only; the built-in word processor typesets instead")};
    if (LibreOfficeInstalled())
        return {TypesetHeadlessInWriter, {}};
    if (choice == WordProcessorChoice::LibreOffice)
        return {{}, QStringLiteral("LibreOffice Writer is not installed; the built-in word processor typesets instead")};
    return {};
}

} // namespace brevix
