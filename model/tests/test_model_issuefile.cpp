// The issue (its list as the title list shows it, its bounds) and the issue
// file: bytes, loads, failed saves and the code page.

#include "model/errors.h"
#include "model/issuefile.h"
#include "model/tests/files.h"
#include "engine/tests/golden.h"

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <optional>
#include <sys/stat.h>

using namespace brevix;

namespace {

QByteArray gbk(const char16_t* text) { return ToCodePage936(QString::fromUtf16(text)); }

QVector<Article> read(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return ReadIssue(buffer);
}

using faults::ErrorOf;
using faults::FileBytes;
using faults::FilesIn;
using faults::WriteFile;
using Error = std::pair<int, QString>;
const auto written = faults::IssueBytes;

const Article sample{QStringLiteral("简讯"), QString(), QStringLiteral("第一行\r\n第二行"), QStringLiteral("企业纵横")};

} // namespace

class TestIssueFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    // Rows of data/issue_operations.txt: operations on an issue (fields
    // split by '|'; "append N" adds N articles at once) → for each, the
    // rows it repainted, inserted or removed, or its error; then the list's
    // lines, sources and contents. A swap repaints both rows; a title holding
    // the separator is listed as it is. Positions outside the issue and the
    // sixteen-bit limit are refused before anything changes.
    void operations()
    {
        BREVIX_COMPARE_TRANSCRIPT("issue_operations.txt", [](const QString& row) {
            Issue issue;
            QAbstractItemModelTester tester(&issue, QAbstractItemModelTester::FailureReportingMode::QtTest);
            QString heard;
            const auto hear = [&heard](const char* what) {
                return [&heard, what](const QModelIndex&, int first, int last) { heard += QString(" %1 %2-%3").arg(what).arg(first).arg(last); };
            };
            QObject::connect(&issue, &Issue::rowsAboutToBeInserted, hear("inserting"));
            QObject::connect(&issue, &Issue::rowsAboutToBeRemoved, hear("removing"));
            QObject::connect(&issue, &Issue::dataChanged, [&](const QModelIndex& a, const QModelIndex& b) { hear("changed")({}, a.row(), b.row()); });
            QStringList out;
            for (const QString& op : row.split("; ")) {
                const QString verb = op.section(u' ', 0, 0);
                const QStringList f = op.section(u' ', 1).split(u'|');
                const int k = f[0].toInt();
                const QVector<Article> before = issue.snapshot();
                heard.clear();
                const Error error = ErrorOf([&] {
                    if (verb == "add") issue.AddArticle(f[0], f[1], f[2], f[3]);
                    if (verb == "append") issue.AppendArticles(QVector<Article>(k, Article{"t", {}, "c", "宏观动向"}));
                    if (verb == "up") issue.MoveArticleUp(k);
                    if (verb == "down") issue.MoveArticleDown(k);
                    if (verb == "delete") issue.DeleteArticle(k);
                    if (verb == "replace") issue.ReplaceArticle(k, f[1], f[2], f[3], f[4]);
                    if (verb == "article") (void)issue.article(k);
                });
                out << verb + (error.first ? QString(" error %1 %2%3").arg(error.first).arg(error.second, issue.snapshot() == before ? "" : " CHANGED") : heard);
            }
            QStringList lines;
            for (int r = 0; r < std::min(issue.rowCount(), 5); ++r)
                lines << issue.data(issue.index(r)).toString();
            return out.join(", ") + QString(" | %1 lines: %2 | sources %3 | contents %4")
                .arg(issue.rowCount()).arg(lines.join(", "), issue.Sources().mid(0, 5).join(u','), issue.Contents().mid(0, 5).join(u','));
        });
    }

    // Byte for byte as the format has it; every text the code page can hold
    // comes back (a quote as the marker, a long body whole), others as "?".
    void roundTrip()
    {
        QCOMPARE(written({}), QByteArray("\"0\"\r\n"));
        const QByteArray expected = "\"1\"\r\n\"" + gbk(u"简讯") + "\"\r\n\"\"\r\n\"" + gbk(u"第一行") + "\r\n"
                                    + gbk(u"第二行") + "\"\r\n\"" + gbk(u"企业纵横") + "\"\r\n";
        QCOMPARE(written({sample}), expected);

        const QString body = QString(40000, QChar(u'字')) + QStringLiteral("\"") + QString(40000, QChar(u'文'));
        const QVector<Article> articles{sample, {"他说\"好\"", "来源, 带逗号", "a\r\n\r\nb\r\n", "宏观动向"},
                                        {"  空格  ", "abcdefghijk", body, "未知类别"}};
        const QByteArray bytes = written(articles);
        QVERIFY(!bytes.mid(5).contains("\"\xba\xc3\"")); // the quoted word is not written with quotes
        QVector<Article> back = articles;
        back[2].source = QStringLiteral("\""); // the marker itself comes back as a quote
        QCOMPARE(read(bytes), back);

        // Characters outside the code page come back as "?", one per character.
        const QVector<Article> foreign{{QStringLiteral("笑😀ㄱ"), {}, QStringLiteral("€"), {}}};
        QCOMPARE(read(written(foreign)), (QVector<Article>{{QStringLiteral("笑??"), {}, QStringLiteral("€"), {}}}));
    }

    // Rows of data/loads.txt: the articles there, then the file: how many
    // articles it holds, or its bytes ("(none)": no such file, "(folder)": a
    // folder) → the boxes its load shows (text, title, buttons), the lines
    // after, the last old and the last new one. A file's articles follow
    // those already there, up to 32 767; a damaged file, or one more, and
    // nothing is loaded.
    void loadsAppendAllOrNothing()
    {
        BREVIX_COMPARE_TRANSCRIPT("loads.txt", [&](const QString& row) {
            const int there = row.section(u' ', 0, 0).toInt();
            const QString file = row.section(" there, ", 1);
            const QString path = file == "(none)" ? dir.filePath("none.owd")
                : file == "(folder)" && QDir(dir.path()).mkpath("folder.owd") ? dir.filePath("folder.owd")
                : WriteFile(dir.filePath("load.owd"), file.endsWith(" in the file") ? written(QVector<Article>(file.section(u' ', 0, 0).toInt(), sample)) : file.toLatin1());
            const Article old{"原有", {}, "x", "宏观动向"};
            Issue issue;
            issue.AppendArticles(QVector<Article>(there, old));
            ScriptedDialogs dialogs;
            LoadIssue(issue, path, dialogs);
            QStringList out;
            for (const auto& box : dialogs.shown)
                out << QString("%1 (%2, buttons %3)").arg(box.text, box.title).arg(int(box.buttons));
            const auto line = [&](int k) { return k < 0 || k >= issue.rowCount() ? "-" : issue.data(issue.index(k)).toString(); };
            const bool kept = there == 0 || issue.article(there - 1) == old;
            const bool appended = issue.rowCount() == there || issue.article(there) == sample;
            return QString("%1; %2 lines, ending %3 %4%5").arg(out.isEmpty() ? "no box" : out.join("; ")).arg(issue.rowCount())
                .arg(line(there - 1), line(issue.rowCount() - 1), kept && appended ? "" : ", articles differ");
        });
    }

    void aFailedWriteIsReported()
    {
        QBuffer readOnly;
        readOnly.open(QIODevice::ReadOnly);
        QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): ReadOnly device");
        QVERIFY_THROWS_EXCEPTION(RuntimeError, WriteIssue({sample, sample}, readOnly));
    }

    // Rows of data/failed_saves.txt: articles saved over a file, a file-size
    // limit, the folder locked, the file read-only → the box shown, the file
    // left and what the folder holds. Every failure is reported, and the old
    // file stays byte for byte with nothing left beside it: small issues (the
    // failure shows only when the bytes are flushed) and large ones, in
    // folders that take a temporary file and in folders that refuse one (the
    // file is rewritten in place, which a writable file there allows).
    void failedSavesKeepTheOldFile()
    {
        BREVIX_COMPARE_TRANSCRIPT("failed_saves.txt", [](const QString& row) {
            const int sizeLimit = row.section("limit ", 1).section(u',', 0, 0).toInt(); // 0: none
            const bool lockedFolder = row.contains("locked folder"), heldOpen = row.contains("held open");
            if ((lockedFolder && !faults::CanLockFolder) || (heldOpen && !faults::CanHoldOpen))
                return testing::NotOnThisPlatform();
            QTemporaryDir here;
            const QByteArray old = written({sample, sample});
            const QString path = WriteFile(here.filePath("keep.owd"), old);
            chmod(QFile::encodeName(path).constData(), row.contains("read-only file") ? 0444 : 0666);
            chmod(QFile::encodeName(here.path()).constData(), lockedFolder ? 0555 : 0755);
            Issue issue;
            issue.AppendArticles(QVector<Article>(row.section(u' ', 0, 0).toInt(), sample));
            auto save = [&] {
                ScriptedDialogs dialogs;
                {
                    std::optional<faults::FileSizeLimit> limit;
                    if (sizeLimit > 0)
                        limit.emplace(sizeLimit);
                    std::optional<faults::HoldOpen> holder;
                    if (heldOpen)
                        holder.emplace(path);
                    SaveIssue(issue, path, dialogs);
                }
                return dialogs.lastText().toUtf8();
            };
            const QString shown = QString::fromUtf8(lockedFolder ? faults::Unprivileged(save) : save());
            chmod(QFile::encodeName(here.path()).constData(), 0755);
            const QByteArray left = FileBytes(path);
            const QString file = left == old ? "the old file" : left == written(issue.snapshot()) ? "saved" : "other bytes";
            return QString("%1; %2; %3").arg(shown.isEmpty() ? "no box" : shown, file, FilesIn(here.path()).join(u' '));
        });
    }

    // Rows of data/code_page_936.txt: every character of the BMP written in
    // the code page, block by block, and every single byte and byte pair
    // read back, lead byte by lead byte: a digest of the bytes or text, and
    // how many characters became "?". The same file serves ICU on Linux and
    // Windows' own converter, and its writes are glibc's CP936 but for the
    // private-use area, which Windows maps to GBK's user-defined areas. Only
    // malformed bytes (a lead byte without its trail) read differently, and
    // are left out: U+FFFD on Linux, "?" on Windows.
    void codePage936AsEveryPlatformWritesIt()
    {
        BREVIX_COMPARE_TRANSCRIPT("code_page_936.txt", [](const QString& row) {
            const bool write = row.startsWith("write");
            const uint first = row.section(u' ', 1, 1).section(u'-', 0, 0).toUInt(nullptr, 16);
            const uint last = row.section(u' ', 1, 1).section(u'-', 1, 1).toUInt(nullptr, 16);
            QCryptographicHash digest(QCryptographicHash::Sha1);
            int questionMarks = 0;
            for (uint k = first; k <= last; ++k) {
                if (write && k >= 0xD800 && k <= 0xDFFF)
                    continue; // halves of pairs are not characters
                if (!write && (k & 0xFF) == 0x7F && k > 0xFF)
                    continue; // no trail byte: malformed, read apart on each platform
                QByteArray bytes;
                if (write) {
                    bytes = ToCodePage936(QString(QChar(char16_t(k))));
                    questionMarks += bytes == "?" && k != '?';
                } else {
                    // A lead byte alone, then with every trail byte.
                    const QString text = FromCodePage936(QByteArray(1, char(k >> 8 ? k >> 8 : k)) + (k >> 8 ? QByteArray(1, char(k)) : QByteArray()));
                    bytes = QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2) + '|';
                }
                digest.addData(bytes);
            }
            const QString sha1 = QString::fromLatin1(digest.result().toHex().left(16));
            return write ? QString("%1 as \"?\", sha1 %2").arg(questionMarks).arg(sha1) : "sha1 " + sha1;
        });
    }
};

QTEST_GUILESS_MAIN(TestIssueFile)
#include "test_model_issuefile.moc"
