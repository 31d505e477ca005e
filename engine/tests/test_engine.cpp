// The engine: the application and its documents, what a view host hears,
// the keyboard of the window (the font and page-number dialogs reached by
// access keys), the document model's rules (what inserting and formatting do
// to text, paragraphs and attributes) and the DOCX writer.

#include "engine/application.h"
#include "engine/docx.h"
#include "engine/failures.h"
#include "engine/tests/edit_script.h"
#include "engine/tests/golden.h"
#include "engine/tests/zip_parts.h"
#include "model/errors.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <functional>

using namespace brevix;
using namespace brevix::engine;
using brevix::testing::Edited;

namespace {

// Records what the engine tells the view host while it is installed.
struct RecordingHost : ViewHost {
    RecordingHost() { SetViewHost(this); }
    ~RecordingHost() override { SetViewHost(nullptr); }
    QStringList events;
    void documentShown(Document& d) override { events << QStringLiteral("shown ") + d.name(); }
    void documentHidden(Document& d) override { events << QStringLiteral("hidden ") + d.name(); }
    void documentActivated(Document& d) override { events << QStringLiteral("activated ") + d.name(); }
    void screenRefreshed(Document& d) override { events << QStringLiteral("refreshed ") + d.name(); }
    void selectionChanged(Document& d) override { events << QStringLiteral("selection ") + d.name(); }
    void documentClosed(Document& d) override { events << QStringLiteral("closed ") + d.name(); }
};

// Presses keys given in the notation of the key strings: "%x" Alt+x,
// "~" Enter, "^" Up.
void Press(Application& app, const QString& s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        KeyStroke k;
        k.alt = s[i] == u'%' && ++i < s.size();
        k.key = s[i] == u'~' ? KeyStroke::Key::Enter : s[i] == u'^' ? KeyStroke::Key::Up : KeyStroke::Key::Character;
        k.character = s[i];
        app.pressKey(k);
    }
}


// A part one tag a line; document.xml one paragraph's properties, one run
// a line, for diffs a reader can follow.
QStringList Lines(const QByteArray& part)
{
    QString xml = QString::fromUtf8(part);
    if (xml.contains(QStringLiteral("<w:body>")))
        xml.replace(QStringLiteral("<w:p>"), QStringLiteral("\n<w:p>")).replace(QStringLiteral("<w:r>"), QStringLiteral("\n<w:r>"))
            .replace(QStringLiteral("</w:p>"), QStringLiteral("\n</w:p>"));
    else
        xml.replace(QStringLiteral("><"), QStringLiteral(">\n<"));
    return xml.split(u'\n');
}

// Every attribute DOCX states. The East-Asian face of the body paragraph
// is inherited from the blank mark (※ asks for it); the final paragraph was
// split off the body paragraph before its border was set. One run per
// attribute change; automatic colour writes nothing, black is a colour like
// the others. Markup escaped, a tab, a line break inside the paragraph, the
// page break; control characters left out, a lone surrogate as U+FFFD. The
// heading exactly 26 points apart, the body single-spaced again after a
// height (a multiple of single lines), the last paragraph one and a half
// lines apart: a line-counting rule brings its own height. Page numbers
// centred in the footer.
std::shared_ptr<Document> EveryAttribute()
{
    return Edited(QStringLiteral("new r 0 0; r insert 宏观动向; r font 隶书; r size 14; r bold 1; r colour 2; r borderstyle 7; "
                                 "r bordercolour 12; r align left; r insert \r; r spacing exactly; r height 26; r collapse; "
                                 "r insert ※ 正文 Text; r font Times New Roman; r colour 12; r underline 3; r firstindent -21.6; "
                                 "r leftindent 21.6; r align centre; r height 30; r spacing single; r insert \r; r borderstyle 7; "
                                 "new tail end-1 end-1; tail collapse; tail insert abc; tail bold 0; tail collapse; tail insert abc; "
                                 "tail bold 1; tail collapse; tail insert abc; tail bold 0; tail collapse; tail insert 色; tail colour 0; "
                                 "tail collapse; tail insert 色; tail colour 1; tail collapse; tail insert 色; tail colour 2; tail collapse; "
                                 "tail insert 色; tail colour 16; tail collapse; tail insert a<b>&\"c\" d\te\v")
                  + QStringLiteral("; tail insert ") + QChar(0x0001) + QStringLiteral("x") + QChar(0xD800)
                  + QStringLiteral("y😀; tail collapse; tail pagebreak; tail insert \r; new last end end; last spacing 1.5; pagenumbers"))
        .doc;
}

} // namespace

class TestEngine : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        for (const auto& app : Application::all())
            app->quit();
    }

    void registryAndDocuments()
    {
        QVERIFY(!Application::running());
        auto first = Application::create(), second = Application::create();
        QCOMPARE(Application::running(), first); // attaching finds the first one started
        auto d1 = second->addDocument(), d2 = second->addDocument(), d3 = second->addDocument();
        second->activateDocument(*d2);
        QCOMPARE(second->activeDocument(), d2.get());
        auto range = d2->range(0, 0);
        second->closeDocument(*d2);
        QCOMPARE(second->activeDocument(), d3.get()); // the last one opened
        QVERIFY_THROWS_EXCEPTION(RuntimeError, range->insertAfter(QStringLiteral("x"))); // the document has gone
        first->quit();
        QCOMPARE(Application::running(), second);
        second->quit();
        QVERIFY(d1->isClosed() && !Application::running());
    }

    // What the view host hears from one application's window calls, and
    // which application is in front (where typed keys go) while another,
    // without documents, shows beside it.
    void windowCalls()
    {
        RecordingHost host;
        auto app = Application::create(), other = Application::create();
        auto doc = app->addDocument();
        app->screenRefresh(); // not visible: nobody to repaint
        app->activate();
        QList<std::shared_ptr<Application>> fronts = {Application::foreground()};
        app->setVisible(true);
        fronts << Application::foreground();
        app->activateDocument(*doc);
        app->screenRefresh();
        doc->range(0, 0)->select();
        other->setVisible(true);
        fronts << Application::foreground();
        app->addDocument(); // shown at once in a visible application
        app->activate();
        fronts << Application::foreground();
        app->setVisible(false);
        fronts << Application::foreground();
        app->closeDocument(*doc);
        QCOMPARE(host.events.join(u','), QStringLiteral("shown 文档1,activated 文档1,refreshed 文档1,selection 文档1,"
                                                         "shown 文档2,activated 文档2,hidden 文档1,hidden 文档2,closed 文档1"));
        QCOMPARE(app->screenRefreshCount(), 2);
        QCOMPARE(fronts, (QList<std::shared_ptr<Application>>{nullptr, app, other, app, nullptr}));
        // Keys reaching an application without a document do nothing.
        Press(*other, QStringLiteral("%of%oarial~~%iu%a^~~"));
        QCOMPARE(other->keyboardState().mode, KeyboardState::Mode::Idle);
    }

    // The font and page-number dialogs reached by keys, as rows of
    // data/keyboard.txt: with all or the first N characters of a text in
    // Arial selected, the keys → the Latin/East-Asian faces of each run of
    // characters (the final mark's last), the page numbers and the keyboard's
    // mode afterwards. The rows: the earlier bulletin's phase, a selection
    // and the list's spelling, an unknown name taken as typed, the alignment
    // list stopping at its top, Enter confirming a dialog as it stands (the
    // page numbers' default place; the untouched font box changes nothing,
    // not even the final mark the selection holds); then sequences
    // outside the grammar, which change nothing (Alt+F in the menu, typing
    // before the field is reached, a dialog left open, a wrong entry of the
    // insert menu); the edition's tests send more through the key strings.
    void keyboard()
    {
        BREVIX_COMPARE_TRANSCRIPT("keyboard.txt", [](const QString& row) {
            auto app = Application::create();
            auto doc = app->addDocument();
            auto text = doc->range(0, 0);
            text->insertAfter(QStringLiteral("情况 abc\r第二段"));
            text->setFontName(QStringLiteral("Arial"));
            doc->select(0, row.startsWith(QStringLiteral("all ")) ? doc->length() : row.section(u' ', 0, 0).toInt());
            Press(*app, row.section(u' ', 1));
            QStringList shown; // "Latin/East-Asian ×characters" per run, the final mark's too
            for (const CharRun& run : doc->charRuns(0, doc->length()))
                shown << run.format->latinFont + u'/' + run.format->eastAsianFont + QStringLiteral(" ×") + QString::number(run.end - run.start);
            static const QStringList alignments{QStringLiteral("left"), QStringLiteral("centre"), QStringLiteral("right")};
            shown << QStringLiteral("page numbers ") + (doc->pageNumbers().on ? alignments.value(int(doc->pageNumbers().alignment)) : QStringLiteral("off"))
                  << QStringLiteral("mode %1").arg(int(app->keyboardState().mode));
            return shown.join(QStringLiteral(", ")); // the application quits in cleanup()
        });
    }
    // Rows of data/edits.txt: an edit script (see Edited) → the document,
    // its runs and paragraphs, the ranges, how each step changed it and what
    // failed. Inserted line ends of any kind fold into paragraph marks, and
    // the range covers what they became. The revision counts every change
    // the window must show; "modified", only changes of the content since
    // the last save.
    // Ranges follow the edits made through others: text inserted before one
    // moves it, inside it widens it, at an empty range's place moves it on;
    // a copy follows as well. Text never goes past the final mark, whatever
    // the range covers. A start past the end moves the end, an end before
    // the start the start. Text at the start of a paragraph takes the
    // attributes of the character after it (the mark of an empty paragraph);
    // elsewhere those before it, after a page break those of the break.
    // Which paragraphs of "aa|bb|cc|" a paragraph setting reaches: empty
    // ranges inside a paragraph, at its start, on a mark and at the end;
    // ranges ending just after a mark or one past it, over two, over a mark
    // only, over the whole document. A border goes to the text when the
    // range holds no paragraph mark, else to its paragraphs (an empty range:
    // its paragraph); width or colour alone turn a single line on, a style
    // keeps the width; style none removes the border.
    void edits()
    {
        BREVIX_COMPARE_TRANSCRIPT("edits.txt", [](const QString& script) { return Edited(script).described(); });
    }

    // Settings over a growing range, as the contents page makes them, keep
    // the runs merged: the cost of a call does not grow with what it covers.
    // A face named in East-Asian characters sets both fonts, a Latin one the
    // Latin font only.
    void runsStayMergedOverGrowingRanges()
    {
        auto doc = std::make_shared<Document>();
        auto r = doc->range(0, 0);
        for (int i = 0; i < 2000; ++i) {
            r->insertAfter(QStringLiteral("    标题") + QString::number(i));
            r->setFontName(QStringLiteral("楷体_GB2312"));
            r->setAlignment(Alignment::Left);
            r->insertAfter(QStringLiteral("--\r"));
            r->setFontName(QStringLiteral("Times New Roman"));
            r->setFontSize(14);
            r->setLineSpacingRule(LineSpacingRule::Exactly);
            r->setLineSpacing(18);
        }
        QCOMPARE(doc->charRunCount(), 2); // the entries, the untouched final mark
        QCOMPARE(doc->paraRunCount(), 2);
        QCOMPARE(doc->charFormatAt(5), (CharFormat{QStringLiteral("Times New Roman"), QStringLiteral("楷体_GB2312"), 28, false, 0, 0, {}}));
        r->setFontName(QStringLiteral("SimSun")); // an East-Asian face with a Latin name
        QCOMPARE(doc->charFormatAt(5).eastAsianFont, QStringLiteral("SimSun"));
    }

    // The run map against a plain array, under random edits.
    void runMapMatchesAPlainArray()
    {
        QRandomGenerator rng(7);
        RunMap map;
        map.reset(5, 0);
        map.transform(5, 5, [](int v) { return v + 1; }); // an empty stretch at the end makes no run
        QList<int> plain(5, 0);
        for (int step = 0; step < 3000; ++step) {
            const int n = static_cast<int>(plain.size()), count = rng.bounded(4), value = rng.bounded(3);
            const auto [from, to] = std::minmax({rng.bounded(n + 1), rng.bounded(n + 1)});
            if (rng.bounded(2) == 0) {
                map.insert(from, count, value);
                plain.insert(from, count, value);
            } else {
                map.transform(from, to, [&](int v) { return (v + value) % 3; });
                for (int i = from; i < to; ++i)
                    plain[i] = (plain[i] + value) % 3;
            }
            // The runs follow each other, none empty, none equal to the one before.
            QList<int> expanded;
            for (int i = 0; i < map.runCount(); ++i) {
                const RunMap::Run run = map.run(i);
                QVERIFY(run.start == expanded.size() && run.start < run.end && (i == 0 || map.run(i - 1).value != run.value));
                expanded.insert(expanded.size(), run.end - run.start, run.value);
            }
            QCOMPARE(expanded, plain);
        }
    }
    // The saved package, file by file, for a blank document and for one
    // holding every attribute; saving marks the document saved. An
    // unwritable place fails with an error and leaves the document unsaved;
    // so does a device that refuses to be written (57: device I/O error).
    void save()
    {
        QTemporaryDir dir;
        const std::shared_ptr<Document> docs[] = {std::make_shared<Document>(), EveryAttribute()};
        for (const auto& doc : docs) {
            SaveDocx(*doc, dir.filePath(QStringLiteral("out.docx")));
            QVERIFY(!doc->isModified());
            QStringList lines;
            for (const auto& [name, part] : package::Parts(dir.filePath(QStringLiteral("out.docx"))).asKeyValueRange()) {
                QXmlStreamReader reader(part);
                while (!reader.atEnd())
                    reader.readNext();
                QVERIFY2(!reader.hasError(), qPrintable(name));
                lines << QStringLiteral("== ") + name << Lines(part);
            }
            BREVIX_COMPARE_GOLDEN(doc == docs[0] ? QStringLiteral("docx_blank.txt") : QStringLiteral("docx_attributes.txt"), lines);
        }

        docs[1]->range(0, 0)->insertAfter(QStringLiteral("x"));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, SaveDocx(*docs[1], dir.filePath(QStringLiteral("missing/out.docx"))));
        QVERIFY(docs[1]->isModified());
        QBuffer readOnly;
        readOnly.open(QIODevice::ReadOnly);
        QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): ReadOnly device");
        try {
            WriteDocx(*docs[1], readOnly);
            QFAIL("no error");
        } catch (const RuntimeError& e) {
            QCOMPARE(e.number(), 57);
        }
    }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "test_engine.moc"
