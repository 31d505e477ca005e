// The bulletins typeset live in LibreOffice Writer: an office of the test's
// own (headless, private profile, ended however the test ends) is started,
// attached to, broken and ended.
// What Writer holds is read back over UNO and compared, paragraph by
// paragraph, with what Writer itself makes of the built-in engine's DOCX of
// the same issue: both in Writer's terms, so no mapping of ours stands
// between the two.

#include "builtin/builtin_backend.h"
#include "editions/edition.h"
#include "editions/tests/agreement_cases.h"
#include "engine/application.h"
#include "engine/docx.h"
#include "libreoffice/private_office.h"
#include "libreoffice/writer_backend.h"
#include "writer_reader.h"

#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <csignal>
#include <optional>

using namespace brevix;
using namespace brevix::testing;

namespace {
const OutputTexts& Texts = AgreementTexts();
} // namespace

class TestWriterBackend : public QObject {
    Q_OBJECT

    QTemporaryDir root_;
    std::optional<libreoffice::PrivateOffice> own_;
    libreoffice::OfficeOptions options_;

    // Whether an soffice of this test's profile runs.
    bool officeRuns() const { return QProcess::execute("pgrep", {"-f", "UserInstallation=" + options_.profileUrl}) == 0; }

    // Every soffice of this test's profile, ended hard.
    void killOffice()
    {
        QProcess::execute("pkill", {"-9", "-f", "UserInstallation=" + options_.profileUrl});
        QTRY_VERIFY(!officeRuns());
    }

    // shown: as with a window, Writer shows the document at every refresh.
    // Transfers come in stretches of a few paragraphs (of two with
    // stretchCharacters 1), as a long bulletin's do.
    std::unique_ptr<libreoffice::WriterBackend> backend(bool shown = false, int stretchCharacters = 200)
    {
        libreoffice::OfficeOptions options = options_;
        options.headless = !shown;
        auto writer = std::make_unique<libreoffice::WriterBackend>(options);
        writer->SetTransfers(std::chrono::milliseconds(0), stretchCharacters);
        return writer;
    }

    // The engine's bulletin as Writer makes it of the engine's DOCX, loaded
    // hidden into the running office of this test (through office, when given).
    QStringList engineBulletin(const Edition& edition, const QVector<Article>& articles,
                               std::shared_ptr<libreoffice::Office> office = nullptr)
    {
        const QTemporaryDir dir;
        const QString path = dir.filePath("engine.docx");
        {
            builtin::BuiltinBackend engineBackend;
            try {
                edition.outputIssueToWord(engineBackend, articles, Texts, YieldFn());
            } catch (const RuntimeError&) { // stopped at a failure: what it typeset
            }
            engine::SaveDocx(*engineBackend.lastDocument(), path);
            for (const auto& app : engine::Application::all())
                app->quit();
        }
        if (!office || !office->isAlive())
            office = libreoffice::Office::Attach(options_);
        if (!office) {
            QTest::qFail("no office to load the engine's DOCX into", __FILE__, __LINE__);
            return {};
        }
        const css::beans::PropertyValue hidden("Hidden", 0, css::uno::Any(true), css::beans::PropertyState_DIRECT_VALUE);
        const css::uno::Reference<css::frame::XComponentLoader> loader(office->desktop(), css::uno::UNO_QUERY_THROW);
        const css::uno::Reference<css::text::XTextDocument> document(
            loader->loadComponentFromURL(libreoffice::ToOU(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)),
                                         "_blank", 0, css::uno::Sequence<css::beans::PropertyValue>(&hidden, 1)),
            css::uno::UNO_QUERY_THROW);
        const auto close = qScopeGuard([&] {
            css::uno::Reference<css::util::XCloseable>(document, css::uno::UNO_QUERY_THROW)->close(true);
        });
        return DescribeWriter(document);
    }

private slots:
    void initTestCase()
    {
        if (libreoffice::InstalledOffice({}).isEmpty())
            QSKIP("LibreOffice is not installed");
        own_.emplace(root_.path());
        options_ = own_->options();
    }

    void cleanupTestCase() { own_.reset(); }

    // No office: nothing to attach to. The office the backend starts stays
    // with the document open after the run (the editor's now); a second
    // backend works in it over the same connection and, closing what it
    // opened, leaves it running.
    void obtainingTheOffice()
    {
        auto first = backend();
        QVERIFY_THROWS_EXCEPTION(RuntimeError, first->GetObject(word::WordApplicationClass()));
        Brevix2003Edition().outputIssueToWord(*first, FullIssue(), Texts, YieldFn());
        QVERIFY(first->office()->startedByUs() && first->office()->isAlive());
        const auto document = first->lastDocument();
        QVERIFY(document.is());

        auto second = backend();
        BrevixEdition().outputIssueToWord(*second, {}, Texts, YieldFn());
        QCOMPARE(second->office(), first->office());
        second->CloseLastDocument();
        QVERIFY(second->office()->isAlive());
        QCOMPARE(DescribeWriter(document).size(), DescribeEngine(*first->lastShadow()).size()); // still open
        // Writer's own export, as the command without a window stores it.
        QVERIFY(first->ExportLastDocument("docx").startsWith("PK"));
        QVERIFY(first->ExportLastDocument("pdf").startsWith("%PDF"));
        first->CloseLastDocument();
    }

    // Shown at every refresh, Writer gets the bulletin stretch by stretch;
    // without a window, at the hand-over.
    void backendsAgree_data()
    {
        QTest::addColumn<QString>("edition");
        QTest::addColumn<QVector<Article>>("articles");
        QTest::addColumn<bool>("shown");
        for (const QString edition : {"Brevix2003", "Brevix"}) {
            QTest::addRow("%s, every category", qPrintable(edition)) << edition << FullIssue() << false;
            QTest::addRow("%s, every category, shown", qPrintable(edition)) << edition << FullIssue() << true;
            QTest::addRow("%s, empty issue", qPrintable(edition)) << edition << QVector<Article>() << false;
        }
        QTest::newRow("page breaks, shown") << "page breaks" << QVector<Article>() << true;
    }

    void backendsAgree()
    {
        QFETCH(QString, edition);
        QFETCH(QVector<Article>, articles);
        QFETCH(bool, shown);
        auto writer = backend(shown, edition == "page breaks" ? 1 : 200);
        const auto close = qScopeGuard([&] {
            try {
                writer->CloseLastDocument();
            } catch (const RuntimeError&) { // reported below
            }
        });
        // A run that fails, fails this case with what it said and whether the
        // office still runs, rather than ending the whole program.
        QStringList actual, expected;
        try {
            EditionNamed(edition).outputIssueToWord(*writer, articles, Texts, YieldFn());
            actual = DescribeWriter(writer->lastDocument());
            expected = engineBulletin(EditionNamed(edition), articles, writer->office());
        } catch (const RuntimeError& e) {
            QFAIL(qPrintable(QStringLiteral("%1 %2; the office %3")
                                 .arg(e.number())
                                 .arg(e.description(), officeRuns() ? "still runs" : "is gone")));
        }
        for (qsizetype i = 0; i < std::min(actual.size(), expected.size()); ++i)
            QVERIFY2(actual[i] == expected[i], // in full, and readable
                     qPrintable(QStringLiteral("\n  Writer:            %1\n  the engine's DOCX: %2").arg(actual[i], expected[i])));
        QCOMPARE(actual.size(), expected.size());
    }

    // The editor closes the document, or the office dies, halfway through:
    // the run ends with an error, and the next run works. That one starts a
    // new office, which is ended with the run's folder, as the command
    // without a window does. The earlier edition stops at a title too long
    // for its contents line: what it typeset stays in Writer.
    void faults_data()
    {
        QTest::addColumn<QString>("edition");
        QTest::addColumn<QString>("fault");
        QTest::newRow("document closed") << "Brevix2003" << "closed";
        QTest::newRow("title too long") << "Brevix" << "overflow";
        QTest::newRow("office killed") << "Brevix" << "killed"; // last: it ends the test's office
    }

    void faults()
    {
        QFETCH(QString, edition);
        QFETCH(QString, fault);
        const bool kill = fault == "killed";
        QVector<Article> articles = FullIssue();
        if (fault == "overflow")
            articles[0].title = QString(10920, u'长');
        auto writer = backend();
        int yields = 0;
        const YieldFn breakIt = [&] {
            if (++yields != 3 || fault == "overflow")
                return;
            if (kill) {
                killOffice();
            } else {
                const css::uno::Reference<css::util::XCloseable> closeable(writer->lastDocument(), css::uno::UNO_QUERY_THROW);
                closeable->close(true);
            }
        };
        QVERIFY_THROWS_EXCEPTION(RuntimeError, EditionNamed(edition).outputIssueToWord(*writer, articles, Texts, breakIt));
        if (fault == "overflow") {
            QCOMPARE(DescribeWriter(writer->lastDocument()), engineBulletin(EditionNamed(edition), articles, writer->office()));
            writer->CloseLastDocument();
            return;
        }
        QVERIFY(yields >= 3);

        auto next = backend();
        EditionNamed(edition).outputIssueToWord(*next, FullIssue(), Texts, YieldFn());
        QCOMPARE(DescribeWriter(next->lastDocument()), engineBulletin(EditionNamed(edition), FullIssue()));
        if (!kill) {
            next->CloseLastDocument();
            return;
        }
        const qint64 pid = next->office()->processId();
        QVERIFY(next->office()->startedByUs() && libreoffice::ProcessRuns(pid));
        next->CloseLastDocument();
        own_->End(next->office());
        QVERIFY(!next->office()->isAlive());
        QVERIFY(!libreoffice::ProcessRuns(pid));
        QVERIFY(!QFileInfo::exists(own_->folder()));
    }
};

QTEST_GUILESS_MAIN(TestWriterBackend)
#include "test_writer_backend.moc"
