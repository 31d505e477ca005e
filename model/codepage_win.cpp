// Code page 936 through Windows' own converter, the one every program there
// reads and writes the code page with; "?" for what it cannot hold, one per
// character.
#include "issuefile.h"

#include "errors.h"

#include <windows.h>

#include <algorithm>
#include <climits>

namespace brevix {

namespace {

constexpr UINT CodePage = 936;

// The converter counts a character beyond the BMP as two; a pair becomes one
// "?" here, as does a lone half. Copies only text that holds a surrogate.
QString OneUnitPerCharacter(const QString& text)
{
    const auto isSurrogate = [](QChar c) { return c.isSurrogate(); };
    if (std::none_of(text.begin(), text.end(), isSurrogate))
        return text;
    QString units;
    units.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!c.isSurrogate()) {
            units.append(c);
            continue;
        }
        units.append(u'?');
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    }
    return units;
}

int Length(qsizetype size)
{
    if (size > INT_MAX / 2)
        throw RuntimeError::Overflow();
    return static_cast<int>(size);
}

} // namespace

QByteArray ToCodePage936(const QString& text)
{
    const QString units = OneUnitPerCharacter(text);
    if (units.isEmpty())
        return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(units.utf16());
    const int length = Length(units.size());
    // No best fit: a character the code page lacks is not written as a look-alike.
    const int size = WideCharToMultiByte(CodePage, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, "?", nullptr);
    if (size <= 0)
        throw RuntimeError::DeviceIO();
    QByteArray out(size, Qt::Uninitialized);
    if (WideCharToMultiByte(CodePage, WC_NO_BEST_FIT_CHARS, wide, length, out.data(), size, "?", nullptr) != size)
        throw RuntimeError::DeviceIO();
    return out;
}

QString FromCodePage936(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return {};
    const int length = Length(bytes.size());
    const int size = MultiByteToWideChar(CodePage, 0, bytes.constData(), length, nullptr, 0);
    if (size <= 0)
        throw RuntimeError::DeviceIO();
    QString out(size, Qt::Uninitialized);
    if (MultiByteToWideChar(CodePage, 0, bytes.constData(), length, reinterpret_cast<wchar_t*>(out.data()), size) != size)
        throw RuntimeError::DeviceIO();
    return out;
}

} // namespace brevix
