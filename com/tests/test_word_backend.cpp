// Word through COM, against word_standin.exe: an automation server of the
// test's own, registered in the test's wine prefix as Word.Application (or as
// WPS's class) for the test's life. The document made through COM is stored
// by the stand-in's SaveAs2 and compared, part by part, with the built-in
// engine's DOCX of the same issue. Every stand-in a case reaches is ended
// when the case ends, whatever it checked.

#include "builtin/builtin_backend.h"
#include "com/word_backend.h"
#include "editions/headless.h"
#include "editions/tests/agreement_cases.h"
#include "editions/wordprocessors.h"
#include "engine/application.h"
#include "engine/docx.h"
#include "engine/tests/zip_parts.h"
#include "model/tests/files.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <set>

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <tlhelp32.h>

using namespace brevix;
using namespace brevix::testing;

namespace {

const QString Standin = QStringLiteral("word_standin.exe");

QString StandinPath() { return QCoreApplication::applicationDirPath() + u'/' + Standin; }

// Run by CreateProcess, not QProcess: QProcess's wait on the child in the
// thread pool could post to the QProcess after it was gone under wine (an
// access violation in a pool thread, then a run that never ended).
int RunStandin(const char* what, const QString& progId)
{
    QString command = QStringLiteral("\"%1\" %2 %3").arg(QDir::toNativeSeparators(StandinPath()), QLatin1String(what), progId);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(command.data()), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return -1;
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

void Registration(const char* what, const QString& progId)
{
    QCOMPARE(RunStandin(what, progId), 0);
}

QMap<QString, QByteArray> EngineParts(const Edition& edition, const QVector<Article>& articles)
{
    builtin::BuiltinBackend backend;
    edition.outputIssueToWord(backend, articles, AgreementTexts(), YieldFn());
    QBuffer docx;
    docx.open(QIODevice::WriteOnly);
    engine::WriteDocx(*backend.lastDocument(), docx);
    for (const auto& app : engine::Application::all())
        app->quit();
    return package::Parts(docx.data());
}

// The stand-in that GetObject reaches now, through a connection of the test's.
struct Running {
    com::Connection connection{5000};
    com::ComRef<IDispatch> app;

    explicit Running(const QString& progId = com::WordProgId())
    {
        CLSID clsid;
        com::ComRef<IUnknown> unknown;
        if (SUCCEEDED(CLSIDFromProgID(reinterpret_cast<LPCOLESTR>(progId.utf16()), &clsid))
            && SUCCEEDED(GetActiveObject(clsid, nullptr, unknown.out())))
            unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(app.out()));
    }
    com::Variant get(const wchar_t* member) { return connection.Invoke(app.get(), "Application", member, DISPATCH_PROPERTYGET); }
    void put(const wchar_t* member, const com::Variant& value)
    {
        connection.Invoke(app.get(), "Application", member, DISPATCH_PROPERTYPUT, {value.value()});
    }
    QString state() { return QString::fromWCharArray(get(L"BrevixState").value().bstrVal); }
    long pid() { return get(L"BrevixProcessId").toLong(); }
};

bool Runs(long pid)
{
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return false;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

// Every stand-in running: the prefix is the test run's own, so all are ours.
QVector<DWORD> StandinPids()
{
    QVector<DWORD> pids;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (QString::fromWCharArray(entry.szExeFile).compare(Standin, Qt::CaseInsensitive) == 0)
            pids << entry.th32ProcessID;
    CloseHandle(snapshot);
    return pids;
}

// One left running would keep wine's session, and the test's output, open.
void EndStandins()
{
    for (const DWORD pid : StandinPids())
        if (const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 10000);
            CloseHandle(process);
        }
}

// The stand-ins a case asks about; every one is ended with the case,
// whatever it checked, also those it never reached by name (a run that
// failed before its first yield).
struct Standins {
    std::set<long> pids;
    void note(Running& running)
    {
        if (running.app)
            pids.insert(running.pid());
    }
    ~Standins() { EndStandins(); }
};

// A run through a backend of its own, stored and closed as the headless
// command does. A run that fails gives one part, "run failed", with the error.
QMap<QString, QByteArray> TypesetThrough(const Edition& edition, const QVector<Article>& articles, Standins& standins,
                                         QString* handedOver = nullptr)
{
    com::WordBackend backend;
    try {
        edition.outputIssueToWord(backend, articles, AgreementTexts(), [&] {
            if (standins.pids.empty()) {
                Running running;
                standins.note(running);
            }
        });
        if (handedOver) {
            Running running;
            standins.note(running);
            *handedOver = running.state();
        }
        const QByteArray docx = backend.SaveLastDocument("docx");
        backend.CloseLastDocument();
        backend.QuitIfStarted();
        return package::Parts(docx);
    } catch (const RuntimeError& error) {
        return {{QStringLiteral("run failed"), error.description().toUtf8()}};
    }
}

} // namespace

class TestWordBackend : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        Registration("/RegServer", com::WordProgId());
    }

    void cleanupTestCase()
    {
        Registration("/UnregServer", com::WordProgId());
        EndStandins();
        CoUninitialize();
    }

    // On the cases of the Writer test, the document made through COM is the
    // engine's, part for part; it is left visible, with everything selected,
    // until the headless save closes it and quits the server the run started.
    void backendsAgree_data()
    {
        QTest::addColumn<QString>("edition");
        QTest::addColumn<QVector<Article>>("articles");
        QTest::addColumn<QString>("handedOver");
        QTest::newRow("Brevix2003, every category") << "Brevix2003" << FullIssue() << "visible, 1 documents, all selected";
        QTest::newRow("Brevix2003, empty issue") << "Brevix2003" << QVector<Article>() << "visible, 1 documents, all selected";
        QTest::newRow("Brevix, every category") << "Brevix" << FullIssue() << "visible, 1 documents, all selected";
        QTest::newRow("Brevix, empty issue") << "Brevix" << QVector<Article>() << "visible, 1 documents, all selected";
        // Never made visible by the run: the server it started is shown
        // rather than left hidden with the document.
        QTest::newRow("page breaks") << "page breaks" << QVector<Article>() << "visible, 1 documents, part selected";
    }

    void backendsAgree()
    {
        QFETCH(QString, edition);
        QFETCH(QVector<Article>, articles);
        QFETCH(QString, handedOver);
        Standins standins;
        QString state;
        const auto parts = TypesetThrough(EditionNamed(edition), articles, standins, &state);
        QVERIFY2(!parts.contains("run failed"), parts.value("run failed").constData());
        QCOMPARE(state, handedOver);
        const auto expected = EngineParts(EditionNamed(edition), articles);
        QCOMPARE(parts.keys(), expected.keys());
        for (const QString& name : expected.keys())
            QVERIFY2(parts[name] == expected[name], qPrintable(name + " differs:\n" + QString::fromUtf8(parts[name])));
        for (const long pid : standins.pids)
            QTRY_VERIFY(!Runs(pid));
    }

    // Mid-run (at the third yield): the server killed, the document closed
    // by the editor, the server busy for five calls or past the call limit.
    // The run ends with the error the editor's box shows, or completes; the
    // next run works in any case.
    void faults_data()
    {
        QTest::addColumn<QString>("edition");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("error");
        QTest::newRow("server killed") << "Brevix2003" << "kill" << "自动化错误";
        QTest::newRow("document closed") << "Brevix" << "close" << "对象已被删除";
        QTest::newRow("busy for five calls") << "Brevix2003" << "busy 5" << "";
        QTest::newRow("busy past the limit") << "Brevix" << "busy 1000000" << "自动化错误";
    }

    void faults()
    {
        QFETCH(QString, edition);
        QFETCH(QString, fault);
        QFETCH(QString, error);
        Standins standins;
        com::WordOptions options;
        options.callTimeoutMs = 1500;
        int yields = 0;
        QString failure;
        QElapsedTimer timer;
        std::optional<Running> running; // held past the run: its release makes no call then
        {
            com::WordBackend backend(options);
            try {
                EditionNamed(edition).outputIssueToWord(backend, FullIssue(), AgreementTexts(), [&] {
                    if (++yields != 3)
                        return;
                    running.emplace();
                    standins.note(*running);
                    timer.start();
                    if (fault == "kill")
                        TerminateProcess(OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(running->pid())), 1);
                    else if (fault == "close")
                        running->connection.Invoke(running->get(L"ActiveDocument").value().pdispVal, "Document", L"Close",
                                                   DISPATCH_METHOD, {com::Variant::Long(0).value()});
                    else
                        running->put(L"BrevixRejectCalls", com::Variant::Long(fault.mid(5).toLong()));
                });
            } catch (const RuntimeError& e) {
                failure = e.description();
            }
            QVERIFY(yields >= 3);
            QCOMPARE(failure, error);
            QVERIFY2(timer.elapsed() < options.callTimeoutMs + 8000, "the limit holds");
            backend.QuitIfStarted();
        }
        for (const long pid : standins.pids)
            if (Runs(pid)) // busy past the limit: no more calls are made to it
                TerminateProcess(OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid)), 1);

        Standins next;
        QCOMPARE(TypesetThrough(Brevix2003Edition(), FullIssue(), next), EngineParts(Brevix2003Edition(), FullIssue()));
    }

    // No class registered: 429, and auto takes the built-in engine with a
    // notice. Registered as WPS's class only, auto reaches it.
    void choosing()
    {
        const auto reregister = qScopeGuard([] { Registration("/RegServer", com::WordProgId()); });
        Registration("/UnregServer", com::WordProgId());
        com::WordBackend backend;
        QCOMPARE(faults::ErrorOf([&] { backend.GetObject(word::WordApplicationClass()); }).first, 429);
        QCOMPARE(faults::ErrorOf([&] { backend.CreateObject(word::WordApplicationClass()); }).first, 429);
        const ChosenWordProcessor none = ChooseWordProcessor(WordProcessorChoice::Auto);
        QVERIFY(!none.live);
        QCOMPARE(none.notice, "neither Microsoft Word nor WPS Office is installed; the built-in word processor typesets instead");

        Registration("/RegServer", com::WpsProgIds().first());
        const auto unregister = qScopeGuard([] { Registration("/UnregServer", com::WpsProgIds().first()); });
        QVERIFY(!ChooseWordProcessor(WordProcessorChoice::Word).live);
        ChosenWordProcessor wps = ChooseWordProcessor(WordProcessorChoice::Auto);
        QVERIFY(wps.live);
        Standins standins;
        Brevix2003Edition().outputIssueToWord(*wps.backend, FullIssue(), AgreementTexts(), [&] {
            if (standins.pids.empty()) {
                Running running(com::WpsProgIds().first());
                standins.note(running);
            }
        });
        QCOMPARE(standins.pids.size(), size_t(1));
    }

    // The command without a window stores through the server's SaveAs and
    // quits only the server it started: the editor's running one keeps
    // going, with none of the run's documents.
    void headless()
    {
        Standins standins;
        com::ComRef<IDispatch> editors;
        CLSID clsid;
        QVERIFY(SUCCEEDED(CLSIDFromProgID(L"Word.Application", &clsid)));
        QVERIFY(SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(editors.out()))));
        Running running;
        standins.note(running);
        running.put(L"Visible", com::Variant::Bool(true));
        QCOMPARE(running.state(), "visible, 0 documents");

        const QTemporaryDir dir;
        const QString issue = dir.filePath("issue.owd");
        faults::WriteFile(issue, faults::IssueBytes(FullIssue()));
        const auto typeset = [&](const char* wordProcessor, const char* output) {
            return RunHeadless(Brevix2003Edition(), {"brevix2003", "--typeset", issue, "--number", "3", "--total", "45",
                                                    "--year", "2026", "--month", "12", "--day", "7",
                                                    "--word-processor", wordProcessor, "--output", dir.filePath(output)});
        };
        for (const char* output : {"out.docx", "out.pdf"}) {
            QCOMPARE(typeset("word", output), 0);
            QCOMPARE(running.state(), "visible, 0 documents");
            QTRY_COMPARE(StandinPids().size(), 1); // the run's own has quit
        }
        QCOMPARE(typeset("builtin", "engine.docx"), 0);
        QCOMPARE(package::Parts(dir.filePath("out.docx")), package::Parts(dir.filePath("engine.docx")));
        QFile pdf(dir.filePath("out.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly) && pdf.read(5) == "%PDF-");
        running.connection.Invoke(running.app.get(), "Application", L"Quit", DISPATCH_METHOD);
    }
};

// QtTest ends the run at a check that throws, without cleanupTestCase: the
// stand-in is unregistered and ended here then.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TestWordBackend test;
    try {
        return QTest::qExec(&test, argc, argv);
    } catch (...) {
        RunStandin("/UnregServer", com::WordProgId());
        RunStandin("/UnregServer", com::WpsProgIds().first());
        EndStandins();
        return 1;
    }
}
#include "test_word_backend.moc"
