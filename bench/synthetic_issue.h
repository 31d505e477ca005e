#pragma once
// What the benchmarks share: the issues they work on, the same articles each
// time, and the best time of a few runs.

#include "model/issue.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <functional>

namespace brevix::bench {

// The best of `runs` runs of f, in milliseconds.
inline double BestOfMs(int runs, const std::function<void()>& f)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    return best;
}

// `count` short articles of Chinese text, commas and paragraphs in it, as the
// issue-file and recovery benchmarks save and read them.
inline QVector<Article> ShortArticles(int count)
{
    static const QString pool = QStringLiteral(
        "经济发展市场企业行业政策改革投资增长生产销售产品技术创新管理服务质量价格需求供应国际国内"
        "工业农业能源电力钢铁汽车电子通信金融银行贸易出口进口合作项目建设规划会议部门地区城市公司集团"
        "今年上半年同比环比万元亿元百分之以上以下提高降低加快推进实现完成开展加强促进支持");
    QRandomGenerator rng(20030113);
    const auto text = [&](int length) {
        QString s;
        s.reserve(length + length / 30 + 8);
        for (int i = 0; i < length; ++i) {
            s += pool[rng.bounded(static_cast<int>(pool.size()))];
            if (i % 37 == 36)
                s += QStringLiteral("，");
            if (i % 97 == 96)
                s += QStringLiteral("\r\n");
        }
        return s;
    };
    const QStringList categories{QStringLiteral("宏观动向"), QStringLiteral("企业纵横"), QStringLiteral("市场动态"),
                                 QStringLiteral("综合报道"), QStringLiteral("综信采撷")};
    QVector<Article> articles;
    articles.reserve(count);
    for (int i = 0; i < count; ++i) {
        QString title = text(12 + rng.bounded(10));
        QString source = text(4 + rng.bounded(4));
        articles.append({title, source, text(130 + rng.bounded(60)), categories[i % categories.size()]});
    }
    return articles;
}

inline QVector<Article> SyntheticIssue(int count)
{
    const QString pool = QStringLiteral("经济发展市场企业行业政策改革投资增长生产销售产品技术创新管理服务质量价格需求供应");
    const QStringList categories{QStringLiteral("宏观动向"), QStringLiteral("企业纵横"), QStringLiteral("市场动态"),
                                 QStringLiteral("综合报道"), QStringLiteral("综信采撷")};
    QRandomGenerator rng(7u + static_cast<quint32>(count));
    auto text = [&](int length) {
        QString s;
        for (int i = 0; i < length; ++i)
            s += pool[rng.bounded(static_cast<int>(pool.size()))] + QString(i % 97 == 96 ? "。\r\n" : "");
        return s;
    };
    QVector<Article> articles;
    for (int i = 0; i < count; ++i)
        articles.append({text(12), text(4), text(300), categories[i % categories.size()]});
    return articles;
}

} // namespace brevix::bench
