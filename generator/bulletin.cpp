#include "generator/bulletin.h"

#include "generator/bulletin_steps.h"

namespace brevix {

namespace {

QString Spaces(int n) { return QString(n, u' '); }

// Body line of a section: lead, content (trimmed or as stored), separator,
// trimmed source, CR.
BodyStyle Body(int lead, bool trimContent, int separator)
{
    return {QStringLiteral("仿宋_GB2312"), [=](const Article& a) {
                const QString content = trimContent ? BulletinSteps::TrimSpaces(a.content) : a.content;
                return Spaces(lead) + content + Spaces(separator) + BulletinSteps::TrimSpaces(a.source)
                    + QChar(u'\r');
            }};
}

} // namespace

void OutputIssueToWord(word::Backend& backend, const QVector<Article>& articlesIn, const OutputTexts& texts,
                       const ContactTexts& contacts, const YieldFn& yield)
{
    // Our own copy: edits made in the window while we yield cannot reach it.
    const QVector<Article> articles = articlesIn;

    BulletinSteps s(backend, ErrorPolicy::ResumeNext, yield);
    s.AttachThenCreate();
    s.StartDocument();

    s.Masthead(texts);
    s.ContentsHeading(QStringLiteral("目     录"));

    const QString macro = QStringLiteral("宏观动向");
    const QString industry = QStringLiteral("行业动向");
    const QString digest = QStringLiteral("综信采撷");

    s.Collapse();
    s.GroupHeading(macro);
    s.ContentsScan(articles, macro, false);
    s.Collapse();
    s.GroupHeading(industry);
    for (const char16_t* name : {u"企业纵横", u"市场动态", u"综合报道"})
        s.ContentsEntry(QString::fromUtf16(name));
    s.ExactSpacing(18);
    s.Refresh();
    s.Collapse();
    s.GroupHeading(digest);
    s.ContentsScan(articles, digest, false);
    s.PageBreak();

    s.Append(QStringLiteral("\r"));
    s.ExactSpacing(26);
    s.Collapse();

    s.SectionHeading(macro);
    s.CategoryScan(articles, macro, EntryForm::Titled, Body(4, true, 5));
    s.Append(QStringLiteral("\r"));
    s.ExactSpacing(26);
    s.Collapse();
    s.Collapse();

    s.SectionHeading(industry);
    s.Collapse();
    s.SubsectionHeading(QStringLiteral("企  业  纵  横"));
    s.CategoryScan(articles, QStringLiteral("企业纵横"), EntryForm::Bulleted, Body(1, true, 4));
    s.Collapse();
    s.SubsectionHeading(QStringLiteral("市  场  动  态"));
    s.CategoryScan(articles, QStringLiteral("市场动态"), EntryForm::Bulleted, Body(1, true, 5));
    s.Collapse();
    s.SubsectionHeading(QStringLiteral("综  合  报  道"));
    s.CategoryScan(articles, QStringLiteral("综合报道"), EntryForm::Bulleted, Body(1, true, 3));
    s.Append(QStringLiteral("\r"));
    s.ExactSpacing(26);
    s.Collapse();

    s.SectionHeading(digest);
    s.CategoryScan(articles, digest, EntryForm::Titled, Body(4, false, 4));
    s.ExactSpacing(26);
    s.Collapse();

    s.ClosingBlock({
        QStringLiteral("联系电话：") + contacts.phone + QStringLiteral("  传真：") + contacts.fax,
        QStringLiteral("E-mail: ") + contacts.email + QStringLiteral("    资讯协调部"),
    });

    s.ActivateApplication();
    s.SelectDocument();
    s.Release();
}

} // namespace brevix
