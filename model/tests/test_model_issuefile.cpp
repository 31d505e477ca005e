#include "model/errors.h"
#include "model/issuefile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace brevix;

namespace {

// A device that accepts only the first `limit` bytes written to it.
class FailingDevice : public QIODevice {
public:
    explicit FailingDevice(qint64 limit) : limit_(limit) { open(QIODevice::WriteOnly); }
    QByteArray data;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* bytes, qint64 len) override
    {
        if (data.size() + len > limit_)
            return -1;
        data.append(bytes, len);
        return len;
    }

private:
    qint64 limit_;
};

QByteArray gbk(const char16_t* text) { return ToCodePage936(QString::fromUtf16(text)); }

QByteArray written(const QVector<Article>& articles)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    WriteIssue(articles, buffer);
    return buffer.data();
}

QVector<Article> read(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return ReadIssue(buffer);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const Article sample{QStringLiteral("简讯"), QString(), QStringLiteral("第一行\r\n第二行"), QStringLiteral("企业纵横")};

} // namespace

class TestIssueFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void writesTheFormatByteForByte()
    {
        QCOMPARE(written({}), QByteArray("\"0\"\r\n"));
        const QByteArray expected = "\"1\"\r\n\"" + gbk(u"简讯") + "\"\r\n\"\"\r\n\"" + gbk(u"第一行") + "\r\n"
                                    + gbk(u"第二行") + "\"\r\n\"" + gbk(u"企业纵横") + "\"\r\n";
        QCOMPARE(written({sample}), expected);
        // Code page 936 itself: GBK, with the euro sign at 0x80.
        QCOMPARE(gbk(u"简"), QByteArray("\xbc\xf2"));
        QCOMPARE(gbk(u"€"), QByteArray("\x80"));
    }

    void roundTripKeepsEveryTextTheCodePageCanHold()
    {
        const QVector<Article> articles{
            sample,
            {QStringLiteral("他说\"好\""), QStringLiteral("来源, 带逗号"), QStringLiteral("a\r\n\r\nb\r\n"), QStringLiteral("宏观动向")},
            {QStringLiteral("  空格  "), QStringLiteral("abcdefghijk"), QString(), QStringLiteral("未知类别")},
        };
        const QByteArray bytes = written(articles);
        QVERIFY(bytes.contains("abcdefghijk"));
        QVERIFY(!bytes.mid(5).contains("\"\xba\xc3\"")); // the quoted word is not written with quotes

        QVector<Article> expected = articles;
        expected[2].source = QStringLiteral("\""); // the marker itself comes back as a quote
        QCOMPARE(read(bytes), expected);

        // Characters outside the code page come back as "?", one per character.
        const QVector<Article> foreign{{QStringLiteral("笑😀ㄱ"), {}, QStringLiteral("€"), {}}};
        QCOMPARE(read(written(foreign))[0].title, QStringLiteral("笑??"));
        QCOMPARE(read(written(foreign))[0].content, QStringLiteral("€"));
    }

    void longBodiesHaveNoSixteenBitLimit()
    {
        const QString body = QString(40000, QChar(u'字')) + QStringLiteral("\"") + QString(40000, QChar(u'文'));
        QCOMPARE(read(written({{QStringLiteral("t"), {}, body, QStringLiteral("c")}}))[0].content, body);
    }

    void loadAppendsAfterWhatIsThere()
    {
        const QString path = dir.filePath(QStringLiteral("two.owd"));
        writeFile(path, written({sample, {QStringLiteral("二"), QStringLiteral("s"), QStringLiteral("c"), QStringLiteral("综合报道")}}));
        Issue issue;
        issue.AddArticle(QStringLiteral("原有"), {}, QStringLiteral("x"), QStringLiteral("宏观动向"));
        ScriptedDialogs dialogs;
        LoadIssue(issue, path, dialogs);
        LoadIssue(issue, path, dialogs);
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(issue.ArticleCount(), 5);
        QCOMPARE(issue.Titles(), (QStringList{QStringLiteral("原有"), QStringLiteral("简讯"), QStringLiteral("二"),
                                             QStringLiteral("简讯"), QStringLiteral("二")}));
        QCOMPARE(issue.data(issue.index(4)).toString(), QStringLiteral("二----综合报道"));

        // Saving an empty issue writes one line; loading it adds nothing.
        Issue empty;
        const QString emptyPath = dir.filePath(QStringLiteral("empty.owd"));
        SaveIssue(empty, emptyPath, dialogs);
        QCOMPARE(fileBytes(emptyPath), QByteArray("\"0\"\r\n"));
        LoadIssue(issue, emptyPath, dialogs);
        QCOMPARE(issue.ArticleCount(), 5);
        QVERIFY(dialogs.shown.isEmpty());
    }

    void badFilesLoadNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("description");
        const QByteArray record = "\"t\"\r\n\"s\"\r\n\"c\"\r\n\"k\"\r\n";
        QTest::newRow("truncated") << QByteArray("\"2\"\r\n" + record) << QStringLiteral("输入超出文件尾");
        QTest::newRow("open quote") << QByteArray("\"1\"\r\n\"t\"\r\n\"s") << QStringLiteral("输入超出文件尾");
        QTest::newRow("empty file") << QByteArray() << QStringLiteral("输入超出文件尾");
        QTest::newRow("unquoted field") << QByteArray("\"1\"\r\nt\r\n\"s\"\r\n\"c\"\r\n\"k\"\r\n") << QStringLiteral("无效的文件格式");
        QTest::newRow("unquoted count") << QByteArray("1\r\n" + record) << QStringLiteral("无效的文件格式");
        QTest::newRow("negative count") << QByteArray("\"-1\"\r\n" + record) << QStringLiteral("类型不匹配");
        QTest::newRow("not a number") << QByteArray("\"1x\"\r\n" + record) << QStringLiteral("类型不匹配");
        QTest::newRow("too many") << QByteArray("\"40000\"\r\n" + record) << QStringLiteral("溢出");
    }
    void badFilesLoadNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, description);
        const QString path = dir.filePath(QStringLiteral("bad.owd"));
        writeFile(path, bytes);
        Issue issue;
        issue.AddArticle(QStringLiteral("原有"), {}, QStringLiteral("x"), QStringLiteral("宏观动向"));
        ScriptedDialogs dialogs;
        LoadIssue(issue, path, dialogs);
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.lastText(), QStringLiteral("发生错误\r") + description);
        QCOMPARE(dialogs.shown[0].buttons, Buttons::Ok);
        QCOMPARE(dialogs.shown[0].title, AppTitle());
        QCOMPARE(issue.ArticleCount(), 1);
        QCOMPARE(issue.rowCount(), 1);
    }

    void loadPastTheLimitIsRefusedWhole()
    {
        const QString path = dir.filePath(QStringLiteral("three.owd"));
        writeFile(path, written({sample, sample, sample}));
        Issue issue;
        issue.AppendArticles(QVector<Article>(MaxArticles - 2, sample));
        ScriptedDialogs dialogs;
        LoadIssue(issue, path, dialogs);
        QCOMPARE(dialogs.lastText(), QStringLiteral("发生错误\r溢出"));
        QCOMPARE(issue.ArticleCount(), MaxArticles - 2);
        QCOMPARE(issue.rowCount(), MaxArticles - 2);
    }

    void missingFilesAndFolders()
    {
        Issue issue;
        ScriptedDialogs dialogs;
        LoadIssue(issue, dir.filePath(QStringLiteral("nothing.owd")), dialogs);
        SaveIssue(issue, dir.filePath(QStringLiteral("no/such/folder/x.owd")), dialogs);
        QCOMPARE(dialogs.shown.size(), 2);
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("发生错误\r文件未找到"));
        QCOMPARE(dialogs.shown[1].text, QStringLiteral("发生错误\r路径未找到"));
    }

    void aFailedWriteIsReported()
    {
        FailingDevice device(10);
        QVERIFY_THROWS_EXCEPTION(RuntimeError, WriteIssue({sample, sample}, device));
    }

    void aFailedSaveKeepsTheOldFile()
    {
        const QString path = dir.filePath(QStringLiteral("keep.owd"));
        const QByteArray old = written({sample});
        writeFile(path, old);
        Issue issue;
        issue.AppendArticles(QVector<Article>(2000, sample));

        // Writes past a small file-size limit fail as on a full disk, even for root.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &small);
        ScriptedDialogs dialogs;
        SaveIssue(issue, path, dialogs);
        setrlimit(RLIMIT_FSIZE, &saved);

        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY(dialogs.lastText().startsWith(QStringLiteral("发生错误\r")));
        QCOMPARE(fileBytes(path), old);
        const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        for (const QString& name : left)
            QVERIFY2(!name.startsWith(QStringLiteral("keep.owd.")), qPrintable(name));
    }

    void confirmOverwriteAsksOnlyForExistingFiles()
    {
        ScriptedDialogs dialogs;
        const QString path = dir.filePath(QStringLiteral("exists.owd"));
        QVERIFY(ConfirmOverwrite(path, dialogs));
        QVERIFY(dialogs.shown.isEmpty());

        writeFile(path, "\"0\"\r\n");
        dialogs.answers = {Answer::No, Answer::Yes};
        QVERIFY(!ConfirmOverwrite(path, dialogs));
        QVERIFY(ConfirmOverwrite(path, dialogs));
        QCOMPARE(dialogs.shown.size(), 2);
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("是否覆盖") + path + QStringLiteral("文件？"));
        QCOMPARE(dialogs.shown[0].title, QStringLiteral("保存"));
        QCOMPARE(dialogs.shown[0].buttons, Buttons::YesNo);
        QCOMPARE(dialogs.shown[0].icon, Icon::Warning);
    }
};

QTEST_GUILESS_MAIN(TestIssueFile)
#include "test_model_issuefile.moc"
