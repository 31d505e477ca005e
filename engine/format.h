#pragma once
// Character and paragraph attributes of the built-in word processor, with the
// values and units the automation interface uses. Measurements are kept in
// twips and sizes in half-points, as a word processor stores them, so that
// equal settings compare equal and runs merge.

#include <QChar>
#include <QString>
#include <QStringView>
#include <cstddef>

namespace brevix::engine {

// Outside border of characters or paragraphs (automation values: line style
// 0 none, 1 single, 7 double …; width in eighths of a point as the
// wdLineWidth… values; colour index as for text).
struct Border {
    int style = 0;
    int width = 0;
    int colorIndex = 0;
    bool visible() const { return style != 0; }
    friend bool operator==(const Border&, const Border&) = default;
};

enum class Alignment { Left = 0, Center = 1, Right = 2, Justify = 3 };

enum class LineSpacingRule {
    Single = 0,
    OnePointFive = 1,
    Double = 2,
    AtLeast = 3,
    Exactly = 4,
    Multiple = 5
};

struct CharFormat {
    QString latinFont = QStringLiteral("Times New Roman");
    QString eastAsianFont = QStringLiteral("宋体");
    int halfPoints = 21; // 10.5 pt
    bool bold = false;
    int colorIndex = 0; // 0 = automatic
    int underline = 0;  // 0 none, 1 single, 2 words, 3 double, 4 dotted, 6 thick
    Border border;      // text border around the characters

    float sizePoints() const { return static_cast<float>(halfPoints) / 2.0f; }
    friend bool operator==(const CharFormat&, const CharFormat&) = default;
};

struct ParaFormat {
    Alignment alignment = Alignment::Justify;
    LineSpacingRule lineSpacingRule = LineSpacingRule::Single;
    // LineSpacing in twips, as the automation interface reads it in points:
    // the height for Exactly / AtLeast; for the other rules 240 (12 pt) is
    // one line (Single 240, OnePointFive 360, Double 480, Multiple any).
    int lineSpacingTwips = 240;
    int firstLineIndentTwips = 0; // negative: hanging
    int leftIndentTwips = 0;
    Border border;

    friend bool operator==(const ParaFormat&, const ParaFormat&) = default;
};

// Page size and margins in twips (A4, the margins of a simplified-Chinese blank document).
struct PageSetup {
    int widthTwips = 11906;
    int heightTwips = 16838;
    int topTwips = 1440;
    int bottomTwips = 1440;
    int leftTwips = 1800; // 3.17 cm as the word processor shows it
    int rightTwips = 1800;
    int headerTwips = 851;
    int footerTwips = 992;
    friend bool operator==(const PageSetup&, const PageSetup&) = default;
};

// Page numbers in the footer, as the page-number dialog puts them.
struct PageNumbers {
    bool on = false;
    Alignment alignment = Alignment::Right;
    friend bool operator==(const PageNumbers&, const PageNumbers&) = default;
};

// Characters with meaning in the text.
inline constexpr char16_t ParagraphMark = u'\r';
inline constexpr char16_t PageBreak = u'\f';
inline constexpr char16_t LineBreak = u'\v';

inline int PointsToTwips(double points) { return static_cast<int>(points * 20.0 + (points < 0 ? -0.5 : 0.5)); }
inline double TwipsToPoints(int twips) { return twips / 20.0; }

// The word processor's colour palette for colour indexes 1..16; 0 (automatic)
// and unknown indexes give -1. The result is 0xRRGGBB.
int PaletteRgb(int colorIndex);
inline bool IsValidColorIndex(int index) { return index >= 0 && index <= 16; }

// Chinese punctuation outside the East-Asian blocks (Latin-1, General
// Punctuation). We draw it with the East-Asian font; Word and LibreOffice do
// so only in runs marked w:hint="eastAsia" and take the Latin font otherwise,
// so the DOCX writer marks every run that holds one. Ascending.
inline constexpr char32_t HintedPunctuation[] = {
    0x00B7, // · middle dot
    0x2014, // — em dash (the Chinese dash is two of them)
    0x2015, // ― horizontal bar
    0x2016, // ‖ double vertical line
    0x2018, 0x2019, 0x201C, 0x201D, // ‘ ’ “ ”
    0x2025, // ‥ two-dot leader
    0x2026, // … ellipsis
    0x203B, // ※ reference mark
};
bool IsHintedPunctuation(char32_t c);

// True for characters drawn with the East-Asian font (CJK ideographs, kana,
// hangul, CJK punctuation, full-width forms, the hinted punctuation above);
// the Latin font takes the rest.
bool IsEastAsianChar(char32_t c);

// True when a font name denotes an East-Asian face: it contains CJK
// characters ("楷体_GB2312") or is a well-known East-Asian face with a Latin
// name ("SimSun"). Setting such a name sets both fonts.
bool IsEastAsianFontName(QStringView name);

// The spelling of a known face matching name case-insensitively, or name
// itself: what a font box shows after the user types a name.
QString CanonicalFontName(const QString& name);

std::size_t HashOf(const CharFormat& f);
std::size_t HashOf(const ParaFormat& f);

} // namespace brevix::engine
