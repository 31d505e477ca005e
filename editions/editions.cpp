#include "editions/edition.h"

#include "editions/contacts.h"
#include "editions/earlier_bulletin.h"
#include "generator/bulletin.h"

namespace brevix {

const Edition& Brevix2003Edition()
{
    static const Edition edition{
        QStringLiteral("Brevix2003"),
        {
            {QStringLiteral("optHGDX"), QStringLiteral("宏观动向")},
            {QStringLiteral("optQYZH"), QStringLiteral("企业纵横")},
            {QStringLiteral("optSCDT"), QStringLiteral("市场动态")},
            {QStringLiteral("optZHBD"), QStringLiteral("综合报道")},
            {QStringLiteral("optZXCX"), QStringLiteral("综信采撷")},
        },
        true,
        [](word::Backend& backend, const QVector<Article>& articles, const OutputTexts& texts,
           const YieldFn& yield) { OutputIssueToWord(backend, articles, texts, OfficeContacts(), yield); },
    };
    return edition;
}

const Edition& BrevixEdition()
{
    static const Edition edition{
        QStringLiteral("Brevix"),
        {
            {QStringLiteral("optHGDX"), QStringLiteral("宏观动向")},
            {QStringLiteral("optRDGZ"), QStringLiteral("热点关注")},
            {QStringLiteral("optXXZL"), QStringLiteral("信息综览")},
            {QStringLiteral("optQYZH"), QStringLiteral("企业纵横")},
            {QStringLiteral("optGNHY"), QStringLiteral("国内行业")},
            {QStringLiteral("optGJHY"), QStringLiteral("国际行业")},
        },
        false,
        [](word::Backend& backend, const QVector<Article>& articles, const OutputTexts& texts,
           const YieldFn& yield) {
            OutputEarlierIssueToWord(backend, articles, texts, OfficeContacts(), yield);
        },
    };
    return edition;
}

} // namespace brevix
