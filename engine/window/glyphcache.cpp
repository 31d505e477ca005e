#include "engine/window/glyphcache.h"

#include "engine/window/fonts.h"

#include <QFont>
#include <QFontDatabase>

namespace brevix::docwindow {

namespace {

QRawFont LoadRaw(const QString& family, qreal size, bool bold, bool eastAsian)
{
    QFont font(family);
    font.setPixelSize(std::max(1, qRound(size)));
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferOutline);
    // The writing system picks the engine Qt would use for such text, so a
    // Latin face asked for CJK does not hand back a fallback's metrics.
    QRawFont raw = QRawFont::fromFont(font, eastAsian ? QFontDatabase::SimplifiedChinese : QFontDatabase::Any);
    if (raw.isValid())
        raw.setPixelSize(size);
    return raw;
}

} // namespace

Face::Face(const QString& family, qreal size, bool bold, bool eastAsian)
    : family_(family), size_(size), bold_(bold), eastAsian_(eastAsian)
{
    fonts_.push_back(LoadRaw(family, size, bold, eastAsian));
    const QRawFont& f = fonts_.front();
    if (f.isValid()) {
        ascent_ = f.ascent();
        descent_ = f.descent();
        leading_ = std::max<qreal>(0, f.leading());
        underlinePos_ = f.underlinePosition();
        thickness_ = f.lineThickness();
    }
    if (ascent_ <= 0) { // no usable face at all: plausible metrics keep layout sane
        ascent_ = size * 0.88;
        descent_ = size * 0.12;
    }
    if (thickness_ <= 0)
        thickness_ = size / 20;
    if (underlinePos_ <= 0)
        underlinePos_ = size / 10;
}

QRawFont Face::loadFallback(int index) const
{
    return LoadRaw(FallbackFaces().at(index), size_, bold_, eastAsian_);
}

const QRawFont& Face::scaledFont(int face, qreal scale)
{
    const qint64 key = (static_cast<qint64>(face) << 32) | static_cast<quint32>(qRound(scale * 1000));
    auto it = scaled_.find(key);
    if (it == scaled_.end()) {
        if (scaled_.size() > 64) // zooming through many scales
            scaled_.clear();
        QRawFont f = rawFont(face);
        if (f.isValid())
            f.setPixelSize(size_ * scale);
        it = scaled_.insert(key, f);
    }
    return *it;
}

const GlyphInfo& Face::glyph(char32_t ucs)
{
    auto it = glyphs_.constFind(ucs);
    if (it != glyphs_.constEnd())
        return *it;

    GlyphInfo info;
    const bool blank = ucs < 0x20 || ucs == 0xFEFF;
    if (!blank) {
        bool found = false;
        for (std::size_t i = 0;; ++i) {
            if (i == fonts_.size()) {
                if (fallbacksTried_ >= FallbackFaces().size())
                    break;
                fonts_.push_back(loadFallback(fallbacksTried_++));
            }
            const QRawFont& f = fonts_[i];
            if (!f.isValid() || !f.supportsCharacter(ucs))
                continue;
            QChar units[2];
            int n = 0;
            if (QChar::requiresSurrogates(ucs)) {
                units[0] = QChar(QChar::highSurrogate(ucs));
                units[1] = QChar(QChar::lowSurrogate(ucs));
                n = 2;
            } else {
                units[0] = QChar(static_cast<char16_t>(ucs));
                n = 1;
            }
            quint32 glyphs[2] = {0, 0};
            int count = 2;
            if (!f.glyphIndexesForChars(units, n, glyphs, &count) || count < 1 || glyphs[0] == 0)
                continue;
            QPointF advance;
            f.advancesForGlyphIndexes(glyphs, &advance, 1, QRawFont::UseDesignMetrics);
            info.glyph = glyphs[0];
            info.advance = static_cast<float>(advance.x());
            info.face = static_cast<quint8>(i);
            found = true;
            break;
        }
        if (!found) // nothing has it: a blank of half an em keeps the text readable
            info.advance = static_cast<float>(size_ / 2);
    }
    return *glyphs_.insert(ucs, info);
}

Face& GlyphCache::face(const QString& family, int halfPoints, bool bold, bool eastAsian)
{
    if (lastFace_ && lastKey_.halfPoints == halfPoints && lastKey_.bold == bold
        && lastKey_.eastAsian == eastAsian && lastKey_.family == family)
        return *lastFace_;
    Key key{family, halfPoints, bold, eastAsian};
    auto it = faces_.find(key);
    if (it == faces_.end())
        it = faces_.insert(key, std::make_shared<Face>(family, halfPoints / 2.0, bold, eastAsian));
    lastKey_ = key;
    lastFace_ = it->get();
    return *lastFace_;
}

} // namespace brevix::docwindow
