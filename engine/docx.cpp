#include "engine/docx.h"

#include "model/errors.h"
#include "model/savefile.h"

#include <zip.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace brevix::engine {

namespace {

// An output buffer written through a raw pointer: the document text goes
// through here character by character, so each append must be cheap.
class Out {
public:
    explicit Out(qsizetype reserve) { buf_.resize(std::max<qsizetype>(reserve, 4096)); p_ = buf_.data(); }

    void raw(const char* s, std::size_t n)
    {
        ensure(static_cast<qsizetype>(n));
        std::memcpy(p_, s, n);
        p_ += n;
    }
    void raw(const char* s) { raw(s, std::strlen(s)); }
    void raw(const QByteArray& s) { raw(s.constData(), static_cast<std::size_t>(s.size())); }
    void number(long long v)
    {
        char tmp[24];
        const int n = std::snprintf(tmp, sizeof tmp, "%lld", v);
        raw(tmp, static_cast<std::size_t>(n));
    }
    // ` w:name="value"`
    void attribute(const char* name, long long value)
    {
        raw(" w:");
        raw(name);
        raw("=\"");
        number(value);
        raw("\"");
    }

    // Text as UTF-8 with the XML specials escaped; lone surrogates become U+FFFD.
    void text(const QChar* s, qsizetype n)
    {
        ensure(n * 6);
        char* p = p_;
        for (qsizetype i = 0; i < n; ++i) {
            char32_t c = s[i].unicode();
            if (c < 0x80) {
                switch (c) {
                case '&': std::memcpy(p, "&amp;", 5); p += 5; break;
                case '<': std::memcpy(p, "&lt;", 4); p += 4; break;
                case '>': std::memcpy(p, "&gt;", 4); p += 4; break;
                case '"': std::memcpy(p, "&quot;", 6); p += 6; break;
                default: *p++ = static_cast<char>(c);
                }
                continue;
            }
            if (c >= 0xD800 && c <= 0xDFFF) {
                if (c <= 0xDBFF && i + 1 < n && s[i + 1].isLowSurrogate()) {
                    c = QChar::surrogateToUcs4(static_cast<char16_t>(c), s[i + 1].unicode());
                    ++i;
                } else {
                    c = 0xFFFD;
                }
            }
            if (c < 0x800) {
                *p++ = static_cast<char>(0xC0 | (c >> 6));
                *p++ = static_cast<char>(0x80 | (c & 0x3F));
            } else if (c < 0x10000) {
                *p++ = static_cast<char>(0xE0 | (c >> 12));
                *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                *p++ = static_cast<char>(0x80 | (c & 0x3F));
            } else {
                *p++ = static_cast<char>(0xF0 | (c >> 18));
                *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                *p++ = static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        p_ = p;
    }
    void text(const QString& s) { text(s.constData(), s.size()); }

    QByteArray take()
    {
        buf_.resize(p_ - buf_.data());
        return std::move(buf_);
    }

private:
    void ensure(qsizetype n)
    {
        const qsizetype used = p_ - buf_.data();
        if (used + n <= buf_.size())
            return;
        buf_.resize(std::max(buf_.size() * 2, used + n));
        p_ = buf_.data() + used;
    }

    QByteArray buf_;
    char* p_ = nullptr;
};

const char* AlignmentValue(Alignment a)
{
    switch (a) {
    case Alignment::Left: return "left";
    case Alignment::Center: return "center";
    case Alignment::Right: return "right";
    case Alignment::Justify: return "both";
    }
    return "both";
}

const char* BorderStyleValue(int style)
{
    static const char* const values[] = {"none", "single", "dotted", "dashSmallGap", "dashed",
                                         "dotDash", "dotDotDash", "double", "triple"};
    return style >= 0 && style <= 8 ? values[style] : "single";
}

const char* UnderlineValue(int underline)
{
    switch (underline) {
    case 1: return "single";
    case 2: return "words";
    case 3: return "double";
    case 4: return "dotted";
    case 6: return "thick";
    default: return "none";
    }
}

void Color(Out& out, int colorIndex)
{
    const int rgb = PaletteRgb(colorIndex);
    if (rgb < 0) {
        out.raw("auto");
        return;
    }
    char tmp[16];
    std::snprintf(tmp, sizeof tmp, "%06X", static_cast<unsigned>(rgb) & 0xFFFFFFu);
    out.raw(tmp, 6);
}

void BorderEdge(Out& out, const char* edge, const Border& b)
{
    out.raw("<w:");
    out.raw(edge);
    out.raw(" w:val=\"");
    out.raw(BorderStyleValue(b.style));
    out.raw("\" w:sz=\"");
    out.number(b.width);
    out.raw("\" w:space=\"0\" w:color=\"");
    Color(out, b.colorIndex);
    out.raw("\"/>");
}

// hinted: the run holds punctuation that Word would otherwise set in the Latin font.
QByteArray RunProperties(const CharFormat& f, bool hinted = false)
{
    Out out(512);
    out.raw("<w:rPr><w:rFonts w:ascii=\"");
    out.text(f.latinFont);
    out.raw("\" w:hAnsi=\"");
    out.text(f.latinFont);
    out.raw("\" w:eastAsia=\"");
    out.text(f.eastAsianFont);
    out.raw(hinted ? "\" w:hint=\"eastAsia\"/>" : "\"/>");
    if (f.bold)
        out.raw("<w:b/><w:bCs/>");
    if (f.colorIndex != 0) {
        out.raw("<w:color w:val=\"");
        Color(out, f.colorIndex);
        out.raw("\"/>");
    }
    out.raw("<w:sz w:val=\"");
    out.number(f.halfPoints);
    out.raw("\"/><w:szCs w:val=\"");
    out.number(f.halfPoints);
    out.raw("\"/>");
    if (f.underline != 0) {
        out.raw("<w:u w:val=\"");
        out.raw(UnderlineValue(f.underline));
        out.raw("\"/>");
    }
    if (f.border.visible())
        BorderEdge(out, "bdr", f.border);
    out.raw("</w:rPr>");
    return out.take();
}

// pPr up to (not including) the paragraph mark's run properties.
QByteArray ParagraphProperties(const ParaFormat& f)
{
    Out out(512);
    out.raw("<w:pPr>");
    if (f.border.visible()) {
        out.raw("<w:pBdr>");
        for (const char* edge : {"top", "left", "bottom", "right"})
            BorderEdge(out, edge, f.border);
        out.raw("</w:pBdr>");
    }
    out.raw("<w:spacing w:before=\"0\" w:after=\"0\" w:line=\"");
    switch (f.lineSpacingRule) {
    case LineSpacingRule::Exactly:
        out.number(f.lineSpacingTwips);
        out.raw("\" w:lineRule=\"exact\"/>");
        break;
    case LineSpacingRule::AtLeast:
        out.number(f.lineSpacingTwips);
        out.raw("\" w:lineRule=\"atLeast\"/>");
        break;
    default:
        // Line-counting rules: 240 twips of LineSpacing are one line, which
        // the file writes as 240 with lineRule auto.
        out.number(f.lineSpacingTwips);
        out.raw("\" w:lineRule=\"auto\"/>");
        break;
    }
    if (f.firstLineIndentTwips != 0 || f.leftIndentTwips != 0) {
        out.raw("<w:ind w:left=\"");
        out.number(f.leftIndentTwips);
        if (f.firstLineIndentTwips < 0) {
            out.raw("\" w:hanging=\"");
            out.number(-static_cast<long long>(f.firstLineIndentTwips));
        } else {
            out.raw("\" w:firstLine=\"");
            out.number(f.firstLineIndentTwips);
        }
        out.raw("\"/>");
    }
    out.raw("<w:jc w:val=\"");
    out.raw(AlignmentValue(f.alignment));
    out.raw("\"/>");
    return out.take();
}

constexpr const char* NamespaceW = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr const char* NamespaceR = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// The hint moves every character Word finds ambiguous to the East-Asian
// font, not only our punctuation: so hinted punctuation never shares a run
// with a character we draw in the Latin font (é, ±, ©). ASCII and the
// East-Asian blocks keep their font either way.
enum class HintSide { Either, Hinted, Unhinted };

HintSide SideOf(char16_t c)
{
    if (c < 0x80)
        return HintSide::Either;
    if (IsHintedPunctuation(c))
        return HintSide::Hinted;
    // A surrogate counts as unhinted, so a pair is never split.
    return IsEastAsianChar(c) ? HintSide::Either : HintSide::Unhinted;
}

// Calls piece(start, end, hinted) for each run [start, end) is written as:
// one, unless hinted punctuation meets an unhinted character.
template <class Piece>
void ForEachHintPiece(const QChar* s, int start, int end, Piece piece)
{
    int from = start;
    HintSide side = HintSide::Either;
    for (int i = start; i < end; ++i) {
        const HintSide next = SideOf(s[i].unicode());
        if (next == HintSide::Either || next == side)
            continue;
        if (side != HintSide::Either) {
            piece(from, i, side == HintSide::Hinted);
            from = i;
        }
        side = next;
    }
    piece(from, end, side == HintSide::Hinted);
}

// Writes the characters of [start, end) of one run inside its w:r.
void RunContent(Out& out, const QChar* s, int start, int end)
{
    int seg = start;
    auto flush = [&](int upTo) {
        if (upTo > seg) {
            out.raw("<w:t xml:space=\"preserve\">");
            out.text(s + seg, upTo - seg);
            out.raw("</w:t>");
        }
    };
    for (int i = start; i < end; ++i) {
        const char16_t c = s[i].unicode();
        if (c >= 0x20 && c != 0xFFFE && c != 0xFFFF)
            continue;
        flush(i);
        seg = i + 1;
        if (c == PageBreak)
            out.raw("<w:br w:type=\"page\"/>");
        else if (c == LineBreak)
            out.raw("<w:br/>");
        else if (c == u'\t')
            out.raw("<w:tab/>");
        // Other control characters cannot appear in XML; they are left out.
    }
    flush(end);
}

void SectionProperties(Out& out, const Document& doc)
{
    const PageSetup& page = doc.pageSetup();
    out.raw("<w:sectPr>");
    if (doc.pageNumbers().on)
        out.raw("<w:footerReference w:type=\"default\" r:id=\"rIdFooter1\"/>");
    out.raw("<w:pgSz");
    out.attribute("w", page.widthTwips);
    out.attribute("h", page.heightTwips);
    out.raw("/><w:pgMar");
    out.attribute("top", page.topTwips);
    out.attribute("right", page.rightTwips);
    out.attribute("bottom", page.bottomTwips);
    out.attribute("left", page.leftTwips);
    out.attribute("header", page.headerTwips);
    out.attribute("footer", page.footerTwips);
    out.raw(" w:gutter=\"0\"/></w:sectPr>");
}

QByteArray FooterXml(const Document& doc)
{
    Out out(2048);
    out.raw("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:ftr xmlns:w=\"");
    out.raw(NamespaceW);
    out.raw("\" xmlns:r=\"");
    out.raw(NamespaceR);
    out.raw("\"><w:p><w:pPr><w:jc w:val=\"");
    out.raw(AlignmentValue(doc.pageNumbers().alignment));
    out.raw("\"/></w:pPr>");
    const QByteArray rPr = RunProperties(CharFormat{});
    auto run = [&](const char* inner) {
        out.raw("<w:r>");
        out.raw(rPr);
        out.raw(inner);
        out.raw("</w:r>");
    };
    run("<w:fldChar w:fldCharType=\"begin\"/>");
    run("<w:instrText xml:space=\"preserve\"> PAGE </w:instrText>");
    run("<w:fldChar w:fldCharType=\"separate\"/>");
    run("<w:t>1</w:t>");
    run("<w:fldChar w:fldCharType=\"end\"/>");
    out.raw("</w:p></w:ftr>");
    return out.take();
}

QByteArray StylesXml()
{
    Out out(2048);
    out.raw("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:styles xmlns:w=\"");
    out.raw(NamespaceW);
    out.raw("\"><w:docDefaults><w:rPrDefault>");
    // Chinese as the East-Asian language. Which font a character shared by
    // Latin and Chinese (quotes, dashes) takes is the run's hint.
    QByteArray rPr = RunProperties(CharFormat{});
    rPr.insert(rPr.size() - static_cast<qsizetype>(std::strlen("</w:rPr>")), "<w:lang w:val=\"en-US\" w:eastAsia=\"zh-CN\"/>");
    out.raw(rPr);
    out.raw("</w:rPrDefault><w:pPrDefault>");
    out.raw(ParagraphProperties(ParaFormat{}));
    out.raw("</w:pPr></w:pPrDefault></w:docDefaults>"
            "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/>"
            "<w:qFormat/></w:style>"
            "<w:style w:type=\"character\" w:default=\"1\" w:styleId=\"DefaultParagraphFont\">"
            "<w:name w:val=\"Default Paragraph Font\"/><w:uiPriority w:val=\"1\"/><w:semiHidden/></w:style>"
            "</w:styles>");
    return out.take();
}

QByteArray ContentTypes(bool footer)
{
    QByteArray s = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                   "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                   "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                   "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                   "<Override PartName=\"/word/document.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
                   "<Override PartName=\"/word/styles.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml\"/>";
    if (footer)
        s += "<Override PartName=\"/word/footer1.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.footer+xml\"/>";
    s += "</Types>";
    return s;
}

QByteArray PackageRels()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\"word/document.xml\"/>"
           "</Relationships>";
}

QByteArray DocumentRels(bool footer)
{
    QByteArray s = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                   "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                   "<Relationship Id=\"rIdStyles\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>";
    if (footer)
        s += "<Relationship Id=\"rIdFooter1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/footer\" Target=\"footer1.xml\"/>";
    s += "</Relationships>";
    return s;
}

struct ZipDeleter {
    void operator()(zip_t* z) const { zip_discard(z); }
};
struct SourceDeleter {
    void operator()(zip_source_t* s) const { zip_source_free(s); }
};

[[noreturn]] void Fail() { throw RuntimeError::DeviceIO(); }

} // namespace

QByteArray DocumentXml(const Document& doc, int firstParagraph, int endParagraph)
{
    const QString& text = doc.text();
    const QChar* s = text.constData();
    const int first = std::max(0, firstParagraph);
    const int last = std::min(endParagraph, doc.paragraphCount()) - 1;
    const qsizetype characters = first <= last ? doc.paragraph(last).end() - doc.paragraph(first).start : 0;
    Out out(characters * 3 + static_cast<qsizetype>(std::max(0, last + 1 - first)) * 400 + 4096);
    out.raw("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:document xmlns:w=\"");
    out.raw(NamespaceW);
    out.raw("\" xmlns:r=\"");
    out.raw(NamespaceR);
    out.raw("\"><w:body>");

    // Few distinct formats: build their property elements once.
    std::unordered_map<const CharFormat*, QByteArray> rPrs[2]; // plain, hinted
    std::unordered_map<const ParaFormat*, QByteArray> pPrs;
    auto rPr = [&](const CharFormat* f, bool hinted = false) -> const QByteArray& {
        auto& cache = rPrs[hinted ? 1 : 0];
        auto it = cache.find(f);
        if (it == cache.end())
            it = cache.emplace(f, RunProperties(*f, hinted)).first;
        return it->second;
    };

    for (int i = first; i <= last; ++i) {
        const ParagraphInfo para = doc.paragraph(i);
        auto pit = pPrs.find(para.format);
        if (pit == pPrs.end())
            pit = pPrs.emplace(para.format, ParagraphProperties(*para.format)).first;
        out.raw("<w:p>");
        out.raw(pit->second);
        out.raw(rPr(&doc.charFormatAt(para.markPosition))); // the mark's own attributes
        out.raw("</w:pPr>");
        doc.forEachCharRun(para.start, para.markPosition, [&](const CharRun& run) {
            ForEachHintPiece(s, run.start, run.end, [&](int start, int end, bool hinted) {
                out.raw("<w:r>");
                out.raw(rPr(run.format, hinted));
                RunContent(out, s, start, end);
                out.raw("</w:r>");
            });
        });
        out.raw("</w:p>");
    }
    SectionProperties(out, doc);
    out.raw("</w:body></w:document>");
    return out.take();
}

void WriteDocx(const Document& doc, QIODevice& device, int firstParagraph, int endParagraph)
{
    const bool footer = doc.pageNumbers().on;
    // The parts must outlive the archive: libzip reads them on close.
    const QByteArray parts[] = {ContentTypes(footer), PackageRels(), DocumentRels(footer), StylesXml(),
                                DocumentXml(doc, firstParagraph, endParagraph), footer ? FooterXml(doc) : QByteArray()};
    const char* names[] = {"[Content_Types].xml", "_rels/.rels", "word/_rels/document.xml.rels",
                           "word/styles.xml", "word/document.xml", "word/footer1.xml"};

    zip_error_t error;
    zip_error_init(&error);
    std::unique_ptr<zip_source_t, SourceDeleter> memory(zip_source_buffer_create(nullptr, 0, 0, &error));
    if (!memory)
        Fail();
    std::unique_ptr<zip_t, ZipDeleter> archive(zip_open_from_source(memory.get(), ZIP_TRUNCATE, &error));
    if (!archive)
        Fail();
    zip_source_keep(memory.get()); // the archive releases its reference on close

    for (std::size_t i = 0; i < std::size(parts); ++i) {
        if (i == 5 && !footer)
            break;
        zip_source_t* src = zip_source_buffer(archive.get(), parts[i].constData(), static_cast<zip_uint64_t>(parts[i].size()), 0);
        if (!src)
            Fail();
        const zip_int64_t index = zip_file_add(archive.get(), names[i], src, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(src);
            Fail();
        }
        // Level 1: the document XML is repetitive markup that deflates well
        // even at the fastest level, and deflating dominates saving time.
        zip_set_file_compression(archive.get(), static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1);
    }
    if (zip_close(archive.get()) != 0)
        Fail();
    (void)archive.release(); // zip_close freed it

    if (zip_source_open(memory.get()) != 0)
        Fail();
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    for (;;) {
        const zip_int64_t n = zip_source_read(memory.get(), chunk.data(), static_cast<zip_uint64_t>(chunk.size()));
        if (n < 0) {
            zip_source_close(memory.get());
            Fail();
        }
        if (n == 0)
            break;
        if (device.write(chunk.constData(), n) != n) {
            zip_source_close(memory.get());
            Fail();
        }
    }
    zip_source_close(memory.get());
}

void SaveDocx(Document& doc, const QString& path)
{
    SaveFile(path, [&](QIODevice& device) { WriteDocx(doc, device); });
    doc.setSaved();
}

} // namespace brevix::engine
