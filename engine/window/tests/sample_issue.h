#pragma once
// Issues of realistic Chinese articles for the window's tests, made from a
// small phrase bank so that large issues cost nothing to describe, the
// bulletins the built-in engine typesets from them, and what pages show.

#include "editions/contacts.h"
#include "engine/document.h"
#include "engine/window/pagelayout.h"
#include "builtin/builtin_backend.h"
#include "generator/bulletin.h"
#include "model/issue.h"
#include "model/tests/files.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVector>

namespace brevix::docwindow::testing {

inline QVector<Article> SampleArticles(int count)
{
    static const QStringList titles = {
        QStringLiteral("一季度全市工业经济运行平稳向好"), QStringLiteral("新能源汽车产销两旺"),
        QStringLiteral("关于进一步优化营商环境的若干意见出台"), QStringLiteral("我国外贸进出口总值同比增长百分之八"),
    };
    static const QStringList sentences = {
        QStringLiteral("据有关部门统计，今年以来全市规模以上工业增加值同比增长百分之七点二，增速比上年同期提高一点五个百分点。"),
        QStringLiteral("其中，高技术制造业增加值增长百分之十二，对全市工业增长的贡献率达到百分之三十五。"),
        QStringLiteral("业内人士分析认为，随着一系列稳增长政策措施落地见效，企业生产经营状况持续改善，市场预期明显好转。"),
        QStringLiteral("下一步，有关部门将继续加大对中小企业的扶持力度，着力解决融资难、融资贵等突出问题。"),
        QStringLiteral("该项目总投资约12亿元，建成后可年产各类零部件300万件，新增就业岗位1500个。"),
        QStringLiteral("专家建议，企业应抓住产业升级的有利时机，加快数字化转型步伐，提高核心竞争力。"),
    };
    static const QStringList sources = {QStringLiteral("经济日报"), QStringLiteral("新华社"), QStringLiteral("中国工业报"), QStringLiteral("市统计局")};
    static const QStringList categories = {QStringLiteral("宏观动向"), QStringLiteral("企业纵横"), QStringLiteral("市场动态"),
                                           QStringLiteral("综合报道"), QStringLiteral("综信采撷")};
    QVector<Article> out;
    for (int i = 0; i < count; ++i) {
        QString content;
        for (int k = 0; k < 2 + i % 3; ++k)
            content += sentences[(i + k) % sentences.size()];
        if (i % 4 == 3) // a body of two paragraphs, as pasted text holds them
            content += QStringLiteral("\r\n") + sentences[(i + 2) % sentences.size()];
        out.append({titles[i % titles.size()], sources[i % sources.size()], content, categories[i % categories.size()]});
    }
    return out;
}

// The bulletin of an issue of `count` sample articles, numbered 12/345 of
// 13 January 2003; `yield` is called as the output command's window would.
inline std::shared_ptr<engine::Document> Bulletin(int count, const YieldFn& yield = {})
{
    builtin::BuiltinBackend backend;
    OutputIssueToWord(backend, SampleArticles(count),
                      {QStringLiteral("12"), QStringLiteral("345"), QStringLiteral("2003"), QStringLiteral("1"), QStringLiteral("13")},
                      OfficeContacts(), yield);
    return backend.lastDocument();
}

// A document's layout brought up to date.
struct FreshLayout : PageLayout {
    explicit FreshLayout(const engine::Document& document) : PageLayout(document) { update(); }
};

// Everything visible on the pages, line by line, for comparing two layouts.
inline QStringList Describe(const PageLayout& layout)
{
    QStringList out;
    for (int p = 0; p < layout.pageCount(); ++p) {
        for (const LineBox& l : layout.lines(p))
            out << QString::asprintf("%d:%d-%d@%.2f,%.2f %.2fx%.2f", p, l.start, l.end, l.rect.left(), l.rect.top(), l.rect.width(), l.rect.height());
    }
    return out;
}

// What each page of a PDF shows, as a reader extracts it (poppler's
// pdftotext, in drawing order), without white space: it spaces Chinese
// text its own way. `options` for pdftotext, such as a crop. Where no reader
// can be run (poppler under wine), one empty text per page the file holds.
inline QStringList PdfPageTexts(const QString& path, const QStringList& options = {})
{
    if (!faults::CanReadPdfText) {
        QFile pdf(path);
        static const QRegularExpression page(QStringLiteral("/Type\\s*/Page\\b(?!s)"));
        const qsizetype pages = pdf.open(QIODevice::ReadOnly) ? QString::fromLatin1(pdf.readAll()).count(page) : 0;
        return QStringList(pages, QString());
    }
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), QStringList{QStringLiteral("-raw"), QStringLiteral("-enc"), QStringLiteral("UTF-8")} + options + QStringList{path, QStringLiteral("-")});
    if (!pdftotext.waitForFinished(60000) || pdftotext.exitCode() != 0)
        return {QStringLiteral("(pdftotext failed)")};
    static const QRegularExpression space(QStringLiteral("[^\\S\\f]")); // but the form feed after each page
    QStringList pages = QString::fromUtf8(pdftotext.readAllStandardOutput()).remove(space).split(u'\f');
    pages.removeLast(); // what follows the last page's form feed
    return pages;
}

} // namespace brevix::docwindow::testing
