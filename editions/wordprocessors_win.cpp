// The word processors on Windows: the built-in engine for every choice until
// Word and WPS are reached through COM. LibreOffice is not driven here.
#include "editions/wordprocessors.h"

#include "builtin/builtin_backend.h"
#include "model/errors.h"

namespace brevix {

std::optional<WordProcessorChoice> ParseWordProcessorChoice(const QString& text)
{
    if (text == u"builtin")
        return WordProcessorChoice::Builtin;
    if (text == u"libreoffice")
        return WordProcessorChoice::LibreOffice;
    if (text == u"auto")
        return WordProcessorChoice::Auto;
    return std::nullopt;
}

bool LibreOfficeInstalled() { return false; }

ChosenWordProcessor ChooseWordProcessor(WordProcessorChoice choice)
{
    ChosenWordProcessor chosen;
    if (choice == WordProcessorChoice::LibreOffice)
        chosen.notice = QStringLiteral("LibreOffice Writer is not used on Windows; "
                                       "the built-in word processor typesets instead.");
    chosen.backend = std::make_unique<builtin::BuiltinBackend>();
    return chosen;
}

// Never reached: LibreOfficeInstalled() is false.
QByteArray TypesetHeadlessInWriter(const std::function<void(word::Backend&)>&, const QString&)
{
    throw RuntimeError::CannotCreateObject();
}

} // namespace brevix
