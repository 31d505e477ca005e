// The earlier edition's bulletin: it creates its own word processor, stops
// at the first failing call, ends with a keystroke phase, and typesets its
// six categories (the current edition's are tested with the generator).

#include "editions/edition.h"
#include "generator/tests/bulletin_fixture.h"
#include "engine/tests/golden.h"

#include <QtTest>

using namespace brevix;
using namespace brevix::testing;

namespace {

void Earlier(word::Backend& backend, const QVector<Article>& articles, const OutputTexts& texts, const YieldFn& yield)
{
    BrevixEdition().outputIssueToWord(backend, articles, texts, yield);
}

} // namespace

class TestEarlierBulletin : public QObject {
    Q_OBJECT
private slots:
    // Rows of data/obtaining.txt, as for the current edition: it creates
    // only, even when one is running.
    void obtaining() { BREVIX_COMPARE_TRANSCRIPT("obtaining.txt", ObtainingRow(Earlier)); }

    // Contents group 4 and six section scans yield per article
    // (groups 1 to 3 only refresh), on a snapshot of the issue; the hand-over
    // is followed by the keystroke phase and a trailing space.
    void aRunFromCreationToKeystrokes()
    {
        FakeBackend backend;
        backend.running = true;
        const ChangingIssueRun run = RunWhileTheIssueChanges(backend, Earlier, "国内行业");
        QCOMPARE(run.error, 0);
        QCOMPARE(run.yields, 7 * 11);
        QCOMPARE(run.refreshesBeforeFirstYield, 3 * 11 + 1);
        QCOMPARE(run.inserted, run.insertedUnchanged);
        QStringList handOver{"Application.Activate", "Document.Select", "BeginPhase"};
        for (const char* k : {"%o", "f", "%o", "times new roman", "{ENTER}", "{ENTER}", "%i", "u", "%a{up}", "{ENTER}", "{ENTER}"})
            handOver << QString("SendKeys(%1,wait)").arg(k);
        QCOMPARE(backend.log.calls.mid(backend.log.calls.indexOf("Application.Activate")),
                 handOver + QStringList{"InsertAfter( )"} + Releases);
    }

    // Rows of data/failures.txt, as for the current edition: the first
    // failure ends the run with its error; the references are released.
    void stopsAtTheFirstFailure() { BREVIX_COMPARE_TRANSCRIPT("failures.txt", FailureRow(Earlier)); }

    // Trimmed in sections 1 and 5 only; the current edition's own categories
    // nowhere. The keystroke phase sets the Latin font of the whole document
    // (East-Asian faces untouched) and centres page numbers.
    void paragraphs()
    {
        const Typeset empty(Earlier, {});
        BREVIX_COMPARE_GOLDEN("earlier_bulletin_empty.txt", empty.formats());
        const Typeset run(Earlier, EveryCategory());
        BREVIX_COMPARE_GOLDEN("earlier_bulletin.txt", run.formats());
        QVERIFY(run.apps.back()->isVisible());
        QCOMPARE(run.doc->pageNumbers(), (engine::PageNumbers{true, engine::Alignment::Center}));
        // Paragraph starts are in the golden file; inside a body too.
        QCOMPARE(run.doc->charFormatAt(int(run.doc->text().indexOf("正文"))).latinFont, "Times New Roman");
    }

    // Rows of data/contents_entries.txt: 80 - 3L dashes in 16-bit
    // arithmetic; an overflow ends the run there, keeping what was typeset
    // (the title, unless already its length overflows).
    void contentsEntries() { BREVIX_COMPARE_TRANSCRIPT("contents_entries.txt", ContentsEntryRow(Earlier)); }
};

QTEST_GUILESS_MAIN(TestEarlierBulletin)
#include "test_earlier_bulletin.moc"
