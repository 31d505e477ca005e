#pragma once
// Which word processor the bulletin goes to, chosen on the command line
// (--word-processor): the built-in engine; LibreOffice Writer (Linux); Word
// or WPS Office's writer through COM (Windows); or auto, the first of those
// the platform has.

#include "generator/automation.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace brevix {

// In the order of their names (WordProcessorNames).
enum class WordProcessorChoice { Builtin, LibreOffice, Auto, Word, Wps };

// One of WordProcessorNames(); nothing for any other text.
std::optional<WordProcessorChoice> ParseWordProcessorChoice(const QString& text);
QString WordProcessorNames(); // "builtin|libreoffice|auto|word|wps"

// True when LibreOffice is installed here with what a live connection needs.
bool LibreOfficeInstalled();

struct ChosenWordProcessor {
    std::unique_ptr<word::Backend> backend;
    bool live = false; // a word processor of its own (falling back to the engine when it cannot be had)
    QString notice;    // for the editor when the choice could not be honoured
};

// For the windows: the word processor asked for when this machine has it,
// the engine when it cannot be had at output time; one not installed gives
// the engine and a notice.
ChosenWordProcessor ChooseWordProcessor(WordProcessorChoice choice);

// The headless command's word processor: `typeset` fills a new document
// through the backend it is given, and the document comes back through that
// word processor's own export ("docx" or "pdf"), with whatever it started
// ended however the run ends. Empty typeset: the built-in engine typesets
// (with a notice when something else was asked for and is not installed).
using HeadlessTypeset =
    std::function<QByteArray(const std::function<void(word::Backend&)>& typeset, const QString& format)>;
struct HeadlessWordProcessor {
    HeadlessTypeset typeset;
    QString notice;
};
HeadlessWordProcessor ChooseHeadlessWordProcessor(WordProcessorChoice choice);

} // namespace brevix
