#include "model/recoveryfile.h"

#include "model/errors.h"

#include <QFileDevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace brevix {

namespace {

const QString FormatName = QStringLiteral("Brevix recovery");

QJsonObject ToJson(const Article& article)
{
    return {{QStringLiteral("title"), article.title},
            {QStringLiteral("source"), article.source},
            {QStringLiteral("body"), article.content},
            {QStringLiteral("category"), article.category}};
}

QString TextOf(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        throw RuntimeError::BadFileFormat();
    return value.toString();
}

Article ArticleOf(const QJsonValue& value)
{
    if (!value.isObject())
        throw RuntimeError::BadFileFormat();
    const QJsonObject object = value.toObject();
    return {TextOf(object, QStringLiteral("title")), TextOf(object, QStringLiteral("source")),
            TextOf(object, QStringLiteral("body")), TextOf(object, QStringLiteral("category"))};
}

// A whole number within [low, high], else the format is refused.
int NumberOf(const QJsonObject& object, const QString& key, int low, int high)
{
    const QJsonValue value = object.value(key);
    const int number = value.toInt(low - 1); // the default for a fraction or a non-number
    if (!value.isDouble() || number < low || number > high)
        throw RuntimeError::BadFileFormat();
    return number;
}

} // namespace

void WriteRecoveryFile(const UnsavedWork& work, QIODevice& device)
{
    QJsonArray articles;
    for (const Article& article : work.articles)
        articles.append(ToJson(article));
    const QJsonObject root{{QStringLiteral("format"), FormatName},
                           {QStringLiteral("version"), RecoveryFileVersion},
                           {QStringLiteral("articles"), articles},
                           {QStringLiteral("entry"), ToJson(work.entry)},
                           {QStringLiteral("editIndex"), work.editIndex}};
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Compact);
    if (device.write(bytes) != bytes.size())
        throw RuntimeError::DeviceIO();
}

UnsavedWork ReadRecoveryFile(QIODevice& device)
{
    const QByteArray bytes = device.readAll();
    if (auto* file = qobject_cast<QFileDevice*>(&device); file && file->error() != QFileDevice::NoError)
        throw RuntimeError::DeviceIO();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        throw RuntimeError::BadFileFormat();
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("format")).toString() != FormatName)
        throw RuntimeError::BadFileFormat();
    NumberOf(root, QStringLiteral("version"), RecoveryFileVersion, RecoveryFileVersion);
    const QJsonValue articles = root.value(QStringLiteral("articles"));
    if (!articles.isArray() || articles.toArray().size() > MaxArticles)
        throw RuntimeError::BadFileFormat();

    UnsavedWork work;
    work.articles.reserve(articles.toArray().size());
    for (const QJsonValue& article : articles.toArray())
        work.articles.append(ArticleOf(article));
    work.entry = ArticleOf(root.value(QStringLiteral("entry")));
    work.editIndex = NumberOf(root, QStringLiteral("editIndex"), -1, static_cast<int>(work.articles.size()) - 1);
    return work;
}

} // namespace brevix
