// The headless command: exit codes, its one line on stderr, and that a
// failed run leaves no output file.

#include "editions/edition.h"
#include "editions/headless.h"
#include "model/issuefile.h"

#include <QtTest>
#include <zip.h>

#include <cstdio>
#include <unistd.h>

using namespace brevix;

namespace {

// Captures what the code under test writes to stderr.
class StderrCapture {
public:
    StderrCapture()
    {
        std::fflush(stderr);
        saved_ = dup(2);
        file_ = std::tmpfile();
        dup2(fileno(file_), 2);
    }
    ~StderrCapture()
    {
        restore();
        std::fclose(file_);
    }
    QString text()
    {
        restore();
        std::rewind(file_);
        QByteArray bytes;
        char buffer[4096];
        while (const size_t n = std::fread(buffer, 1, sizeof buffer, file_))
            bytes.append(buffer, qsizetype(n));
        return QString::fromUtf8(bytes);
    }

private:
    void restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
    }
    int saved_ = -1;
    FILE* file_ = nullptr;
};

QString DocumentXml(const QString& docx)
{
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(docx).constData(), ZIP_RDONLY, &error);
    if (!archive)
        return {};
    QByteArray xml;
    zip_stat_t st;
    if (zip_stat(archive, "word/document.xml", 0, &st) == 0) {
        if (zip_file_t* f = zip_fopen(archive, "word/document.xml", 0)) {
            xml.resize(qsizetype(st.size));
            zip_fread(f, xml.data(), st.size);
            zip_fclose(f);
        }
    }
    zip_close(archive);
    return QString::fromUtf8(xml);
}

} // namespace

class TestHeadless : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void recognisesTheCommand();
    void typesetsBothEditions_data();
    void typesetsBothEditions();
    void missingTextsAreEmpty();
    void failures_data();
    void failures();
    void failureKeepsAnOldOutput();
    void typesettingFailureWritesNothing();

private:
    QTemporaryDir dir_;
    QString issue_;
    QString garbage_;
};

void TestHeadless::initTestCase()
{
    QVERIFY(dir_.isValid());
    issue_ = dir_.filePath("issue.owd");
    QFile file(issue_);
    QVERIFY(file.open(QIODevice::WriteOnly));
    WriteIssue({{"宏观标题", "某报", "宏观内容", "宏观动向"},
                {"热点标题", "某刊", "热点内容", "热点关注"},
                {"企业标题", "某网", "企业内容", "企业纵横"}},
               file);
    file.close();
    garbage_ = dir_.filePath("garbage.owd");
    QFile bad(garbage_);
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("\"2\"\r\n\"only one field\"\r\n");
}

void TestHeadless::recognisesTheCommand()
{
    QVERIFY(IsHeadlessInvocation({"brevix2003", "--typeset", "a.owd", "--output", "b.docx"}));
    QVERIFY(IsHeadlessInvocation({"brevix", "--output", "b.docx", "--typeset=a.owd"}));
    QVERIFY(!IsHeadlessInvocation({"brevix2003"}));
    QVERIFY(!IsHeadlessInvocation({"brevix2003", "-platform", "offscreen"}));
}

void TestHeadless::typesetsBothEditions_data()
{
    QTest::addColumn<bool>("earlier");
    QTest::addColumn<QString>("expected"); // text only that edition prints
    QTest::newRow("brevix2003") << false << "目     录";
    QTest::newRow("brevix") << true << "热点标题";
}

void TestHeadless::typesetsBothEditions()
{
    QFETCH(bool, earlier);
    QFETCH(QString, expected);
    const Edition& edition = earlier ? BrevixEdition() : Brevix2003Edition();
    const QString out = dir_.filePath(edition.programName + ".docx");
    StderrCapture err;
    const int code = RunHeadless(edition, {edition.programName.toLower(), "--typeset", issue_, "--number", "12",
                                           "--total=345", "--year", "2003", "--month", "1", "--day", "13",
                                           "--output", out});
    QCOMPARE(err.text(), QString());
    QCOMPARE(code, 0);
    const QString xml = DocumentXml(out);
    QVERIFY2(xml.contains("第12期"), qPrintable(xml.left(300)));
    QVERIFY(xml.contains("总第345期"));
    QVERIFY(xml.contains("2003年1月13日"));
    QVERIFY(xml.contains("宏观标题"));
    QVERIFY(xml.contains(expected));
}

void TestHeadless::missingTextsAreEmpty()
{
    const QString out = dir_.filePath("empty-texts.docx");
    QCOMPARE(RunHeadless(Brevix2003Edition(), {"--typeset", issue_, "--output", out}), 0);
    const QString xml = DocumentXml(out);
    QVERIFY(xml.contains("第期"));
    QVERIFY(xml.contains("总第期"));
}

void TestHeadless::failures_data()
{
    QTest::addColumn<QStringList>("arguments"); // ISSUE, GARBAGE and DIR are replaced
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("message"); // part of the stderr line
    const QString out = "DIR/out.docx";
    QTest::newRow("unknown option") << QStringList{"--typeset", "ISSUE", "--colour", "red", "--output", out} << 2
                                    << out << "unknown option '--colour'";
    QTest::newRow("stray argument") << QStringList{"--typeset", "ISSUE", "extra", "--output", out} << 2 << out
                                    << "unexpected argument 'extra'";
    QTest::newRow("option without value") << QStringList{"--typeset", "ISSUE", "--output", out, "--day"} << 2
                                          << out << "'--day' needs a value";
    QTest::newRow("no output") << QStringList{"--typeset", "ISSUE"} << 2 << out << "--output";
    QTest::newRow("no issue") << QStringList{"--typeset", "--output", out} << 2 << out << "";
    QTest::newRow("given twice") << QStringList{"--typeset", "ISSUE", "--year", "1", "--year", "2", "--output", out}
                                 << 2 << out << "given twice";
    QTest::newRow("not a docx") << QStringList{"--typeset", "ISSUE", "--output", "DIR/out.txt"} << 2
                                << "DIR/out.txt" << ".docx";
    QTest::newRow("missing issue file") << QStringList{"--typeset", "DIR/none.owd", "--output", out} << 1 << out
                                        << "文件未找到";
    QTest::newRow("bad issue file") << QStringList{"--typeset", "GARBAGE", "--output", out} << 1 << out
                                    << "cannot read the issue file";
    QTest::newRow("unwritable output") << QStringList{"--typeset", "ISSUE", "--output", "DIR/no/such/dir/out.docx"}
                                       << 1 << "DIR/no/such/dir/out.docx" << "cannot write";
}

void TestHeadless::failures()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, output);
    QFETCH(QString, message);
    for (QString& a : arguments)
        a.replace("ISSUE", issue_).replace("GARBAGE", garbage_).replace("DIR", dir_.path());
    output.replace("DIR", dir_.path());
    QFile::remove(output);

    StderrCapture err;
    QCOMPARE(RunHeadless(Brevix2003Edition(), QStringList{"brevix2003"} + arguments), code);
    const QString text = err.text();
    QVERIFY2(text.startsWith("brevix2003: ") && text.endsWith('\n') && text.count('\n') == 1, qPrintable(text));
    QVERIFY2(text.contains(message), qPrintable(text));
    QVERIFY(!QFile::exists(output));
    // No temporary file left behind either.
    QCOMPARE(QDir(dir_.path()).entryList({"*.docx*", "*.txt*"}, QDir::Files).filter("out"), QStringList());
}

void TestHeadless::failureKeepsAnOldOutput()
{
    const QString out = dir_.filePath("kept.docx");
    QFile old(out);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    StderrCapture err;
    QCOMPARE(RunHeadless(BrevixEdition(), {"brevix", "--typeset", garbage_, "--output", out}), 1);
    QFile kept(out);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("old"));
}

// The earlier edition ends its run on a title too long for its dash count.
void TestHeadless::typesettingFailureWritesNothing()
{
    const QString issue = dir_.filePath("long.owd");
    QFile file(issue);
    QVERIFY(file.open(QIODevice::WriteOnly));
    WriteIssue({{QString(10920, u'长'), "", "", "宏观动向"}}, file);
    file.close();
    const QString out = dir_.filePath("long.docx");
    StderrCapture err;
    QCOMPARE(RunHeadless(BrevixEdition(), {"brevix", "--typeset", issue, "--output", out}), 1);
    QCOMPARE(err.text(), "brevix: typesetting failed: 溢出\n");
    QVERIFY(!QFile::exists(out));
    // The current edition adds no fill there and goes on.
    QCOMPARE(RunHeadless(Brevix2003Edition(), {"brevix2003", "--typeset", issue, "--output", out}), 0);
    QVERIFY(QFile::exists(out));
}

QTEST_GUILESS_MAIN(TestHeadless)
#include "test_headless.moc"
