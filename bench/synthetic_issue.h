#pragma once
// The issue the live word-processor benchmarks typeset: the same articles
// for a given count, Chinese text of bulletin length in every category of
// the current edition.

#include "model/issue.h"

#include <QRandomGenerator>
#include <QStringList>
#include <QVector>

namespace brevix::bench {

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
