#pragma once
// Glyphs and advances per face, size and weight, cached per character so that
// laying out a long document costs a hash look-up per character, not a
// shaping pass. Characters the face lacks come from the fallback faces.

#include <QHash>
#include <QRawFont>
#include <QString>
#include <memory>
#include <vector>

namespace brevix::docwindow {

struct GlyphInfo {
    quint32 glyph = 0;
    float advance = 0; // points
    quint8 face = 0;   // 0: the face itself; 1..: a fallback
};

class Face {
public:
    Face(const QString& family, qreal size, bool bold, bool eastAsian);

    const GlyphInfo& glyph(char32_t ucs);
    const QRawFont& rawFont(int face) const { return fonts_[static_cast<std::size_t>(face)]; }
    // The same font at scale times its size, for drawing in device pixels
    // (so hinting and synthetic bold apply at the size shown).
    const QRawFont& scaledFont(int face, qreal scale);
    const QString& family() const { return family_; }
    qreal size() const { return size_; }
    bool bold() const { return bold_; }
    bool eastAsian() const { return eastAsian_; }
    // Metrics of the face itself, points.
    qreal ascent() const { return ascent_; }
    qreal descent() const { return descent_; }
    qreal leading() const { return leading_; }
    qreal underlinePosition() const { return underlinePos_; }
    qreal lineThickness() const { return thickness_; }

private:
    QRawFont loadFallback(int index) const;

    QString family_;
    qreal size_;
    bool bold_;
    bool eastAsian_;
    std::vector<QRawFont> fonts_; // [0] the face, then fallbacks as needed
    int fallbacksTried_ = 0;
    QHash<char32_t, GlyphInfo> glyphs_;
    QHash<qint64, QRawFont> scaled_;
    qreal ascent_ = 0, descent_ = 0, leading_ = 0, underlinePos_ = 0, thickness_ = 0;
};

class GlyphCache {
public:
    // The face for a document face name at a size in half-points; the Latin
    // and the East-Asian face of one name are distinct (the substitute for a
    // Latin character can differ from the one for a CJK character).
    Face& face(const QString& family, int halfPoints, bool bold, bool eastAsian);

private:
    struct Key {
        QString family;
        int halfPoints;
        bool bold;
        bool eastAsian;
        friend bool operator==(const Key&, const Key&) = default;
    };
    friend size_t qHash(const Key& k, size_t seed) noexcept
    {
        return qHashMulti(seed, k.family, k.halfPoints, k.bold, k.eastAsian);
    }
    QHash<Key, std::shared_ptr<Face>> faces_;
    // The last face looked up: runs ask for the same face many times in a row.
    Key lastKey_;
    Face* lastFace_ = nullptr;
};

} // namespace brevix::docwindow
