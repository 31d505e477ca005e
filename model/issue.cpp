#include "issue.h"

#include "errors.h"

namespace brevix {

Issue::Issue(QObject* parent) : QAbstractListModel(parent) {}

QString Issue::ListEntryText(const QString& title, const QString& category)
{
    return title + QStringLiteral("----") + category;
}

QString Issue::ListEntryText(int k) const
{
    checkIndex(k);
    return ListEntryText(Titles_[k], Categories_[k]);
}

Article Issue::article(int k) const
{
    checkIndex(k);
    return {Titles_[k], Sources_[k], Contents_[k], Categories_[k]};
}

QVector<Article> Issue::snapshot() const
{
    QVector<Article> articles;
    articles.reserve(ArticleCount());
    for (int k = 0; k < ArticleCount(); ++k)
        articles.append({Titles_[k], Sources_[k], Contents_[k], Categories_[k]});
    return articles;
}

void Issue::checkIndex(int k) const
{
    if (k < 0 || k >= ArticleCount())
        throw RuntimeError::SubscriptOutOfRange();
}

void Issue::AddArticle(const QString& title, const QString& source, const QString& content,
                       const QString& category)
{
    AppendArticles({{title, source, content, category}});
}

void Issue::AppendArticles(const QVector<Article>& articles)
{
    if (articles.isEmpty())
        return;
    // Refused before anything changes, so count, arrays and list stay in step.
    if (articles.size() > MaxArticles - ArticleCount())
        throw RuntimeError::Overflow();
    const int first = ArticleCount();
    const int last = first + static_cast<int>(articles.size()) - 1;
    beginInsertRows(QModelIndex(), first, last);
    for (const Article& a : articles) {
        Titles_.append(a.title);
        Sources_.append(a.source);
        Contents_.append(a.content);
        Categories_.append(a.category);
    }
    endInsertRows();
}

void Issue::exchange(int a, int b)
{
    // Both positions are checked before the first slot changes.
    checkIndex(a);
    checkIndex(b);
    Titles_.swapItemsAt(a, b);
    Sources_.swapItemsAt(a, b);
    Contents_.swapItemsAt(a, b);
    Categories_.swapItemsAt(a, b);
    emit dataChanged(index(std::min(a, b)), index(std::max(a, b)), {Qt::DisplayRole});
}

void Issue::MoveArticleUp(int k) { exchange(k, k - 1); }

void Issue::MoveArticleDown(int k) { exchange(k, k + 1); }

void Issue::DeleteArticle(int k)
{
    checkIndex(k);
    beginRemoveRows(QModelIndex(), k, k);
    Titles_.removeAt(k);
    Sources_.removeAt(k);
    Contents_.removeAt(k);
    Categories_.removeAt(k);
    endRemoveRows();
}

void Issue::ReplaceArticle(int k, const QString& title, const QString& source, const QString& content,
                           const QString& category)
{
    checkIndex(k);
    Titles_[k] = title;
    Sources_[k] = source;
    Contents_[k] = content;
    Categories_[k] = category;
    emit dataChanged(index(k), index(k), {Qt::DisplayRole});
}

int Issue::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ArticleCount();
}

QVariant Issue::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= ArticleCount())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return ListEntryText(Titles_[index.row()], Categories_[index.row()]);
    return {};
}

} // namespace brevix
