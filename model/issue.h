#pragma once
// The issue being composed (Module1's arrays): four parallel text arrays and
// the article count. It is also the list model behind the title list, so the
// list shown in the window follows the arrays by construction: one row per
// article, showing ListEntryText.

#include <QAbstractListModel>
#include <QString>
#include <QStringList>
#include <QVector>

namespace brevix {

// Field order everywhere: title, source, body text, category.
struct Article {
    QString title;
    QString source;
    QString content;
    QString category;
    friend bool operator==(const Article&, const Article&) = default;
};

// The 16-bit signed limit of the article count.
inline constexpr int MaxArticles = 32767;

class Issue : public QAbstractListModel {
    Q_OBJECT
public:
    explicit Issue(QObject* parent = nullptr);

    int ArticleCount() const { return static_cast<int>(Titles_.size()); }
    const QStringList& Titles() const { return Titles_; }
    const QStringList& Sources() const { return Sources_; }
    const QStringList& Contents() const { return Contents_; }
    const QStringList& Categories() const { return Categories_; }
    Article article(int k) const; // throws 下标越界 outside 0..count-1
    QVector<Article> snapshot() const;

    // Title-list line: title + "----" + category.
    static QString ListEntryText(const QString& title, const QString& category);
    QString ListEntryText(int k) const;

    // All operations check their position and throw RuntimeError (下标越界,
    // 溢出) before changing anything.
    void AddArticle(const QString& title, const QString& source, const QString& content,
                    const QString& category);
    void AppendArticles(const QVector<Article>& articles); // all or nothing
    void MoveArticleUp(int k);   // exchange k and k - 1
    void MoveArticleDown(int k); // exchange k and k + 1
    void DeleteArticle(int k);
    void ReplaceArticle(int k, const QString& title, const QString& source, const QString& content,
                        const QString& category);

    // QAbstractListModel: DisplayRole is ListEntryText.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    void checkIndex(int k) const;
    void exchange(int a, int b);

    QStringList Titles_, Sources_, Contents_, Categories_;
};

} // namespace brevix
