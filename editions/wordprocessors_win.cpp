// The word processors on Windows: Word, then WPS Office's writer, through
// COM, and the built-in engine. LibreOffice is not driven here.
#include "editions/wordprocessors.h"

#include "builtin/builtin_backend.h"
#include "com/word_backend.h"
#include "editions/fallback_backend.h"
#include "model/errors.h"

namespace brevix {

namespace {

// The classes the choice may use, of those registered here, in order.
QStringList Registered(WordProcessorChoice choice)
{
    QStringList wanted;
    if (choice == WordProcessorChoice::Word || choice == WordProcessorChoice::Auto)
        wanted << com::WordProgId();
    if (choice == WordProcessorChoice::Wps || choice == WordProcessorChoice::Auto)
        wanted << com::WpsProgIds();
    QStringList registered;
    for (const QString& progId : wanted)
        if (com::IsRegistered(progId))
            registered << progId;
    return registered;
}

QString NotInstalled(WordProcessorChoice choice)
{
    switch (choice) {
    case WordProcessorChoice::Builtin:
        break;
    case WordProcessorChoice::LibreOffice:
        return QStringLiteral("LibreOffice Writer is not used on Windows; the built-in word processor typesets instead");
    case WordProcessorChoice::Word:
        return QStringLiteral("Microsoft Word is not installed; the built-in word processor typesets instead");
    case WordProcessorChoice::Wps:
        return QStringLiteral("WPS Office is not installed; the built-in word processor typesets instead");
    case WordProcessorChoice::Auto:
        return QStringLiteral("neither Microsoft Word nor WPS Office is installed; "
                              "the built-in word processor typesets instead");
    }
    return {};
}

// Hidden, in a server of its own when none runs; the document is stored by
// the server's SaveAs and closed, and a server the run started is quit,
// however the run ends.
QByteArray TypesetHeadlessInWord(const QStringList& progIds, const std::function<void(word::Backend&)>& typeset,
                                 const QString& format)
{
    com::WordOptions options;
    options.progIds = progIds;
    options.headless = true;
    com::WordBackend backend(options);
    try {
        typeset(backend);
        QByteArray bytes = backend.SaveLastDocument(format);
        backend.CloseLastDocument();
        backend.QuitIfStarted();
        return bytes;
    } catch (const RuntimeError&) {
        backend.CloseLastDocument();
        backend.QuitIfStarted();
        throw;
    }
}

} // namespace

bool LibreOfficeInstalled() { return false; }

ChosenWordProcessor ChooseWordProcessor(WordProcessorChoice choice)
{
    ChosenWordProcessor chosen;
    if (const QStringList progIds = Registered(choice); !progIds.isEmpty()) {
        com::WordOptions options;
        options.progIds = progIds;
        chosen.backend = std::make_unique<FallbackBackend>(std::make_unique<com::WordBackend>(options),
                                                           std::make_unique<builtin::BuiltinBackend>());
        chosen.live = true;
        return chosen;
    }
    chosen.notice = NotInstalled(choice);
    chosen.backend = std::make_unique<builtin::BuiltinBackend>();
    return chosen;
}

HeadlessWordProcessor ChooseHeadlessWordProcessor(WordProcessorChoice choice)
{
    if (const QStringList progIds = Registered(choice); !progIds.isEmpty())
        return {[progIds](const std::function<void(word::Backend&)>& typeset, const QString& format) {
                    return TypesetHeadlessInWord(progIds, typeset, format);
                },
                {}};
    return {{}, NotInstalled(choice)};
}

} // namespace brevix
