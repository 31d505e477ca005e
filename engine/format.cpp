#include "engine/format.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <iterator>

namespace brevix::engine {

int PaletteRgb(int colorIndex)
{
    static constexpr int palette[17] = {
        -1,       // automatic
        0x000000, // black
        0x0000FF, // blue
        0x00FFFF, // turquoise
        0x00FF00, // bright green
        0xFF00FF, // pink
        0xFF0000, // red
        0xFFFF00, // yellow
        0xFFFFFF, // white
        0x000080, // dark blue
        0x008080, // teal
        0x008000, // green
        0x800080, // violet
        0x800000, // dark red
        0x808000, // dark yellow
        0x808080, // grey 50 %
        0xC0C0C0, // grey 25 %
    };
    return IsValidColorIndex(colorIndex) ? palette[colorIndex] : -1;
}

bool IsEastAsianChar(char32_t c)
{
    return (c >= 0x1100 && c <= 0x11FF)      // hangul jamo
        || (c >= 0x2E80 && c <= 0x2FDF)      // CJK radicals
        || (c >= 0x2FF0 && c <= 0x303F)      // ideographic description, CJK punctuation
        || (c >= 0x3040 && c <= 0x31FF)      // kana, bopomofo, hangul compatibility …
        || (c >= 0x3200 && c <= 0x4DBF)      // enclosed CJK, compatibility, extension A
        || (c >= 0x4E00 && c <= 0x9FFF)      // unified ideographs
        || (c >= 0xA960 && c <= 0xA97F)      // hangul jamo extended
        || (c >= 0xAC00 && c <= 0xD7FF)      // hangul syllables
        || (c >= 0xF900 && c <= 0xFAFF)      // compatibility ideographs
        || (c >= 0xFE30 && c <= 0xFE4F)      // CJK compatibility forms
        || (c >= 0xFF00 && c <= 0xFFEF)      // full-width and half-width forms
        || (c >= 0x20000 && c <= 0x3FFFF)    // supplementary ideographs
        || IsHintedPunctuation(c);
}

static_assert(std::is_sorted(std::begin(HintedPunctuation), std::end(HintedPunctuation)));

bool IsHintedPunctuation(char32_t c)
{
    if (c < HintedPunctuation[0] || c > std::end(HintedPunctuation)[-1])
        return false;
    return std::binary_search(std::begin(HintedPunctuation), std::end(HintedPunctuation), c);
}

namespace {

// Faces the font boxes know, in their own spelling.
const QStringList& KnownFaces()
{
    static const QStringList faces = {
        QStringLiteral("Times New Roman"), QStringLiteral("Arial"), QStringLiteral("Courier New"),
        QStringLiteral("Symbol"), QStringLiteral("Wingdings"), QStringLiteral("Tahoma"),
        QStringLiteral("Verdana"), QStringLiteral("Georgia"), QStringLiteral("Arial Black"),
        QStringLiteral("宋体"), QStringLiteral("新宋体"), QStringLiteral("黑体"), QStringLiteral("楷体_GB2312"),
        QStringLiteral("仿宋_GB2312"), QStringLiteral("隶书"), QStringLiteral("幼圆"),
        QStringLiteral("SimSun"), QStringLiteral("NSimSun"), QStringLiteral("SimHei"),
        QStringLiteral("KaiTi_GB2312"), QStringLiteral("FangSong_GB2312"), QStringLiteral("KaiTi"),
        QStringLiteral("FangSong"), QStringLiteral("LiSu"), QStringLiteral("YouYuan"),
        QStringLiteral("Microsoft YaHei"), QStringLiteral("MingLiU"), QStringLiteral("PMingLiU"),
        QStringLiteral("MS Mincho"), QStringLiteral("MS Gothic"), QStringLiteral("MS PMincho"),
        QStringLiteral("MS PGothic"), QStringLiteral("Batang"), QStringLiteral("Gulim"),
        QStringLiteral("Dotum"), QStringLiteral("Gungsuh"),
    };
    return faces;
}

bool HasCjk(QStringView name)
{
    for (char32_t c : name.toUcs4())
        if (IsEastAsianChar(c))
            return true;
    return false;
}

} // namespace

bool IsEastAsianFontName(QStringView name)
{
    if (HasCjk(name))
        return true;
    // Known East-Asian faces with Latin names: from "SimSun" in the list on.
    const QStringList& faces = KnownFaces();
    const auto first = faces.indexOf(QStringLiteral("SimSun"));
    for (auto i = first; i < faces.size(); ++i)
        if (name.compare(faces[i], Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString CanonicalFontName(const QString& name)
{
    for (const QString& face : KnownFaces())
        if (name.compare(face, Qt::CaseInsensitive) == 0)
            return face;
    return name;
}

static std::size_t Mix(std::size_t h, std::size_t v)
{
    return h ^ (v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2));
}

static std::size_t HashBorder(std::size_t h, const Border& b)
{
    h = Mix(h, static_cast<std::size_t>(b.style));
    h = Mix(h, static_cast<std::size_t>(b.width));
    return Mix(h, static_cast<std::size_t>(b.colorIndex));
}

std::size_t HashOf(const CharFormat& f)
{
    std::size_t h = qHash(f.latinFont);
    h = Mix(h, qHash(f.eastAsianFont));
    h = Mix(h, static_cast<std::size_t>(f.halfPoints));
    h = Mix(h, f.bold ? 1u : 0u);
    h = Mix(h, static_cast<std::size_t>(f.colorIndex));
    h = Mix(h, static_cast<std::size_t>(f.underline));
    return HashBorder(h, f.border);
}

std::size_t HashOf(const ParaFormat& f)
{
    std::size_t h = static_cast<std::size_t>(f.alignment);
    h = Mix(h, static_cast<std::size_t>(f.lineSpacingRule));
    h = Mix(h, static_cast<std::size_t>(f.lineSpacingTwips));
    h = Mix(h, static_cast<std::size_t>(f.firstLineIndentTwips));
    h = Mix(h, static_cast<std::size_t>(f.leftIndentTwips));
    return HashBorder(h, f.border);
}

} // namespace brevix::engine
