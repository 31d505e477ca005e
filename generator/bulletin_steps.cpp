#include "generator/bulletin_steps.h"

#include <optional>

namespace brevix {

namespace {

const QChar CR(u'\r');

RuntimeError ObjectNotSet() { return {91, QStringLiteral("对象变量或 With 块变量未设置")}; }

QString Cr() { return QString(CR); }

// A call on a reference that was never obtained.
template <typename T> T& Deref(const std::shared_ptr<T>& ref)
{
    if (!ref)
        throw ObjectNotSet();
    return *ref;
}

} // namespace

BulletinSteps::BulletinSteps(word::Backend& backend, ErrorPolicy policy, YieldFn yield)
    : backend_(backend), policy_(policy), yield_(std::move(yield)) {}

BulletinSteps::~BulletinSteps() { Release(); }

template <typename F> void BulletinSteps::step(F&& f)
{
    try {
        f();
        consecutiveFailures_ = 0;
    } catch (const RuntimeError& error) {
        failed(error);
    }
}

// A step that does not talk to the word processor (arithmetic): skipped
// without asking whether the word processor still answers.
template <typename F> void BulletinSteps::local(F&& f)
{
    try {
        f();
    } catch (const RuntimeError&) {
        if (policy_ == ErrorPolicy::StopAtFirstFailure)
            throw;
    }
}

void BulletinSteps::failed(const RuntimeError& error)
{
    if (policy_ == ErrorPolicy::StopAtFirstFailure)
        throw error;
    // Until the working range exists the obtaining steps decide for themselves.
    if (!range_)
        return;
    if (++consecutiveFailures_ >= GiveUpAfter || !stillAnswering())
        throw error;
}

// One failing call is skipped; a word processor that cannot even report the
// end of the working range is gone, and going on would only report a
// document that does not exist as typeset. One that still reports it but
// refuses everything else is caught by the run of consecutive failures.
bool BulletinSteps::stillAnswering()
{
    try {
        range_->get_End();
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

word::Application& BulletinSteps::app() { return Deref(app_); }

word::Document& BulletinSteps::doc() { return Deref(doc_); }

word::Range& BulletinSteps::range() { return Deref(range_); }

// Made once, on first use; a failed creation is tried again at the next use.
word::Global& BulletinSteps::global()
{
    if (!global_)
        global_ = backend_.CreateGlobal();
    return Deref(global_);
}

// --- Obtaining ---------------------------------------------------------------

void BulletinSteps::AttachThenCreate()
{
    std::optional<RuntimeError> last;
    try {
        app_ = backend_.GetObject(word::WordApplicationClass());
    } catch (const RuntimeError& error) {
        last = error;
    }
    try {
        if (auto created = backend_.CreateObject(word::WordApplicationClass()))
            app_ = std::move(created);
    } catch (const RuntimeError& error) {
        last = error;
    }
    if (!app_)
        throw last ? *last : RuntimeError::CannotCreateObject();
}

void BulletinSteps::Create()
{
    app_ = backend_.CreateObject(word::WordApplicationClass());
    if (!app_)
        throw RuntimeError::CannotCreateObject();
}

// Without a document and its working range nothing can be typeset: that ends
// the run under either policy.
void BulletinSteps::StartDocument()
{
    doc_ = Deref(app().get_Documents()).Add();
    if (!doc_)
        throw ObjectNotSet();
    range_ = doc_->Range(0, 0);
    if (!range_)
        throw ObjectNotSet();
    Align(word::wdAlignParagraphCenter);
}

void BulletinSteps::Release()
{
    range_.reset();
    doc_.reset();
    app_.reset();
    global_.reset();
}

// --- Single operations ---------------------------------------------------------

void BulletinSteps::Append(const QString& text)
{
    step([&] { range().InsertAfter(text); });
}

void BulletinSteps::AppendEach(const QString& ch, int count)
{
    for (int i = 0; i < count; ++i)
        Append(ch);
}

void BulletinSteps::Collapse()
{
    step([&] {
        auto& r = range();
        r.put_Start(r.get_End());
    });
}

void BulletinSteps::FontName(const QString& name)
{
    step([&] { Deref(range().get_Font()).put_Name(name); });
}

void BulletinSteps::FontSize(float points)
{
    step([&] { Deref(range().get_Font()).put_Size(points); });
}

void BulletinSteps::Font(const QString& name, float points)
{
    FontName(name);
    FontSize(points);
}

// Group and section headings: 隶书 14, bold, blue.
void BulletinSteps::HeadingFont()
{
    Font(QStringLiteral("隶书"), 14);
    FontBold();
    FontColor(word::wdBlue);
}

// Sub-section headings and article titles: 黑体 14, bold.
void BulletinSteps::TitleFont()
{
    Font(QStringLiteral("黑体"), 14);
    FontBold();
}

void BulletinSteps::FontBold()
{
    step([&] { Deref(range().get_Font()).put_Bold(word::True); });
}

void BulletinSteps::FontColor(int colorIndex)
{
    step([&] { Deref(range().get_Font()).put_ColorIndex(colorIndex); });
}

void BulletinSteps::FontUnderline(int underline)
{
    step([&] { Deref(range().get_Font()).put_Underline(underline); });
}

void BulletinSteps::Align(int alignment)
{
    step([&] { Deref(range().get_Paragraphs()).put_Alignment(alignment); });
}

void BulletinSteps::ExactSpacing(float points)
{
    step([&] { Deref(range().get_ParagraphFormat()).put_LineSpacingRule(word::wdLineSpaceExactly); });
    step([&] { Deref(range().get_ParagraphFormat()).put_LineSpacing(points); });
}

void BulletinSteps::HangingIndent()
{
    step([&] { Deref(range().get_ParagraphFormat()).put_FirstLineIndent(global().InchesToPoints(-0.3f)); });
    step([&] { Deref(range().get_ParagraphFormat()).put_LeftIndent(global().InchesToPoints(0.3f)); });
}

void BulletinSteps::Border()
{
    step([&] { Deref(range().get_Borders()).put_OutsideLineStyle(word::wdLineStyleDouble); });
    step([&] { Deref(range().get_Borders()).put_OutsideColorIndex(word::wdViolet); });
    step([&] { Deref(range().get_Borders()).put_OutsideLineWidth(word::wdLineWidth050pt); });
}

void BulletinSteps::SelectRange()
{
    step([&] { range().Select(); });
}

void BulletinSteps::PageBreak()
{
    step([&] { range().Collapse(word::wdCollapseEnd); });
    step([&] { range().InsertBreak(word::wdPageBreak); });
}

void BulletinSteps::Refresh()
{
    step([&] { app().ScreenRefresh(); });
}

void BulletinSteps::Yield()
{
    if (yield_)
        yield_();
}

void BulletinSteps::ShowDocument()
{
    step([&] { doc().Activate(); });
    step([&] { app().put_Visible(true); });
}

void BulletinSteps::ActivateApplication()
{
    step([&] { app().Activate(); });
}

void BulletinSteps::SelectDocument()
{
    step([&] { doc().Select(); });
}

void BulletinSteps::BeginKeys()
{
    step([&] { backend_.Keys().BeginPhase(); });
}

void BulletinSteps::SendKeys(const QString& keys)
{
    step([&] { backend_.Keys().SendKeys(keys, true); });
}

// --- Step groups -----------------------------------------------------------------

void BulletinSteps::Masthead(const OutputTexts& texts)
{
    const QString kai = QStringLiteral("楷体_GB2312");

    Append(Cr() + QStringLiteral("情 况 反 映") + Cr());
    Font(QStringLiteral("隶书"), 42);
    FontBold();
    FontColor(word::wdRed);

    Collapse();
    Append(QStringLiteral("第") + texts.number + QStringLiteral("期") + Cr());
    Font(kai, 16);
    FontBold();
    FontColor(word::wdRed);

    Collapse();
    Append(QStringLiteral("远帆联络办事处       总第") + texts.total + QStringLiteral("期     ") + texts.year
           + QStringLiteral("年") + texts.month + QStringLiteral("月") + texts.day + QStringLiteral("日") + Cr());
    Font(kai, 16);
    FontBold();
    FontUnderline(word::wdUnderlineDouble);
    FontColor(word::wdRed);

    Collapse();
    Append(QStringLiteral("（内部资料  注意保管）"));
    FontName(kai);
    FontBold();
    FontSize(14);
}

void BulletinSteps::ContentsHeading(const QString& heading)
{
    Collapse();
    Append(Cr() + Cr() + heading + Cr());
    Font(QStringLiteral("黑体"), 16);
    FontBold();
    ExactSpacing(26);
    ShowDocument();
}

void BulletinSteps::GroupHeading(const QString& group)
{
    Append(group + Cr());
    HeadingFont();
    Align(word::wdAlignParagraphLeft);
    Collapse();
}

int BulletinSteps::FillCount(qsizetype length)
{
    // 90 - (3 * L + 10) with every intermediate a 16-bit signed integer.
    const qint64 inner = 3 * qint64(length) + 10;
    if (length > 32767 || inner > 32767)
        throw RuntimeError::Overflow();
    return int(90 - inner);
}

void BulletinSteps::ContentsEntry(const QString& text)
{
    // L is a 16-bit integer: a longer text fails already here.
    std::optional<qsizetype> length;
    local([&] {
        if (text.size() > 32767)
            throw RuntimeError::Overflow();
        length = text.size();
    });

    Append(QStringLiteral("    ") + text);
    Font(QStringLiteral("楷体_GB2312"), 14);
    Align(word::wdAlignParagraphLeft);

    int dashes = 0; // an overflow skipped under ResumeNext adds no fill
    local([&] {
        if (length)
            dashes = FillCount(*length);
    });
    AppendEach(QStringLiteral("-"), dashes);

    Append(Cr());
    Font(QStringLiteral("Times New Roman"), 14);
    Align(word::wdAlignParagraphLeft);
}

void BulletinSteps::ContentsScan(const QVector<Article>& articles, const QString& group, bool yieldEach)
{
    const qsizetype last = articles.size() - 1;
    for (qsizetype i = 0; i <= last; ++i) {
        if (articles[i].category == group)
            ContentsEntry(articles[i].title);
        ExactSpacing(18);
        Refresh();
        if (yieldEach)
            Yield();
    }
}

void BulletinSteps::SectionHeading(const QString& heading)
{
    Append(heading);
    HeadingFont();
    SelectRange();
    Border();
    Align(word::wdAlignParagraphLeft);
    Append(Cr());
    ExactSpacing(26);
}

void BulletinSteps::SubsectionHeading(const QString& heading)
{
    Append(heading + Cr());
    TitleFont();
    Align(word::wdAlignParagraphCenter);
    ExactSpacing(26);
    Collapse();
}

void BulletinSteps::TitledEntry(const Article& article, const BodyStyle& body)
{
    Collapse();
    Append(article.title + Cr());
    TitleFont();
    Align(word::wdAlignParagraphCenter);
    ExactSpacing(26);
    Collapse();
    Append(body.line(article));
    Font(body.font, 14);
    Align(word::wdAlignParagraphJustify);
}

void BulletinSteps::BulletedEntry(const Article& article, const BodyStyle& body)
{
    Collapse();
    Append(QStringLiteral("※"));
    Font(body.font, 14);
    Align(word::wdAlignParagraphLeft);
    Collapse();
    Append(body.line(article));
    Font(body.font, 14);
    Align(word::wdAlignParagraphJustify);
    HangingIndent();
    ExactSpacing(26);
}

void BulletinSteps::CategoryScan(const QVector<Article>& articles, const QString& category, EntryForm form,
                                 const BodyStyle& body)
{
    const qsizetype last = articles.size() - 1;
    for (qsizetype i = 0; i <= last; ++i) {
        if (articles[i].category == category) {
            if (form == EntryForm::Titled)
                TitledEntry(articles[i], body);
            else
                BulletedEntry(articles[i], body);
        }
        if (form == EntryForm::Titled)
            ExactSpacing(26);
        Yield();
    }
}

void BulletinSteps::ClosingBlock(const QStringList& lines)
{
    Append(Cr());
    AppendEach(QStringLiteral("─"), 28);
    Append(Cr());
    for (const QString& line : lines)
        Append(line + Cr());
    Font(QStringLiteral("楷体_GB2312"), 14);
    Align(word::wdAlignParagraphCenter);
    FontBold();
    FontColor(word::wdBlue);
}

QString BulletinSteps::TrimSpaces(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

} // namespace brevix
