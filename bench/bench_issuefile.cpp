// Saves and loads the largest possible issue (32767 articles of Chinese text)
// and sets the times beside what iconv needs to decode the same file.

#include "bench/synthetic_issue.h"
#include "model/issuefile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace brevix;
using bench::BestOfMs;
using bench::ShortArticles;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Issue issue;
    const QVector<Article> articles = ShortArticles(MaxArticles);
    issue.AppendArticles(articles);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("largest.owd"));
    ScriptedDialogs dialogs;
    const int runs = 5;

    const double save = BestOfMs(runs, [&] { SaveIssue(issue, path, dialogs); });
    const double load = BestOfMs(runs, [&] {
        Issue loaded;
        LoadIssue(loaded, path, dialogs);
        if (loaded.ArticleCount() != MaxArticles)
            std::fprintf(stderr, "load lost articles\n");
    });
    const double iconv = BestOfMs(runs, [&] {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(QStringLiteral("iconv"), {QStringLiteral("-f"), QStringLiteral("CP936"), QStringLiteral("-t"),
                                          QStringLiteral("UTF-8"), path});
        p.waitForFinished(-1);
    });
    if (!dialogs.shown.isEmpty())
        std::fprintf(stderr, "unexpected box: %s\n", qPrintable(dialogs.lastText()));

    std::printf("issue file: %d articles, %.1f MB (best of %d runs)\n", MaxArticles,
                QFileInfo(path).size() / 1e6, runs);
    std::printf("  save   %8.1f ms  (%.2fx iconv)\n", save, save / iconv);
    std::printf("  load   %8.1f ms  (%.2fx iconv)\n", load, load / iconv);
    std::printf("  iconv -f CP936 -t UTF-8  %8.1f ms\n", iconv);
    return 0;
}
