#pragma once
// The cases on which a live word processor's document is compared with the
// built-in engine's: both editions with every category and empty, and page
// breaks where the bulletins put none.

#include "editions/edition.h"

namespace brevix::testing {

// Every category of both editions; quotes, empty fields, both kinds of line
// end, a title long enough to leave no dashes, a character outside the BMP.
inline QVector<Article> FullIssue()
{
    return {
        {"经济运行“总体平稳”", "国家统计局", "前三季度运行平稳。\r\n第二段\"引号\"内容。", "宏观动向"},
        {"公司签约", "", "签约仪式举行。\n单独换行的第二段。", "企业纵横"},
        {"钢材价格", "市场周报", "", "市场动态"},
        {"", "", "", "综合报道"},
        {"采撷𠀀一则", "报刊", "内容𠀀在此。", "综信采撷"},
        {"热点", "来源", "热点内容。", "热点关注"},
        {"综览", "来源", "综览内容。", "信息综览"},
        {"国内行业消息", "来源", "国内内容。", "国内行业"},
        {QString(30, u'长') + "的国际行业标题", "外电", "国际内容。", "国际行业"},
    };
}

inline const OutputTexts& AgreementTexts()
{
    static const OutputTexts texts{"3", "45", "2026", "12", "7"};
    return texts;
}

// Page breaks where the bulletins put none: alone in a paragraph before
// others, before text in its paragraph, inside a paragraph, ending one, two
// in a row; and alone at the end, as the bulletins put theirs, until text
// joins it. Shown after each step, so that a word processor that sends its
// changes over in stretches may start one right after a break.
inline const Edition& PageBreaks()
{
    static const Edition breaks{"page breaks", {}, false, [](word::Backend& backend, auto&&...) {
        const auto application = backend.CreateObject(word::WordApplicationClass());
        const auto document = application->get_Documents()->Add();
        application->put_Visible(true);
        const auto range = document->Range(0, 0);
        const auto pageBreak = [&] {
            range->Collapse(word::wdCollapseEnd);
            range->InsertBreak(word::wdPageBreak);
            application->ScreenRefresh();
        };
        range->InsertAfter("一\r\r二\r");
        application->ScreenRefresh();
        document->Range(2, 2)->InsertBreak(word::wdPageBreak);
        pageBreak();
        range->InsertAfter("三");
        pageBreak();
        range->InsertAfter("四\r");
        pageBreak();
        range->InsertAfter("五");
        pageBreak();
        range->InsertAfter("\r");
        application->ScreenRefresh();
        range->InsertAfter("六");
        pageBreak();
        pageBreak();
        range->InsertAfter("七");
        // The last paragraph shown in bold, then in plain characters: nothing of the bold may stay.
        const auto last = document->Range(range->get_Start(), range->get_End() + 1);
        last->get_Font()->put_Bold(word::True);
        application->ScreenRefresh();
        last->get_Font()->put_Bold(word::False);
    }};
    return breaks;
}

// "Brevix2003", "Brevix" or "page breaks".
inline const Edition& EditionNamed(const QString& name)
{
    return name == "Brevix" ? BrevixEdition() : name == "Brevix2003" ? Brevix2003Edition() : PageBreaks();
}

} // namespace brevix::testing
