#pragma once
// Whole outputs compared with golden files in the test folder's data/, one
// line of output per line of file. BREVIX_UPDATE_GOLDEN=1 rewrites the files
// from what the code makes now: read the diff before committing it.

#include <QFile>
#include <QStringList>
#include <QTest>

namespace brevix::testing {

// Control characters written visibly, so that every line of output stays one
// line of the file and a diff shows them.
inline QString GoldenLine(QString line)
{
    return line.replace(u'\\', QLatin1String("\\\\")).replace(u'\r', QLatin1String("\\r")).replace(u'\n', QLatin1String("\\n"))
        .replace(u'\f', QLatin1String("\\f")).replace(u'\t', QLatin1String("\\t"));
}

// Empty when the lines equal the file, else where they first differ.
inline QString GoldenDifference(const QString& name, const QStringList& output)
{
    QStringList lines;
    for (const QString& line : output)
        lines << GoldenLine(line);
    QFile file(QStringLiteral(BREVIX_TEST_DATA "/") + name);
    if (qEnvironmentVariableIntValue("BREVIX_UPDATE_GOLDEN")) {
        if (!file.open(QIODevice::WriteOnly) || file.write((lines.join(u'\n') + u'\n').toUtf8()) < 0)
            return QStringLiteral("cannot write ") + file.fileName();
        return {};
    }
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read ") + file.fileName();
    QStringList expected = QString::fromUtf8(file.readAll()).split(u'\n');
    expected.removeLast(); // the empty rest after the last line's end
    for (qsizetype i = 0; i < std::max(lines.size(), expected.size()); ++i) {
        if (i >= lines.size() || i >= expected.size() || lines[i] != expected[i])
            return QStringLiteral("%1, line %2:\n   actual: %3\n expected: %4")
                .arg(name).arg(i + 1)
                .arg(i < lines.size() ? lines[i] : QStringLiteral("(end)"), i < expected.size() ? expected[i] : QStringLiteral("(end)"));
    }
    return {};
}

} // namespace brevix::testing

#define BREVIX_COMPARE_GOLDEN(name, lines)                                                \
    do {                                                                                 \
        const QString goldenDifference = brevix::testing::GoldenDifference(name, lines); \
        QVERIFY2(goldenDifference.isEmpty(), qPrintable(goldenDifference));             \
    } while (false)
