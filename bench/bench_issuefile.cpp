// Saves and loads the largest possible issue (32767 articles of Chinese text)
// and sets the times beside what iconv needs to decode the same file.

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

namespace {

QString chineseText(QRandomGenerator& rng, int length)
{
    static const QString pool = QStringLiteral(
        "经济发展市场企业行业政策改革投资增长生产销售产品技术创新管理服务质量价格需求供应国际国内"
        "工业农业能源电力钢铁汽车电子通信金融银行贸易出口进口合作项目建设规划会议部门地区城市公司集团"
        "今年上半年同比环比万元亿元百分之以上以下提高降低加快推进实现完成开展加强促进支持");
    QString s;
    s.reserve(length + 8);
    for (int i = 0; i < length; ++i) {
        s += pool[rng.bounded(static_cast<int>(pool.size()))];
        if (i % 37 == 36)
            s += QStringLiteral("，");
        if (i % 97 == 96)
            s += QStringLiteral("\r\n");
    }
    return s;
}

double bestOf(int runs, const std::function<void()>& f)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QRandomGenerator rng(20030113);
    const QStringList categories{QStringLiteral("宏观动向"), QStringLiteral("企业纵横"), QStringLiteral("市场动态"),
                                 QStringLiteral("综合报道"), QStringLiteral("综信采撷")};
    Issue issue;
    QVector<Article> articles;
    articles.reserve(MaxArticles);
    for (int i = 0; i < MaxArticles; ++i)
        articles.append({chineseText(rng, 12 + rng.bounded(10)), chineseText(rng, 4 + rng.bounded(4)),
                         chineseText(rng, 130 + rng.bounded(60)), categories[i % categories.size()]});
    issue.AppendArticles(articles);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("largest.owd"));
    ScriptedDialogs dialogs;
    const int runs = 5;

    const double save = bestOf(runs, [&] { SaveIssue(issue, path, dialogs); });
    const double load = bestOf(runs, [&] {
        Issue loaded;
        LoadIssue(loaded, path, dialogs);
        if (loaded.ArticleCount() != MaxArticles)
            std::fprintf(stderr, "load lost articles\n");
    });
    const double iconv = bestOf(runs, [&] {
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
