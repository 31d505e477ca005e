#include "issuefile.h"

#include "errors.h"
#include "filename.h"
#include "savefile.h"

#include <QFileDevice>

#include <new>

namespace brevix {

namespace {

const QChar Quote = QLatin1Char('"');

QString quoted(const QString& text)
{
    return Quote + ReplaceText(text, QString(Quote), QuoteMarker()) + Quote + QStringLiteral("\r\n");
}

// Reads the quoted fields of the whole file, one after another.
class FieldReader {
public:
    explicit FieldReader(const QString& text) : text_(text) {}

    QString next()
    {
        const qsizetype n = text_.size();
        while (pos_ < n && (text_[pos_] == QLatin1Char(' ') || text_[pos_] == QLatin1Char('\r')
                            || text_[pos_] == QLatin1Char('\n')))
            ++pos_;
        if (pos_ >= n)
            throw RuntimeError::InputPastEndOfFile();
        if (text_[pos_] != Quote)
            throw RuntimeError(321, QStringLiteral("无效的文件格式"));
        const qsizetype close = text_.indexOf(Quote, pos_ + 1);
        if (close < 0)
            throw RuntimeError::InputPastEndOfFile();
        QString field = text_.mid(pos_ + 1, close - pos_ - 1);
        pos_ = close + 1;
        // Up to the end of the line or past a comma; nothing else may follow a field.
        while (pos_ < n && (text_[pos_] == QLatin1Char(' ') || text_[pos_] == QLatin1Char('\t')))
            ++pos_;
        if (pos_ < n) {
            const QChar c = text_[pos_];
            if (c == QLatin1Char(','))
                ++pos_;
            else if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
                throw RuntimeError(321, QStringLiteral("无效的文件格式"));
        }
        return field;
    }

private:
    const QString& text_;
    qsizetype pos_ = 0;
};

int parseCount(const QString& field)
{
    if (field.isEmpty())
        throw RuntimeError::TypeMismatch();
    qint64 n = 0;
    for (QChar c : field) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            throw RuntimeError::TypeMismatch();
        n = n * 10 + (c.unicode() - '0');
        if (n > MaxArticles)
            throw RuntimeError::Overflow();
    }
    return static_cast<int>(n);
}

void report(Dialogs& dialogs, const QString& description)
{
    dialogs.message(QStringLiteral("发生错误") + QChar(u'\r') + description, Buttons::Ok, Icon::None);
}

} // namespace

QString ReplaceText(const QString& text, const QString& find, const QString& replacement)
{
    if (find.isEmpty())
        return text;
    QString result = text;
    result.replace(find, replacement, Qt::CaseSensitive);
    return result;
}

void WriteIssue(const QVector<Article>& articles, QIODevice& device)
{
    qsizetype size = 16;
    for (const Article& a : articles)
        size += a.title.size() + a.source.size() + a.content.size() + a.category.size() + 24;
    QString text;
    text.reserve(size);
    text += quoted(QString::number(articles.size()));
    for (const Article& a : articles) {
        text += quoted(a.title);
        text += quoted(a.source);
        text += quoted(a.content);
        text += quoted(a.category);
    }
    const QByteArray bytes = ToCodePage936(text);
    if (device.write(bytes) != bytes.size())
        throw RuntimeError::DeviceIO();
}

QVector<Article> ReadIssue(QIODevice& device)
{
    const QByteArray bytes = device.readAll();
    if (auto* file = qobject_cast<QFileDevice*>(&device); file && file->error() != QFileDevice::NoError)
        throw RuntimeError::DeviceIO();
    const QString text = FromCodePage936(bytes);
    FieldReader reader(text);
    const int n = parseCount(reader.next());
    QVector<Article> articles;
    articles.reserve(n);
    const QString quote(Quote);
    for (int k = 0; k < n; ++k) {
        Article a;
        a.title = reader.next();
        a.source = reader.next();
        a.content = reader.next();
        a.category = reader.next();
        a.title = ReplaceText(a.title, QuoteMarker(), quote);
        a.source = ReplaceText(a.source, QuoteMarker(), quote);
        a.content = ReplaceText(a.content, QuoteMarker(), quote);
        a.category = ReplaceText(a.category, QuoteMarker(), quote);
        articles.append(std::move(a));
    }
    return articles;
}

bool SaveIssue(const Issue& issue, const QString& path, Dialogs& dialogs)
{
    try {
        const QVector<Article> articles = issue.snapshot();
        SaveFile(path, [&](QIODevice& device) { WriteIssue(articles, device); });
        return true;
    } catch (const RuntimeError& e) {
        report(dialogs, e.description());
    } catch (const std::bad_alloc&) {
        report(dialogs, QStringLiteral("内存溢出"));
    }
    return false;
}

void LoadIssue(Issue& issue, const QString& path, Dialogs& dialogs)
{
    try {
        // The whole file is read and checked before the first article is appended.
        const QVector<Article> articles = ReadIssue(*OpenFileForReading(path));
        issue.AppendArticles(articles);
    } catch (const RuntimeError& e) {
        report(dialogs, e.description());
    } catch (const std::bad_alloc&) {
        report(dialogs, QStringLiteral("内存溢出"));
    }
}

bool ConfirmOverwrite(const QString& path, Dialogs& dialogs)
{
    if (!FileExists(path))
        return true;
    return dialogs.message(QStringLiteral("是否覆盖") + DisplayFileName(path) + QStringLiteral("文件？"),
                           Buttons::YesNo, Icon::Warning, QStringLiteral("保存"))
           == Answer::Yes;
}

} // namespace brevix
