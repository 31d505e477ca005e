#pragma once
// Whole outputs compared with golden files in the test folder's data/, one
// line of output per line of file. BREVIX_UPDATE_GOLDEN=1 rewrites the files
// from what the code makes now: read the diff before committing it.

#include <QFile>
#include <QStringList>
#include <QTest>
#include <functional>

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
    QStringList lines = output;
    for (QString& line : lines)
        line = GoldenLine(line);
    QFile file(QStringLiteral(BREVIX_TEST_DATA "/") + name);
    if (qEnvironmentVariableIntValue("BREVIX_UPDATE_GOLDEN"))
        return file.open(QIODevice::WriteOnly) && file.write((lines.join(u'\n') + u'\n').toUtf8()) >= 0
            ? QString() : QStringLiteral("cannot write ") + file.fileName();
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read ") + file.fileName();
    QStringList expected = QString::fromUtf8(file.readAll()).split(u'\n');
    expected.removeLast(); // the empty rest after the last line's end
    for (qsizetype i = 0; i < std::max(lines.size(), expected.size()); ++i)
        if (i >= lines.size() || i >= expected.size() || lines[i] != expected[i])
            return QStringLiteral("%1, line %2:\n   actual: %3\n expected: %4").arg(name).arg(i + 1)
                .arg(i < lines.size() ? lines[i] : QStringLiteral("(end)"), i < expected.size() ? expected[i] : QStringLiteral("(end)"));
    return {};
}

// A table kept as a transcript in data/, one row a line: "input → output".
// Each input the file holds is run again; the whole transcript must equal
// the file (rewritten with BREVIX_UPDATE_GOLDEN=1, the inputs kept). A row
// `run` answers with NotOnThisPlatform() needs what this platform cannot
// make: it stays as the file has it.
inline QString NotOnThisPlatform() { return QStringLiteral("(not on this platform)"); }
inline QString TranscriptDifference(const QString& name, const std::function<QString(const QString&)>& run)
{
    QFile file(QStringLiteral(BREVIX_TEST_DATA "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read ") + file.fileName();
    const auto unescaped = [](const QString& escaped) {
        QString text;
        for (qsizetype i = 0; i < escaped.size(); ++i) {
            const qsizetype k = escaped[i] == u'\\' && i + 1 < escaped.size() ? QStringLiteral("\\rnft").indexOf(escaped[++i]) : -1;
            text += k < 0 ? escaped[i] : QStringLiteral("\\\r\n\f\t")[k];
        }
        return text;
    };
    QStringList lines;
    for (const QString& row : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        const QString input = unescaped(row.section(QStringLiteral(" → "), 0, 0));
        const QString output = run(input);
        lines << input + QStringLiteral(" → ") + (output == NotOnThisPlatform() ? unescaped(row.section(QStringLiteral(" → "), 1)) : output);
    }
    file.close();
    return GoldenDifference(name, lines);
}

} // namespace brevix::testing

// Either difference, empty or reported as the test's failure.
#define BREVIX_VERIFY_NO_DIFFERENCE(difference)                                                     \
    do {                                                                                            \
        const QString goldenDifference = difference;                                                \
        QVERIFY2(goldenDifference.isEmpty(), qPrintable(goldenDifference));                         \
    } while (false)
#define BREVIX_COMPARE_GOLDEN(name, ...) BREVIX_VERIFY_NO_DIFFERENCE(brevix::testing::GoldenDifference(name, __VA_ARGS__))
#define BREVIX_COMPARE_TRANSCRIPT(name, ...) BREVIX_VERIFY_NO_DIFFERENCE(brevix::testing::TranscriptDifference(name, __VA_ARGS__))
