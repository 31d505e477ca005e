// The names of --word-processor, the same on every platform; what each
// platform can honour is its wordprocessors file's to say.
#include "editions/wordprocessors.h"

#include <QStringList>
#include <iterator>

namespace brevix {

namespace {

const char16_t* const Names[] = {u"builtin", u"libreoffice", u"auto", u"word", u"wps"};

} // namespace

std::optional<WordProcessorChoice> ParseWordProcessorChoice(const QString& text)
{
    for (size_t i = 0; i < std::size(Names); ++i)
        if (text == QStringView(Names[i]))
            return static_cast<WordProcessorChoice>(i);
    return std::nullopt;
}

QString WordProcessorNames()
{
    QStringList names;
    for (const char16_t* name : Names)
        names << QString::fromUtf16(name);
    return names.join(u'|');
}

} // namespace brevix
