#pragma once
// The .owd issue file: quoted fields each ended by CR LF, in code page 936;
// the article count first, then title, source, body and category per article.

#include "dialogs.h"
#include "issue.h"

#include <QIODevice>
#include <QString>
#include <QVector>

namespace brevix {

// Stands for a double quote inside a field.
inline QString QuoteMarker() { return QStringLiteral("abcdefghijk"); }

// Every occurrence of find replaced, left to right, replacements not searched again.
QString ReplaceText(const QString& text, const QString& find, const QString& replacement);

// Code page 936 (GBK with the euro at 0x80); a character it lacks becomes "?".
QByteArray ToCodePage936(const QString& text);
QString FromCodePage936(const QByteArray& bytes);

// Device level: throw RuntimeError on any failure.
void WriteIssue(const QVector<Article>& articles, QIODevice& device);
QVector<Article> ReadIssue(QIODevice& device); // reads and checks the whole file

// Path level, as the commands call them. Each catches its own errors and
// reports them in one box: "发生错误" CR description. A load appends all the
// file's articles or none; a save replaces the old file only when complete,
// and says whether it did.
bool SaveIssue(const Issue& issue, const QString& path, Dialogs& dialogs);
void LoadIssue(Issue& issue, const QString& path, Dialogs& dialogs);

// True when nothing exists at path, otherwise the answer to
// "是否覆盖" + path + "文件？" (title "保存", Yes/No, warning icon).
bool ConfirmOverwrite(const QString& path, Dialogs& dialogs);

} // namespace brevix
