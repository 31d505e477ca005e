// Fuzz target for the issue-file reader: whatever the bytes, a load appends
// every article the file announces or none, and the list stays in step.
// BREVIX_FUZZ_SEEDS=DIR writes a seed corpus made by the writer into DIR.

#include "model/errors.h"
#include "model/issuefile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>
#include <new>

using namespace brevix;

namespace {

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "all-or-nothing load broken: %s\n", what);
        std::abort();
    }
}

void WriteSeeds(const QString& folder)
{
    const Article plain{QStringLiteral("简讯"), QString(), QStringLiteral("第一行\r\n第二行"), QStringLiteral("企业纵横")};
    const Article marked{QStringLiteral("他说\"好\""), QStringLiteral("来源, 带逗号"), QStringLiteral("€ abcdefghijk"),
                         QStringLiteral("宏观动向")};
    const QList<QVector<Article>> seeds{{}, {plain}, {plain, marked}, QVector<Article>(20, marked)};
    QDir().mkpath(folder);
    for (qsizetype k = 0; k < seeds.size(); ++k) {
        QFile file(QDir(folder).filePath(QStringLiteral("seed%1.owd").arg(k)));
        if (file.open(QIODevice::WriteOnly))
            WriteIssue(seeds[k], file);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (const char* folder = std::getenv("BREVIX_FUZZ_SEEDS"))
        WriteSeeds(QString::fromLocal8Bit(folder));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);

    Issue issue;
    issue.AddArticle(QStringLiteral("原有"), QStringLiteral("s"), QStringLiteral("x"), QStringLiteral("宏观动向"));
    const QVector<Article> before = issue.snapshot();
    qsizetype announced = -1;
    try {
        const QVector<Article> articles = ReadIssue(device);
        announced = articles.size();
        issue.AppendArticles(articles);
    } catch (const RuntimeError&) {
    } catch (const std::bad_alloc&) {
    }
    if (announced < 0 || issue.ArticleCount() == before.size()) {
        Check(issue.snapshot() == before, "a failed load changed the issue");
    } else {
        Check(issue.ArticleCount() == before.size() + announced, "not every announced article was appended");
        Check(issue.snapshot().first() == before.first(), "the articles already there changed");
    }
    Check(issue.rowCount() == issue.ArticleCount(), "the title list is out of step");
    return 0;
}
