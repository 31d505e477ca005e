// What POSIX alone has: file names that are bytes, and glibc's encoder of
// the code page to hold ours against. Windows names are UTF-16, and its own
// converter is held to the same bytes by test_model_issuefile's table.

#include "model/errors.h"
#include "model/filename.h"
#include "model/issuefile.h"
#include "model/tests/files.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace brevix;

namespace {

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

} // namespace

class TestPosixNames : public QObject {
    Q_OBJECT

private slots:
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

QTEST_GUILESS_MAIN(TestPosixNames)
#include "test_model_posix.moc"
