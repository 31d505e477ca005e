#include "model/errors.h"
#include "model/filename.h"
#include "model/issuefile.h"
#include "model/tests/files.h"
#include "engine/tests/golden.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <iconv.h>
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

using faults::FileBytes;
using faults::FilesIn;
using faults::WriteFile;
const auto written = faults::IssueBytes;

// glibc's encoder, independent of ours; "?" where it has no bytes.
QByteArray IconvCodePage936(char16_t unit)
{
    static const iconv_t cd = iconv_open("CP936", "UTF-16LE");
    char in[2] = {char(unit & 0xFF), char(unit >> 8)};
    char out[8];
    char* inp = in;
    char* outp = out;
    size_t inLeft = 2, outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == size_t(-1))
        return "?";
    return QByteArray(out, qsizetype(sizeof out - outLeft));
}

const Article sample{QStringLiteral("简讯"), QString(), QStringLiteral("第一行\r\n第二行"), QStringLiteral("企业纵横")};

} // namespace

class TestIssueFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
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

    // Rows of data/bad_files.txt: a file's bytes ("(none)": no such file) →
    // the boxes its load shows (text, title, buttons) and the articles in the
    // issue after: only the one there before.
    void badFilesLoadNothing()
    {
        BREVIX_COMPARE_TRANSCRIPT("bad_files.txt", [&](const QString& bytes) {
            const QString path = bytes == "(none)" ? dir.filePath("none.owd") : WriteFile(dir.filePath("bad.owd"), bytes.toLatin1());
            Issue issue;
            issue.AddArticle("原有", {}, "x", "宏观动向");
            ScriptedDialogs dialogs;
            LoadIssue(issue, path, dialogs);
            QStringList out;
            for (const auto& box : dialogs.shown)
                out << QString("%1 (%2, buttons %3)").arg(box.text, box.title).arg(int(box.buttons));
            return out.join("; ") + QString("; %1 article, %2 line").arg(issue.ArticleCount()).arg(issue.rowCount());
        });
    }

    // Rows of data/loads_to_the_limit.txt: articles there, articles in the
    // file → the box shown, the lines after, the last old and new article.
    // A file's articles follow those already there, up to 32 767; one more
    // and nothing is loaded.
    void loadAppendsUpToTheLimit()
    {
        BREVIX_COMPARE_TRANSCRIPT("loads_to_the_limit.txt", [&](const QString& row) {
            const int there = row.section(u' ', 0, 0).toInt(), inFile = row.section(u' ', 2, 2).toInt();
            const QString path = WriteFile(dir.filePath("many.owd"), written(QVector<Article>(inFile, sample)));
            const Article old{"原有", {}, "x", "宏观动向"};
            Issue issue;
            issue.AppendArticles(QVector<Article>(there, old));
            ScriptedDialogs dialogs;
            LoadIssue(issue, path, dialogs);
            const auto line = [&](int k) { return k < 0 || k >= issue.rowCount() ? "-" : issue.data(issue.index(k)).toString(); };
            const bool kept = there == 0 || issue.article(there - 1) == old;
            const bool appended = issue.rowCount() == there || issue.article(there) == sample;
            return QString("%1; %2 lines, ending %3 %4%5").arg(dialogs.lastText().isEmpty() ? "no box" : dialogs.lastText())
                .arg(issue.rowCount()).arg(line(there - 1), line(issue.rowCount() - 1), kept && appended ? "" : ", articles differ");
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
            const bool lockedFolder = row.contains("locked folder");
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

    // Any name the file system takes: bytes that are not UTF-8, in the
    // folder and in the file name, saved, asked about and loaded again; and
    // the name a Qt dialog shows for it leads back to it.
    void namesThatAreNotUtf8()
    {
        QTemporaryDir here;
        const QByteArray folder = QFile::encodeName(here.path()) + "/d\xe9j\xe0";
        QCOMPARE(mkdir(folder.constData(), 0755), 0);
        const QByteArray file = folder + "/\xb1\xa8\xb8\xe6\xff.owd"; // GBK bytes and a stray one
        const QString name = FileNameFromBytes(file);
        QCOMPARE(FileNameToBytes(name), file);

        Issue issue;
        issue.AddArticle(QStringLiteral("标题"), {}, QStringLiteral("正文"), QStringLiteral("宏观动向"));
        ScriptedDialogs dialogs;
        SaveIssue(issue, name, dialogs);
        struct stat st {};
        QCOMPARE(stat(file.constData(), &st), 0);
        const mode_t mask = umask(0);
        umask(mask);
        QCOMPARE(st.st_mode & 0777, 0666 & ~mask); // a new file as any program makes it
        dialogs.answers = {Answer::No};
        QVERIFY(!ConfirmOverwrite(name, dialogs));
        LoadIssue(issue, name, dialogs);
        QCOMPARE(dialogs.shown.size(), 1); // only the question
        QVERIFY(dialogs.shown[0].text.contains(QStringLiteral("\ufffd.owd")));
        QCOMPARE(issue.Titles(), (QStringList{QStringLiteral("标题"), QStringLiteral("标题")}));
        QCOMPARE(ResolveLostFileName(QFile::decodeName(file)), name);
        QCOMPARE(unlink(file.constData()), 0); // Qt could not remove it
        QCOMPARE(rmdir(folder.constData()), 0);

        // Every byte string comes back whole.
        QRandomGenerator random(7);
        for (int k = 0; k < 2000; ++k) {
            QByteArray bytes(1 + k % 9, Qt::Uninitialized);
            for (char& b : bytes)
                b = char(1 + random.bounded(255));
            QCOMPARE(FileNameToBytes(FileNameFromBytes(bytes)), bytes);
        }
    }

    // Nothing the code page lacks vanishes: compared with glibc's encoder over
    // the whole BMP. Private-use characters differ on purpose: the Windows
    // code page maps them to GBK's user-defined areas.
    void everyCharacterOutsideTheCodePageBecomesAQuestionMark()
    {
        for (char32_t c = 1; c <= 0xFFFF; ++c) {
            if ((c >= 0xD800 && c <= 0xDFFF) || (c >= 0xE000 && c <= 0xF8FF))
                continue;
            const char16_t unit = char16_t(c);
            const QByteArray ours = ToCodePage936(QString(QChar(unit)));
            if (ours != IconvCodePage936(unit))
                QFAIL(qPrintable(QStringLiteral("U+%1: %2 against %3")
                                     .arg(uint(c), 4, 16, QLatin1Char('0'))
                                     .arg(QString::fromLatin1(ours.toHex()), QString::fromLatin1(IconvCodePage936(unit).toHex()))));
        }
    }
};

QTEST_GUILESS_MAIN(TestIssueFile)
#include "test_model_issuefile.moc"
