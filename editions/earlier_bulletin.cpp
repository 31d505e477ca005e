#include "editions/earlier_bulletin.h"

#include "generator/bulletin_steps.h"

namespace brevix {

namespace {

QString Spaces(int n) { return QString(n, u' '); }

BodyStyle Body(int lead, bool trimContent)
{
    return {QStringLiteral("楷体_GB2312"), [=](const Article& a) {
                const QString content = trimContent ? BulletinSteps::TrimSpaces(a.content) : a.content;
                return Spaces(lead) + content + Spaces(14) + BulletinSteps::TrimSpaces(a.source) + QChar(u'\r');
            }};
}

} // namespace

void OutputEarlierIssueToWord(word::Backend& backend, const QVector<Article>& articlesIn,
                              const OutputTexts& texts, const ContactTexts& contacts, const YieldFn& yield)
{
    // Our own copy: edits made in the window while we yield cannot reach it.
    const QVector<Article> articles = articlesIn;

    BulletinSteps s(backend, ErrorPolicy::StopAtFirstFailure, yield);
    s.Create();
    s.StartDocument();

    s.Masthead(texts);
    s.ContentsHeading(QStringLiteral("目   录"));
    s.Collapse();

    const QString titledSections[] = {QStringLiteral("宏观动向"), QStringLiteral("热点关注"),
                                      QStringLiteral("信息综览"), QStringLiteral("企业纵横")};
    for (const QString& group : titledSections) {
        s.GroupHeading(group);
        // Only the last group lets the window in between articles.
        s.ContentsScan(articles, group, &group == &titledSections[3]);
        s.Collapse();
    }
    s.GroupHeading(QStringLiteral("行业简讯"));
    s.ContentsEntry(QStringLiteral("国 内"));
    s.ContentsEntry(QStringLiteral("国 际"));
    s.ExactSpacing(18);
    s.ExactSpacing(18);
    s.PageBreak();
    s.Append(QStringLiteral("\r"));
    s.ExactSpacing(26);
    s.Collapse();

    for (const QString& section : titledSections) {
        s.SectionHeading(section);
        const bool first = &section == &titledSections[0];
        s.CategoryScan(articles, section, EntryForm::Titled, first ? Body(4, true) : Body(0, false));
        s.Append(QStringLiteral("\r"));
        s.ExactSpacing(26);
        s.Collapse();
    }

    s.SectionHeading(QStringLiteral("行业简讯"));
    s.Collapse();
    s.SubsectionHeading(QStringLiteral("国 内"));
    s.CategoryScan(articles, QStringLiteral("国内行业"), EntryForm::Bulleted, Body(1, true));
    s.Collapse();
    s.SubsectionHeading(QStringLiteral("国 际"));
    s.CategoryScan(articles, QStringLiteral("国际行业"), EntryForm::Bulleted, Body(1, true));
    s.Collapse();

    s.ClosingBlock({
        QStringLiteral("欢迎您提宝贵意见  联系电话：") + contacts.phone + QStringLiteral("  资讯协调部"),
        QStringLiteral("传真：") + contacts.fax,
        QStringLiteral("E-mail: ") + contacts.email,
    });

    s.ActivateApplication();
    s.SelectDocument();
    s.BeginKeys();
    for (const char16_t* keys : {u"%o", u"f", u"%o", u"times new roman", u"{ENTER}", u"{ENTER}", u"%i", u"u",
                                 u"%a{up}", u"{ENTER}", u"{ENTER}"})
        s.SendKeys(QString::fromUtf16(keys));
    s.Append(QStringLiteral(" "));
    s.Release();
}

} // namespace brevix
