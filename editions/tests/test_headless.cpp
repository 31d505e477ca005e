// The headless command: exit codes, its one line on stderr, and that a
// failed run leaves no output file (and an old one as it was).

#include "editions/edition.h"
#include "editions/headless.h"
#include "engine/tests/zip_parts.h"
#include "model/filename.h"
#include "model/issuefile.h"
#include "model/tests/files.h"
#include "engine/tests/golden.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QtTest>

#include <cstdio>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace brevix;

namespace {

// What the code under test writes to stderr while `run` runs.
QString Stderr(const std::function<void()>& run)
{
    // In the working folder: the temporary folder's disk may be full on purpose.
    QTemporaryFile file(QDir::current().filePath(QStringLiteral("stderr-XXXXXX")));
    if (!file.open())
        return "no temporary file";
    std::fflush(stderr);
    const int saved = dup(2);
    dup2(file.handle(), 2);
    run();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    file.seek(0);
    return QString::fromUtf8(file.readAll());
}

} // namespace

class TestHeadless : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QCOMPARE(faults::WriteFile(garbage_, "\"2\"\r\n\"only one field\"\r\n"), garbage_);
        symbolicLink_ = faults::SymbolicLink(issue_, dir_.filePath("link.docx"));
        QVERIFY(symbolicLink_ || !faults::CanSymlink);
        QVERIFY(faults::HardLink(issue_, dir_.filePath("hard.docx")));
    }

    void recognisesTheCommand()
    {
        QVERIFY(IsHeadlessInvocation({"brevix2003", "--typeset", "a.owd", "--output", "b.docx"}));
        QVERIFY(IsHeadlessInvocation({"brevix", "--output", "b.docx", "--typeset=a.owd"}));
        QVERIFY(!IsHeadlessInvocation({"brevix2003", "-platform", "offscreen"}));
    }

    // The five texts as options (a missing one is empty), each edition its
    // own bulletin: rows of data/headless_typesets.txt, the program and its
    // options → the exit code, stderr, the paragraphs of the document and a
    // digest of its whole word/document.xml. The file serves Linux and
    // Windows alike: the two write the same document.xml, no difference allowed.
    void typesets()
    {
        BREVIX_COMPARE_TRANSCRIPT("headless_typesets.txt", [this](const QString& row) {
            const QStringList options = row.split(' ');
            const QString out = dir_.filePath("typeset.docx");
            int code = -1;
            const QString text = Stderr([&] {
                code = RunHeadless(options[0] == "brevix" ? BrevixEdition() : Brevix2003Edition(),
                                   QStringList{options[0], "--typeset", issue_} + options.mid(1) + QStringList{"--output", out});
            });
            static const QRegularExpression tag("<[^>]*>");
            const QString xml = QString::fromUtf8(package::Parts(out).value("word/document.xml"));
            QFile::remove(out);
            const QByteArray digest = QCryptographicHash::hash(xml.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
            return QString::number(code) + ' ' + text + QString(xml).replace("</w:p>", "|").remove(tag).trimmed() + " sha1 " + digest;
        });
    }

    // Refused commands, by their arguments (ISSUE, GARBAGE and DIR stand for
    // the files): the exit code and the one line on stderr. No output is left,
    // not even a temporary file, and the issue stays as it was; the bulletin
    // never replaces its own issue file, under any name (a link, a hard link).
    void failures()
    {
        BREVIX_COMPARE_TRANSCRIPT("headless_failures.txt", [&](const QString& row) {
            if (row.contains("link.docx") && !symbolicLink_)
                return testing::NotOnThisPlatform();
            QStringList arguments{"brevix2003"};
            for (QString a : row.split(' '))
                arguments << a.replace("ISSUE", issue_).replace("GARBAGE", garbage_).replace("DIR", dir_.path());
            const QStringList before = faults::FilesIn(dir_.path());
            const QByteArray issue = faults::FileBytes(issue_);
            int code = 0;
            QString text = Stderr([&] { code = RunHeadless(Brevix2003Edition(), arguments); });
            text.replace(issue_, "ISSUE").replace(garbage_, "GARBAGE").replace(dir_.path(), "DIR");
            if (faults::FilesIn(dir_.path()) != before)
                text += " (files left behind)";
            if (faults::FileBytes(issue_) != issue)
                text += " (the issue changed)";
            return QString::number(code) + ' ' + text;
        });
    }

    // A run that fails leaves an output file already there as it was: the
    // earlier edition ends its run on a title too long for its dash count,
    // and a full disk fails small and large outputs alike. Rows of
    // data/headless_failed_runs.txt: the program, the articles (0: one
    // title too long), a file-size limit (0: none) → the exit code, its
    // one line on stderr, and what is left.
    void failedRunsKeepAnOldOutput()
    {
        BREVIX_COMPARE_TRANSCRIPT("headless_failed_runs.txt", [this](const QString& row) {
            const QStringList words = row.split(u' ');
            const int articles = words[1].toInt(), sizeLimit = words[2].toInt();
            // Bodies that do not compress, so a large issue makes a large file.
            QVector<Article> contents;
            QRandomGenerator random(articles);
            for (int k = 0; k < articles; ++k) {
                QString body;
                for (int c = 0; c < 200; ++c)
                    body += QChar(char16_t(0x4E00 + random.bounded(0x5000)));
                contents.append({"标题", "某报", body, "宏观动向"});
            }
            if (articles == 0)
                contents.append({QString(10920, u'长'), "", "", "宏观动向"});
            const QString issue = faults::WriteFile(dir_.filePath("failing.owd"), faults::IssueBytes(contents));
            const QString out = faults::WriteFile(dir_.filePath("kept.docx"), "old");
            const QStringList before = faults::FilesIn(dir_.path());
            int code = 0;
            const QString text = Stderr([&] {
                std::optional<faults::FileSizeLimit> limit;
                if (sizeLimit > 0)
                    limit.emplace(sizeLimit);
                code = RunHeadless(words[0] == "brevix" ? BrevixEdition() : Brevix2003Edition(), {words[0], "--typeset", issue, "--output", out});
            });
            return QString("%1 %2 %3, %4").arg(code).arg(QString(text).replace(dir_.path(), "DIR"))
                .arg(faults::FileBytes(out) == "old" ? "the old output kept" : "the old output lost")
                .arg(faults::FilesIn(dir_.path()) == before ? "nothing else left" : "files left behind");
        });
    }

    // Names that are not UTF-8 reach the file system as the bytes they are.
    void namesThatAreNotUtf8()
    {
        if (!faults::NamesAreBytes)
            QSKIP("file names are UTF-16 here");
        const QByteArray folder = QFile::encodeName(dir_.path());
        const QByteArray issueBytes = folder + "/\xc7\xe9\xbf\xf6.owd"; // GBK for 情况
        const QByteArray outBytes = folder + "/\xb7\xb4\xd3\xb3\xff.docx";
        QVERIFY(QFile::copy(issue_, dir_.filePath("plain.owd")));
        QCOMPARE(::rename(QFile::encodeName(dir_.filePath("plain.owd")).constData(), issueBytes.constData()), 0);
        int code = -1;
        QCOMPARE(Stderr([&] {
                     code = RunHeadless(Brevix2003Edition(), {"brevix2003", "--typeset", FileNameFromBytes(issueBytes),
                                                              "--output", FileNameFromBytes(outBytes)});
                 }),
                 QString());
        QCOMPARE(code, 0);
        struct stat st {};
        QCOMPARE(::stat(outBytes.constData(), &st), 0);
        QVERIFY(st.st_size > 1000);
        QCOMPARE(::unlink(outBytes.constData()) + ::unlink(issueBytes.constData()), 0); // Qt could not remove them
    }

private:
    QTemporaryDir dir_;
    QString issue_ = faults::WriteFile(dir_.filePath("issue.owd"), faults::IssueBytes({{"宏观标题", "某报", "宏观内容", "宏观动向"},
                                                                                          {"热点标题", "某刊", "热点内容", "热点关注"}}));
    QString garbage_ = dir_.filePath("garbage.owd");
    bool symbolicLink_ = false;
};

QTEST_GUILESS_MAIN(TestHeadless)
#include "test_headless.moc"
