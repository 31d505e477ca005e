// Unsaved work across the composer's lives. A life that ends without 退出 is
// this program run again as a composer (--life) and killed; the next start is
// a composer here, answering its boxes. Every folder is a temporary one.

#include "composer_fixture.h"
#include "model/recoveryfile.h"
#include "model/savefile.h"
#include "model/tests/files.h"
#include "ui/recovery.h"

#include <QDeadlineTimer>
#include <QInputMethodEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cstdio>

using namespace brevix;
using namespace brevix::testing;
using faults::FileBytes;
using faults::FilesIn;

namespace {

const QString Odd = QStringLiteral("𠀀😀한글ŉ"); // none of them in code page 936
const QString Long = QString(20000, u'长') + "\r\n" + QString(19998, u'文'); // 40 000 characters

// What the "compose" life leaves: two articles, and the first taken back for
// an edit whose title has been changed since.
UnsavedWork Composed()
{
    const Article first{"甲" + Odd, "出处" + Odd, "第一行\r\n" + Odd, "宏观动向"};
    return {{first, {"乙", "", Long, "综信采撷"}}, {first.title + "改", first.source, first.content, first.category}, 0};
}

// Text as an input method commits it, surrogate pairs whole.
void Commit(QWidget* box, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(box, &event);
}

// A composer with its recovery file, started as the program starts one.
struct Start : Composer {
    explicit Start(const QString& folder, const Edition& base = Brevix2003Edition(), QList<Answer> answers = {})
        : Composer(base), recovery(*form, folder)
    {
        dialogs.answers = answers;
        recovery.OfferLeftOver();
    }
    bool settled() const { return QTest::qWaitFor([this] { return !recovery.busy(); }, 10000); }
    Recovery recovery;
};

// One life of a composer in a process of its own, killed when this goes.
struct Life {
    Life(const QString& kind, const QString& folder) { process.start(QCoreApplication::applicationFilePath(), {"--life", kind, folder}); }
    ~Life() { kill(); }
    // What it printed up to "ready", once its recovery file was written.
    QByteArray ready()
    {
        for (QDeadlineTimer deadline(30000); !output.endsWith("ready\n") && process.waitForReadyRead(int(deadline.remainingTime()));)
            output += process.readAllStandardOutput().replace("\r\n", "\n"); // lines as Windows' console ends them
        return output;
    }
    void kill()
    {
        process.kill();
        process.waitForFinished(10000);
    }
    QProcess process;
    QByteArray output;
};

int RunLife(const QString& kind, const QString& folder)
{
    Start c(folder);
    const auto settled = [&c](const char* say) { std::printf("%s\n", c.settled() ? say : "still busy"), std::fflush(stdout); };
    if (kind == "dialog") {
        c.add({"B"});
        Commit(c.openDialog()->entry().txtTitle, "在对话框中");
    } else {
        const UnsavedWork work = Composed();
        c.dialogs.answers = {Answer::Yes}; // the second has no source
        for (const Article& article : work.articles) {
            ClearEntry(c.entry());
            Commit(c.entry().txtTitle, article.title);
            Commit(c.entry().txtSource, article.source);
            c.entry().rtxtWord->setBody(article.content); // pasted
            QTest::mouseClick(c.entry().famClass->option(c.entry().famClass->find(article.category)), Qt::LeftButton);
            c.click("cmdTJ");
        }
        c.onLine(0, "cmdEdit");
        Commit(c.entry().txtTitle, "改");
        if (kind == "save") {
            c.dialogs.fileNames = {folder + "/saved.owd"};
            c.click("cmdSave");
            settled("saved");
            std::puts(QFile::exists(c.recovery.fileName()) ? "kept" : "gone"); // the entry area is not in the issue file
            c.click("cmdQC");
        }
    }
    settled("ready");
    return QApplication::exec(); // until killed
}

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT
private slots:
    void recoveredAsTypedAfterAKill()
    {
        QVERIFY(FromCodePage936(ToCodePage936(Odd)) != Odd);
        QTemporaryDir dir;
        Life life("compose", dir.path());
        QCOMPARE(life.ready(), QByteArray("ready\n"));
        life.kill();
        Start s(dir.path(), Brevix2003Edition(), {Answer::Yes});
        QCOMPARE(s.texts(true), QStringList{"发现未保存的期刊，是否恢复？ (Brevix, icon 0, buttons 2)"});
        QVERIFY(s.form->work() == Composed());
        s.click("cmdTJ"); // the pending edit goes on
        QCOMPARE(s.issue().Titles(), (QStringList{"甲" + Odd + "改", "乙"}));
        // The file is this composer's now, and 退出 takes it away.
        QVERIFY(s.settled());
        QCOMPARE(ReadRecoveryFile(*OpenFileForReading(s.recovery.fileName())).articles, s.issue().snapshot());
        s.click("cmdEXIT");
        QCOMPARE(FilesIn(dir.path()), QStringList());
    }

    void twoComposersAtOnce()
    {
        QTemporaryDir dir;
        Start a(dir.path());
        a.add({"A"});
        QVERIFY(a.settled());
        const QByteArray aFile = FileBytes(a.recovery.fileName());
        Life b("dialog", dir.path());
        QCOMPARE(b.ready(), QByteArray("ready\n"));
        QCOMPARE(FilesIn(dir.path()).filter(".json").size(), 2);
        // Nothing is offered while both run, nor, once b is killed, to the other edition.
        for (const Edition* edition : {&Brevix2003Edition(), &BrevixEdition()}) {
            Start nothing(dir.path(), *edition);
            QCOMPARE(nothing.texts(), QStringList());
            b.kill();
        }
        // What was typed in the edit dialog comes back in the entry area.
        Start c(dir.path());
        QCOMPARE(c.texts().size(), 1);
        QVERIFY(c.form->work() == (UnsavedWork{{{"B", "s", "x", "宏观动向"}}, {"在对话框中", "", "", ""}, -1}));
        QCOMPARE(FileBytes(a.recovery.fileName()), aFile);
    }

    // 否 deletes a good file. A damaged one (cut short, empty as after a
    // power cut on a file system that lost it, a later version, an edit past
    // the articles, an article without its category, bytes that are not
    // UTF-8, not the format at all) is reported in one box and moved aside.
    // Nothing is loaded, and the next start says nothing.
    void noDeletesDamagedMovesAside()
    {
        QTemporaryDir dir;
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        WriteRecoveryFile(Composed(), buffer);
        const QByteArray good = buffer.data();
        const QByteArray damaged[] = {good.left(good.size() / 2), {}, QByteArray(good).replace("\"version\":1", "\"version\":2"),
                                      QByteArray(good).replace("\"editIndex\":0", "\"editIndex\":2"),
                                      QByteArray(good).replace("\"category\":\"综信采撷\"", "\"kategory\":\"综信采撷\""),
                                      QByteArray(good).replace("乙", "\xff"), "[]"};
        QVERIFY(!faults::WriteFile(dir.filePath("Brevix2003-good.json"), good).isEmpty());
        QStringList expected{"发现未保存的期刊，是否恢复？"};
        for (const QByteArray& bytes : damaged) {
            const QString stem = dir.filePath(QString("Brevix2003-%1").arg(expected.size() - 1));
            QVERIFY(!faults::WriteFile(stem + ".json", bytes).isEmpty());
            expected << "发现未保存的期刊，但其恢复文件已损坏，无法恢复。\r\n损坏的文件已移至：" + stem + ".damaged";
        }
        expected.sort();
        for (int start = 0; start < 2; ++start) {
            Start s(dir.path(), Brevix2003Edition(), QList<Answer>(expected.size(), Answer::No));
            QStringList texts = s.texts();
            texts.sort();
            QCOMPARE(texts, start == 0 ? expected : QStringList());
            QVERIFY(s.form->work() == UnsavedWork{});
        }
        const QStringList left = FilesIn(dir.path());
        QCOMPARE(left.filter(".damaged"), left);
        QCOMPARE(left.size(), std::size(damaged));
    }

    void saveThenKillOffersNothing()
    {
        QTemporaryDir dir;
        Life life("save", dir.path());
        QCOMPARE(life.ready(), QByteArray("saved\nkept\nready\n"));
        life.kill();
        Start s(dir.path());
        QCOMPARE(s.texts(), QStringList());
        QCOMPARE(FilesIn(dir.path()).filter(QRegularExpression("json|owd")), QStringList{"saved.owd"});
        // Loaded into an empty issue, it is on disk already; loaded twice, it is not.
        for (const bool kept : {false, true}) {
            s.form->OpenIssueFiles({dir.filePath("saved.owd")});
            QVERIFY(s.settled());
            QCOMPARE(QFile::exists(s.recovery.fileName()), kept);
        }
    }

    // Shown once, not at every write after.
    void writeFailureShownOnce()
    {
        QTemporaryFile notAFolder;
        QVERIFY(notAFolder.open());
        Start s(notAFolder.fileName() + "/recovery");
        for (const char* title : {"a", "b"}) {
            s.add({title});
            QVERIFY(s.settled());
        }
        QCOMPARE(s.texts(), QStringList{"无法写入恢复文件，请及时保存期刊。\r\n路径未找到"});
    }

    void headlessLeavesRecoveryAlone()
    {
        QTemporaryDir data, out;
        const QString folder = data.filePath("Brevix2003/recovery");
        QVERIFY(QDir().mkpath(folder) && !faults::WriteFile(folder + "/Brevix2003-left.json", "{}").isEmpty());
        const QString issue = faults::WriteFile(out.filePath("a.owd"), faults::IssueBytes({{"t", "s", "x", "宏观动向"}}));
        QProcess headless;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", data.path());
        headless.setProcessEnvironment(environment);
        headless.start(BREVIX_BIN_DIR "/brevix2003", {"--typeset", issue, "--output", out.filePath("b.docx")});
        const bool finished = headless.waitForFinished(60000);
        headless.kill();
        QVERIFY(finished && headless.exitCode() == 0);
        QCOMPARE(FilesIn(data.path()) + FilesIn(folder), (QStringList{"Brevix2003", "Brevix2003-left.json"}));
        QCOMPARE(FileBytes(folder + "/Brevix2003-left.json"), "{}");
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    if (argc == 4 && QByteArray(argv[1]) == "--life")
        return RunLife(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestRecovery test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_ui_recovery.moc"
