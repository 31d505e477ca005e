// The office seen from outside: who may hold its pipe, an office that stops
// answering, and the life of the headless command's own office. Another
// local user is played by nobody (the tests run as root in CI); every
// office a test starts is one of a PrivateOffice, ended however the test ends.

#include "editions/edition.h"
#include "libreoffice/private_office.h"
#include "libreoffice/writer_backend.h"
#include "model/tests/files.h"
#include "engine/tests/golden.h"

#include <com/sun/star/frame/XComponentLoader.hpp>

#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>
#include <optional>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace brevix;
using namespace brevix::libreoffice;

namespace {

const OutputTexts Texts{"3", "45", "2026", "12", "7"};

QVector<Article> Articles(int count)
{
    QVector<Article> articles;
    for (int k = 0; k < count; ++k)
        articles.append({QStringLiteral("标题%1").arg(k), "来源", QString(200, u'字'), "宏观动向"});
    return articles;
}

// The processes of the offices whose profile URL starts with `profile`
// (each office and its launcher).
QList<pid_t> OfficeProcesses(const QString& profile)
{
    QList<pid_t> pids;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        QFile cmdline("/proc/" + entry + "/cmdline");
        if (entry.toInt() > 0 && cmdline.open(QIODevice::ReadOnly)
            && cmdline.readAll().contains(("-env:UserInstallation=" + profile).toUtf8()))
            pids << entry.toInt();
    }
    return pids;
}

void SignalAll(const QList<pid_t>& pids, int signal)
{
    for (const pid_t pid : pids)
        kill(pid, signal);
}

// Another user holding a pipe's name: nobody's socket at its path, reading
// whatever comes, listening without ever accepting, or bound with nobody
// behind it. It counts every byte it reads where this process sees it.
class Squatter {
public:
    enum Mode { Reads, Silent, Dead };
    Squatter(const QString& pipeName, Mode mode) : path_(PipePath(pipeName))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::copy(path_.begin(), path_.end(), address.sun_path);
        pid_ = fork();
        if (pid_ == 0) { // async-signal-safe calls only from here
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(1);
            const int s = socket(AF_UNIX, SOCK_STREAM, 0);
            if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || mode == Dead)
                _exit(0);
            listen(s, 1);
            for (char buffer[4096]; mode == Reads;)
                for (ssize_t n, c = accept(s, nullptr, nullptr); c >= 0 && (n = read(int(c), buffer, sizeof buffer)) > 0;)
                    *read_ += n;
            for (;;)
                pause();
        }
        QTRY_VERIFY_WITH_TIMEOUT(PipeHolderOf(pipeName) == PipeHolder::Other, 5000);
    }
    ~Squatter()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        unlink(path_.constData());
        munmap(read_, sizeof *read_);
    }
    qint64 bytesRead() const { return *read_; }

private:
    QByteArray path_;
    pid_t pid_ = -1;
    // Shared with the child, which keeps it up to date.
    std::atomic<qint64>* read_ = new (mmap(nullptr, sizeof(std::atomic<qint64>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0))
        std::atomic<qint64>(0);
};

// What a run of the program printed and how it ended.
struct Run {
    int code = -1;
    QString err;
};

} // namespace

class TestOffice : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    const QString wanted_ = "brevix-test-" + QString::number(QCoreApplication::applicationPid());
    // One office for the in-process cases, reached on each case's pipe.
    std::optional<PrivateOffice> office_;
    QString runPipe_; // the pipe of the program's last office seen

    // The program as the editor runs it, with its offices under our folder;
    // its temporary folder, when given, as the bytes they are (through the
    // shell's printf, as QProcess passes only text).
    QProcess* start(const QStringList& arguments, const QByteArray& tmpdir = {})
    {
        auto* program = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CACHE_HOME", dir_.filePath("cache"));
        env.insert("BREVIX_OFFICE_WAIT", "3");
        program->setProcessEnvironment(env);
        QString octal;
        for (const char byte : tmpdir)
            octal += QString("\\%1").arg(uint(uchar(byte)), 3, 8, QChar('0'));
        if (tmpdir.isEmpty())
            program->start(BREVIX_PROGRAM, arguments);
        else
            program->start("/bin/sh", QStringList{"-c", "TMPDIR=$(printf '" + octal + "') exec \"$0\" \"$@\"", BREVIX_PROGRAM} + arguments);
        program->waitForStarted();
        return program;
    }
    QString officeRoot() const { return dir_.filePath("cache/brevix/office"); }
    QStringList typeset(const QString& issue, const QString& out)
    {
        return {"--typeset", issue, "--word-processor", "libreoffice", "--output", out};
    }
    static Run finish(QProcess* program)
    {
        program->waitForFinished(120000);
        return {program->exitStatus() == QProcess::NormalExit ? program->exitCode() : -program->exitCode(),
                QString::fromUtf8(program->readAllStandardError())};
    }
    // Once a run's office listens on its pipe: the run is connecting or typesetting.
    void waitForOffice()
    {
        const auto listening = [&] {
            for (const pid_t pid : OfficeProcesses("file://" + officeRoot())) {
                QFile cmdline(QString("/proc/%1/cmdline").arg(pid));
                const QString pipe = cmdline.open(QIODevice::ReadOnly)
                    ? QString::fromUtf8(cmdline.readAll()).section("--accept=pipe,name=", 1).section(';', 0, 0) : QString();
                if (!pipe.isEmpty() && PipeHolderOf(pipe) == PipeHolder::Us) {
                    runPipe_ = pipe;
                    return true;
                }
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(listening(), 60000);
        QTest::qWait(300);
    }
    // Nothing of ours is left: no office, no socket of its pipe, no run
    // folder, nothing beside the output.
    void nothingLeft(const QStringList& outputFolder)
    {
        QTRY_VERIFY_WITH_TIMEOUT(OfficeProcesses("file://" + officeRoot()).isEmpty(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(runPipe_.isEmpty() || PipeHolderOf(runPipe_) == PipeHolder::Nobody, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(QDir(officeRoot()).entryList({"run-*"}, QDir::Dirs), QStringList(), 10000);
        QCOMPARE(faults::FilesIn(dir_.filePath("out")), outputFolder);
    }

private slots:
    void initTestCase()
    {
        if (InstalledOffice({}).isEmpty())
            QSKIP("LibreOffice is not installed");
        QVERIFY(QDir(dir_.path()).mkpath("out"));
        office_.emplace(dir_.filePath("offices"));
    }

    void cleanupTestCase() { office_.reset(); }

    // Whoever holds our pipe's name, not one byte of the issue reaches
    // them: the editor is told, and Writer is reached on a private pipe.
    // Rows of data/pipe_holders.txt: another user's socket (reading, silent,
    // dead), a file of ours, our office's, nobody's → what the editor was
    // told, the pipe used, and what the other user read.
    void pipeHolders()
    {
        BREVIX_COMPARE_TRANSCRIPT("pipe_holders.txt", [this](const QString& holder) {
            const bool others = holder == "reads" || holder == "silent" || holder == "dead";
            if (geteuid() != 0 && others)
                return testing::NotOnThisPlatform(); // playing another user needs root
            // A name of the row's own: the editor is told once per pipe and process.
            const QString wanted = wanted_ + '-' + holder;
            OfficeOptions options = office_->options();
            options.pipeName = wanted;
            QStringList notices;
            options.notice = [&](const QString& text) { notices << text; };

            std::optional<Squatter> squatter;
            if (others)
                squatter.emplace(wanted, holder == "reads" ? Squatter::Reads : holder == "silent" ? Squatter::Silent : Squatter::Dead);
            if (holder == "file" && faults::WriteFile(QFile::decodeName(PipePath(wanted)), "x").isEmpty())
                return QString("cannot write the file");
            if (holder == "ours") {
                LaunchOfficeProcess(InstalledOffice({}), {"--headless", "--invisible", "--norestore", "--nologo",
                                                          "--accept=pipe,name=" + wanted + ";urp;StarOffice.ComponentContext",
                                                          "-env:UserInstallation=" + options.profileUrl});
                if (!QTest::qWaitFor([&] { return PipeHolderOf(wanted) == PipeHolder::Us; }, 60000))
                    return QString("our office did not listen");
            }

            WriterBackend writer(options);
            Brevix2003Edition().outputIssueToWord(writer, Articles(3), Texts, YieldFn());
            QStringList seen;
            if (!libreoffice::FromOU(writer.lastDocument()->getText()->getString()).contains("标题2"))
                seen << "not typeset";
            if (!notices.isEmpty())
                seen << "notice: " + notices.join(" / ").replace(wanted, "WANTED").replace(QString::number(geteuid()) + "_WANTED", "0_WANTED");
            seen << QString("pipe: %1").arg(writer.office()->pipeName() == wanted ? "ours" : "private");
            if (squatter)
                seen << QString("read by them: %1 bytes").arg(squatter->bytesRead());
            writer.CloseLastDocument();
            if (holder == "file")
                QFile::remove(QFile::decodeName(PipePath(wanted)));
            return seen.join("; ");
        });
    }

    // An office that stops answering (stopped, here) ends that output with
    // 自动化错误 within the limit, and the next output works.
    void boundedWaits_data()
    {
        QTest::addColumn<QString>("edition");
        QTest::addColumn<int>("stopAt"); // the article examined when the office stops; 0: before the run
        QTest::newRow("current edition, mid-run") << "Brevix2003" << 3;
        QTest::newRow("earlier edition, mid-run") << "Brevix" << 3;
        QTest::newRow("before the run") << "Brevix2003" << 0;
    }

    void boundedWaits()
    {
        QFETCH(QString, edition);
        QFETCH(int, stopAt);
        const Edition& typesetting = edition == "Brevix" ? BrevixEdition() : Brevix2003Edition();
        OfficeOptions options = office_->options();
        options.callTimeoutMs = 2000;
        // One backend for every output, as the composer has.
        WriterBackend writer(options);
        Brevix2003Edition().outputIssueToWord(writer, {}, Texts, YieldFn()); // the office is up
        const QList<pid_t> office = OfficeProcesses(options.profileUrl);
        int examined = 0;
        const YieldFn stopping = [&] {
            if (++examined == stopAt)
                SignalAll(office, SIGSTOP);
        };
        if (stopAt == 0)
            SignalAll(office, SIGSTOP);
        const auto resume = [&] { SignalAll(office, SIGCONT); };
        // Should the limit not hold, the office goes on after a while and the check below fails.
        std::jthread late([&](std::stop_token cancelled) {
            std::mutex mutex;
            std::unique_lock lock(mutex);
            if (!std::condition_variable_any().wait_for(lock, cancelled, std::chrono::seconds(30), [] { return false; }))
                resume();
        });
        QElapsedTimer clock;
        clock.start();
        const auto [number, description] = faults::ErrorOf([&] { typesetting.outputIssueToWord(writer, Articles(20), Texts, stopping); });
        const qint64 took = clock.elapsed();
        late.request_stop();
        resume();
        QCOMPARE(description, QString("自动化错误"));
        QVERIFY2(took < 3 * options.callTimeoutMs + 5000, qPrintable(QString("%1 ms").arg(took)));

        typesetting.outputIssueToWord(writer, Articles(20), Texts, YieldFn());
        QVERIFY(libreoffice::FromOU(writer.lastDocument()->getText()->getString()).contains("标题19"));
        QCOMPARE(OfficeProcesses(options.profileUrl), office); // the same office, answering again
        writer.CloseLastDocument();
    }

    // The headless command's office is its own and ends with the run, however
    // the run ends; the editor's office and its document are left alone.
    void headlessOfficeLife()
    {
        const QString small = faults::WriteFile(dir_.filePath("small.owd"), faults::IssueBytes(Articles(5)));
        // Large enough to be under way when it is stopped or killed.
        const QString large = faults::WriteFile(dir_.filePath("large.owd"), faults::IssueBytes(Articles(2000)));
        const auto out = [&](const QString& name) { return dir_.filePath("out/" + name); };

        // The editor's office, on the pipe the composer would use, with a document open.
        std::optional<PrivateOffice> editor;
        std::shared_ptr<Office> editorsOffice;
        if (PipeHolderOf("brevix-" + QString::number(geteuid())) == PipeHolder::Nobody) {
            editor.emplace(dir_.filePath("editor"));
            OfficeOptions options = editor->options();
            options.pipeName.clear();
            editorsOffice = Office::Obtain(options);
            const css::uno::Reference<css::frame::XComponentLoader> loader(editorsOffice->desktop(), css::uno::UNO_QUERY_THROW);
            loader->loadComponentFromURL("private:factory/swriter", "_blank", 0, {});
        }

        // Two runs overlapping, one with a temporary folder whose name is not UTF-8.
        const QByteArray tmpdir = QFile::encodeName(dir_.path()) + "/t\xe9mp\xff";
        QCOMPARE(mkdir(tmpdir.constData(), 0700), 0);
        const auto removeTmpdir = qScopeGuard([&] { rmdir(tmpdir.constData()); }); // beyond QTemporaryDir's reach
        QProcess* one = start(typeset(small, out("one.docx")));
        QTest::qWait(1000);
        QProcess* two = start(typeset(small, out("two.docx")), tmpdir);
        QCOMPARE(finish(one).code, 0);
        QCOMPARE(finish(two).code, 0);
        QVERIFY(faults::FileBytes(out("one.docx")).startsWith("PK") && faults::FileBytes(out("two.docx")).startsWith("PK"));
        nothingLeft({"one.docx", "two.docx"});

        // Ended by SIGTERM, or by kill -9: the guardian ends the office.
        for (const int signal : {SIGTERM, SIGKILL}) {
            QProcess* run = start(typeset(large, out("killed.docx")));
            waitForOffice();
            kill(static_cast<pid_t>(run->processId()), signal);
            QCOMPARE(finish(run).code, -signal);
            nothingLeft({"one.docx", "two.docx"});
        }

        // The office stops answering: one line, a failed run, nothing left.
        QProcess* stalled = start(typeset(large, out("stalled.docx")));
        waitForOffice();
        SignalAll(OfficeProcesses("file://" + officeRoot()), SIGSTOP);
        const Run failed = finish(stalled);
        QCOMPARE(failed.code, 1);
        QVERIFY2(failed.err.endsWith(": 自动化错误\n") && failed.err.count('\n') == 1, qPrintable(failed.err));
        nothingLeft({"one.docx", "two.docx"});

        // Killed with its guardian: the office stays until the next run ends it.
        QProcess* lost = start(typeset(large, out("lost.docx")));
        waitForOffice();
        QProcess::execute("pkill", {"-9", "-f", "^sh -c trap.*" + officeRoot()});
        kill(static_cast<pid_t>(lost->processId()), SIGKILL);
        finish(lost);
        QTest::qWait(500);
        QVERIFY(!OfficeProcesses("file://" + officeRoot()).isEmpty());
        QCOMPARE(finish(start(typeset(small, out("next.docx")))).code, 0);
        nothingLeft({"next.docx", "one.docx", "two.docx"});

        if (editorsOffice) {
            QVERIFY(editorsOffice->isAlive());
            QVERIFY(editorsOffice->desktop()->getComponents()->createEnumeration()->hasMoreElements());
            editor->End(editorsOffice);
        }
    }
};

QTEST_GUILESS_MAIN(TestOffice)
#include "test_office.moc"
