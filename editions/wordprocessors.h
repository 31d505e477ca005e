#pragma once
// Which word processor the bulletin goes to: the built-in engine or
// LibreOffice Writer, chosen on the command line (--word-processor).

#include "generator/automation.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace brevix {

enum class WordProcessorChoice { Builtin, LibreOffice, Auto };

// "builtin", "libreoffice" or "auto"; nothing for any other text.
std::optional<WordProcessorChoice> ParseWordProcessorChoice(const QString& text);

// True when LibreOffice is installed here with what a live connection needs.
bool LibreOfficeInstalled();

struct ChosenWordProcessor {
    std::unique_ptr<word::Backend> backend;
    bool writer = false; // LibreOffice Writer (possibly falling back to the engine at run time)
    QString notice;      // for the editor when the choice could not be honoured
};

// For the windows: Auto and LibreOffice take Writer when it is installed;
// when Writer cannot be had at output time the engine typesets instead.
// LibreOffice asked for but not installed gives the engine and a notice.
ChosenWordProcessor ChooseWordProcessor(WordProcessorChoice choice);

// Writer without windows, for the headless command: `typeset` fills a new
// document through the backend it is given, which comes back through
// Writer's own export ("docx" or "pdf"), in an office of the run's own that
// is ended however the run ends. Throws RuntimeError.
QByteArray TypesetHeadlessInWriter(const std::function<void(word::Backend&)>& typeset, const QString& format);

} // namespace brevix
