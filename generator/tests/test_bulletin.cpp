// The current edition's bulletin: the calls it makes on the word processor
// (obtaining it, yields, what failing calls do) and what the built-in engine
// typesets from them. The earlier edition's is tested with the editions.

#include "bulletin_fixture.h"
#include "generator/bulletin.h"
#include "engine/tests/golden.h"

#include <QtTest>

using namespace brevix;
using namespace brevix::testing;

namespace {

const ContactTexts Contacts{"010-1", "010-2", "x@y.z"};

void Current(word::Backend& backend, const QVector<Article>& articles, const OutputTexts& texts, const YieldFn& yield)
{
    OutputIssueToWord(backend, articles, texts, Contacts, yield);
}

} // namespace

class TestBulletin : public QObject {
    Q_OBJECT
private slots:
    // Rows of data/obtaining.txt: whether a word processor is running and
    // whether one can be created → the run's error number and its calls up
    // to the first setting. Attaches first, but the created one wins;
    // nothing obtained: one error, 429. Centred from the start.
    void obtaining() { BREVIX_COMPARE_TRANSCRIPT("obtaining.txt", ObtainingRow(Current)); }

    // Five section scans yield per article, after the contents page (two
    // scans and the industry group) only refreshed. The window deletes and
    // adds articles at every yield: the bulletin stays the one of the issue
    // as it was at the start, and is handed over shown and selected.
    void yieldsOnASnapshotAndHandsOver()
    {
        FakeBackend backend;
        const ChangingIssueRun run = RunWhileTheIssueChanges(backend, Current, "企业纵横");
        QCOMPARE(run.error, 0);
        QCOMPARE(run.yields, 5 * 11);
        QCOMPARE(run.refreshesBeforeFirstYield, 2 * 11 + 1);
        QCOMPARE(run.inserted, run.insertedUnchanged);
        QCOMPARE(backend.log.calls.mid(backend.log.calls.indexOf("Application.Activate")),
                 (QStringList{"Application.Activate", "Document.Select"} + Releases));
    }

    // Rows of data/failures.txt: how calls fail → the run's error number,
    // the calls that failed, the text left out (of a run that ends normally)
    // and the last five calls.
    // "fails X": the first call starting with X fails; it is skipped and
    // every other one runs. "missing X": every getter of X gives nothing,
    // failing as a variable never set (91): the step is skipped, and without
    // a document the run ends. "gone X": every call from X on fails (the word
    // processor stops answering): the run ends at once, with one error.
    // "refuses X": the same, but where the range ends is still answered: the
    // run ends after 100 failures in a row.
    void failures() { BREVIX_COMPARE_TRANSCRIPT("failures.txt", FailureRow(Current)); }

    // Failures scattered among calls that work never add up to giving up,
    // however many there are.
    void scatteredFailuresNeverEndTheRun()
    {
        FakeBackend backend;
        backend.log.fails = [n = 0, started = false](const QString& call) mutable {
            started = started || call == "Alignment=1"; // the working range exists
            return started && call != "Range.End" && ++n % 3 == 0;
        };
        QCOMPARE(Run(backend, Current, EveryCategory() + EveryCategory()), 0);
        QVERIFY2(backend.log.failed > 200, qPrintable(QString::number(backend.log.failed)));
        QCOMPARE(backend.log.calls.mid(backend.log.calls.size() - 3), Releases);
    }

    // The bulletin as the built-in engine typesets it, with and without
    // articles. Titles in list order; the industry group lists its three
    // names only; its articles are "※" items without title. Content trimmed
    // except in 综信采撷; an empty content or source keeps the lead and the
    // gap. The empty paragraph above the title is as tall as the title; the
    // notice sets neither colour nor underline (it takes its new paragraph's);
    // section headings are boxed characters, not boxed paragraphs; paragraphs
    // split from the final one keep the blank document's characters; in an
    // entry Chinese keeps the entry's face, Times New Roman the rest.
    void paragraphsAndFormats()
    {
        const Typeset empty(Current, {});
        BREVIX_COMPARE_GOLDEN("current_bulletin_empty.txt", empty.formats());
        const Typeset run(Current, EveryCategory());
        QCOMPARE(run.error, QString());
        QVERIFY(run.apps.back()->isVisible());
        QCOMPARE(run.doc->selection(), (engine::Selection{0, run.doc->length()})); // handed over all selected
        BREVIX_COMPARE_GOLDEN("current_bulletin.txt", run.formats());
    }

    // Rows of data/contents_entries.txt: 80 - 3L dashes in 16-bit
    // arithmetic; an overflowing fill is skipped.
    void contentsEntries() { BREVIX_COMPARE_TRANSCRIPT("contents_entries.txt", ContentsEntryRow(Current)); }
};

QTEST_GUILESS_MAIN(TestBulletin)
#include "test_bulletin.moc"
