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
#include <QSignalSpy>
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

QStringList Lines(const Issue& issue)
{
    QStringList out;
    for (int r = 0; r < issue.rowCount(); ++r)
        out << issue.data(issue.index(r)).toString();
    return out;
}

const Article sample{QStringLiteral("简讯"), QString(), QStringLiteral("第一行\r\n第二行"), QStringLiteral("企业纵横")};

} // namespace

class TestIssueFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void listFollowsEveryOperation()
    {
        Issue issue;
        QAbstractItemModelTester tester(&issue, QAbstractItemModelTester::FailureReportingMode::QtTest);

        issue.AddArticle("新厂区开工", {}, "正文", "市场动态");
        issue.AddArticle("甲----乙", "某报", "x", "综合报道"); // a title holding the separator is listed as it is
        issue.AddArticle("丙", "某报", "y", "企业纵横");
        QCOMPARE(Lines(issue), (QStringList{"新厂区开工----市场动态", "甲----乙----综合报道", "丙----企业纵横"}));

        // A swap repaints both lines: the change reported covers both rows.
        QSignalSpy changed(&issue, &Issue::dataChanged);
        const auto changedRows = [&] {
            QList<int> rows;
            for (const QList<QVariant>& signal : changed)
                for (int r = signal[0].toModelIndex().row(); r <= signal[1].toModelIndex().row(); ++r)
                    rows << r;
            changed.clear();
            return rows;
        };
        issue.MoveArticleDown(0);
        QCOMPARE(changedRows(), (QList<int>{0, 1}));
        issue.MoveArticleUp(2);
        QCOMPARE(changedRows(), (QList<int>{1, 2}));
        QCOMPARE(Lines(issue), (QStringList{"甲----乙----综合报道", "丙----企业纵横", "新厂区开工----市场动态"}));
        QCOMPARE(issue.Sources(), (QStringList{"某报", "某报", QString()}));

        issue.ReplaceArticle(2, "丁", {}, "z", "宏观动向");
        QCOMPARE(changedRows(), QList<int>{2});

        issue.DeleteArticle(0);
        QCOMPARE(Lines(issue), (QStringList{"丙----企业纵横", "丁----宏观动向"}));
        QCOMPARE(issue.Contents(), (QStringList{"y", "z"}));

        issue.DeleteArticle(1);
        issue.DeleteArticle(0);
        QCOMPARE(issue.ArticleCount(), 0);
    }

    void positionsOutsideTheIssueChangeNothing()
    {
        Issue issue;
        for (const char* t : {"a", "b", "c"}) // distinct, so that a move would show
            issue.AddArticle(t, t, t, "宏观动向");
        const QVector<Article> before = issue.snapshot();
        for (const auto& op : std::initializer_list<std::function<void()>>{
                 [&] { issue.MoveArticleUp(0); }, [&] { issue.MoveArticleDown(2); }, [&] { issue.MoveArticleDown(-1); },
                 [&] { issue.DeleteArticle(3); }, [&] { issue.DeleteArticle(-1); }, [&] { (void)issue.article(3); },
                 [&] { issue.ReplaceArticle(-1, {}, {}, {}, {}); }, [&] { issue.ReplaceArticle(3, {}, {}, {}, {}); }}) {
            QCOMPARE(ErrorOf(op), (Error{9, "下标越界"}));
            QCOMPARE(issue.snapshot(), before);
        }
    }

    void theSixteenBitLimitIsRefusedBeforeAnythingChanges()
    {
        Issue issue;
        QVector<Article> many(MaxArticles - 1, Article{"t", {}, "c", "宏观动向"});
        issue.AppendArticles(many);
        issue.AddArticle("last", {}, {}, "宏观动向");
        QCOMPARE(issue.ArticleCount(), MaxArticles);

        QSignalSpy inserted(&issue, &Issue::rowsAboutToBeInserted);
        QCOMPARE(ErrorOf([&] { issue.AddArticle("one too many", {}, {}, {}); }), (Error{6, "溢出"}));
        QCOMPARE(issue.ArticleCount(), MaxArticles);
        QCOMPARE(inserted.count(), 0);

        issue.DeleteArticle(0); // one free place is not enough for two
        QCOMPARE(ErrorOf([&] { issue.AppendArticles({{}, {}}); }).first, 6);
        QCOMPARE(issue.ArticleCount(), MaxArticles - 1);
        issue.AppendArticles({{}});
        QCOMPARE(issue.ArticleCount(), MaxArticles);
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
