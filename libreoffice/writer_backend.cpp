#include "libreoffice/writer_backend.h"

#include "builtin/automation_values.h"
#include "builtin/engine_range_format.h"
#include "engine/document.h"
#include "engine/docx.h"
#include "engine/failures.h"
#include "engine/keyboard.h"
#include "libreoffice/writer_format.h"

#include <com/sun/star/awt/InvalidateStyle.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/document/XDocumentInsertable.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/io/TempFile.hpp>
#include <com/sun/star/io/XOutputStream.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/lang/XEventListener.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/style/NumberingType.hpp>
#include <com/sun/star/style/ParagraphAdjust.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/text/PageNumberType.hpp>
#include <com/sun/star/text/XTextContent.hpp>
#include <com/sun/star/text/XTextRangeCompare.hpp>
#include <com/sun/star/uno/RuntimeException.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/view/XSelectionSupplier.hpp>
#include <cppuhelper/implbase1.hxx>
#include <rtl/ref.hxx>

#include <QBuffer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <mutex>
#include <utility>

namespace brevix::libreoffice {

using css::uno::Any;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

css::beans::PropertyValue Property(const char* name, const Any& value)
{
    css::beans::PropertyValue p;
    p.Name = rtl::OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

css::uno::Sequence<css::beans::PropertyValue> Arguments(std::initializer_list<css::beans::PropertyValue> list)
{
    return css::uno::Sequence<css::beans::PropertyValue>(list.begin(), static_cast<sal_Int32>(list.size()));
}

struct Disposal : cppu::WeakImplHelper1<css::lang::XEventListener> {
    std::atomic<bool> disposed{false};
    void SAL_CALL disposing(const css::lang::EventObject&) override { disposed = true; }
};

// What the office writes for an export, collected as it comes (on the
// bridge's thread).
class ByteSink : public cppu::WeakImplHelper1<css::io::XOutputStream> {
public:
    void SAL_CALL writeBytes(const css::uno::Sequence<sal_Int8>& data) override
    {
        const std::lock_guard lock(mutex_);
        bytes_.append(reinterpret_cast<const char*>(data.getConstArray()), data.getLength());
    }
    void SAL_CALL flush() override {}
    void SAL_CALL closeOutput() override {}
    QByteArray bytes()
    {
        const std::lock_guard lock(mutex_);
        return bytes_;
    }

private:
    std::mutex mutex_;
    QByteArray bytes_;
};

} // namespace

// One Writer document and its shadow.
struct WriterDocument {
    std::shared_ptr<Office> office;
    std::shared_ptr<engine::Document> shadow;
    Reference<css::text::XTextDocument> model;
    Reference<css::text::XText> text;
    Reference<css::text::XTextCursor> cursor;
    Reference<css::frame::XFrame> frame;
    rtl::Reference<Disposal> disposal;
    engine::Keyboard keyboard;
    UnoCallStats* stats = nullptr;
    // What Writer holds: the shadow's paragraphs as they were at the last
    // transfer, each by a fingerprint and its length in Writer's characters
    // (its paragraph mark included).
    struct Held {
        std::size_t fingerprint = 0;
        int length = 0;
    };
    std::vector<Held> held;
    // No shadow position before this one changed since the last transfer.
    int changedFrom = 0;
    bool selectionShown = false;
    // Once the document is handed over (selected whole), Writer follows every call.
    bool handedOver = false;
    // Writer does not lay the document out while it is typeset; showing it
    // and the end of the run let it.
    bool locked = false;
    std::chrono::steady_clock::time_point nextShowing;
    int stretchCharacters = 0; // the most one import carries (but one paragraph)
    bool windowless = false;

    ~WriterDocument() { Unlock(); }

    bool isGone() const { return !office->isAlive() || (disposal.is() && disposal->disposed); }

    // Runs f, which talks to Writer, and turns what UNO throws into the
    // errors the generators know.
    template <typename F> auto uno(F&& f) -> decltype(f())
    {
        CheckOpen();
        const UnoCallStats::Timer timer(*stats);
        try {
            return office->Bounded(f);
        } catch (const css::lang::IllegalArgumentException&) {
            throw engine::ValueOutOfRange();
        } catch (const css::lang::DisposedException&) {
            if (!office->isAlive())
                throw RuntimeError::Automation(QString());
            throw engine::ObjectDeleted();
        } catch (const css::uno::Exception& e) {
            if (!office->isAlive())
                throw RuntimeError::Automation(QString());
            if (disposal.is() && disposal->disposed)
                throw engine::ObjectDeleted();
            throw RuntimeError::Automation(FromOU(e.Message));
        }
    }

    void CheckOpen() const
    {
        if (!office->isAlive())
            throw RuntimeError::Automation(QString());
        if (disposal.is() && disposal->disposed)
            throw engine::ObjectDeleted();
    }

    // The shadow changed from position on (nothing before it).
    void Changed(int position)
    {
        changedFrom = std::min(changedFrom, position);
        if (handedOver)
            Transfer();
    }

    void Move(int count, bool left, bool expand)
    {
        while (count > 0) {
            const auto step = static_cast<sal_Int16>(std::min(count, 32767));
            if (left)
                cursor->goLeft(step, expand);
            else
                cursor->goRight(step, expand);
            count -= step;
        }
    }

    std::size_t Fingerprint(int paragraph) const
    {
        const engine::ParagraphInfo p = shadow->paragraph(paragraph);
        std::size_t seed = qHashMulti(0, QStringView(shadow->text()).mid(p.start, p.end() - p.start), p.format);
        shadow->forEachCharRun(p.start, p.end(), [&](const engine::CharRun& run) { seed = qHashMulti(seed, run.end, run.format); });
        return seed;
    }

    // Writer's characters of a paragraph and its mark, as the engine's DOCX
    // gives them run by run.
    int WriterParagraphLength(int paragraph) const
    {
        const engine::ParagraphInfo p = shadow->paragraph(paragraph);
        int length = 1;
        shadow->forEachCharRun(p.start, p.markPosition, [&](const engine::CharRun& run) {
            length += WriterLength(shadow->text(), run.start, run.end);
        });
        return length;
    }

    bool HoldsBreak(int paragraph) const
    {
        const engine::ParagraphInfo p = shadow->paragraph(paragraph);
        return QStringView(shadow->text()).mid(p.start, p.markPosition - p.start).contains(QChar(engine::PageBreak));
    }

    // Writer made to hold what the shadow holds: from the first paragraph
    // that differs to the end, in stretches of the engine's DOCX that Writer
    // imports, each small enough for one bounded call. Where a page break
    // goes is the import's to say, so a stretch starts after a paragraph
    // that holds none.
    void Transfer()
    {
        const int count = shadow->paragraphCount();
        const int kept = static_cast<int>(held.size());
        if (changedFrom == std::numeric_limits<int>::max() && kept == count)
            return;
        int from = std::min(shadow->paragraphIndexAt(std::min(changedFrom, shadow->length() - 1)), kept);
        while (from < std::min(count, kept) && Fingerprint(from) == held[static_cast<std::size_t>(from)].fingerprint)
            ++from;
        changedFrom = std::numeric_limits<int>::max();
        if (from == count && kept == count)
            return;
        // The stretch goes in where Writer's paragraph `from` starts, so the
        // last one at least is replaced.
        from = std::max(0, std::min({from, count - 1, kept - 1}));
        while (from > 0 && HoldsBreak(from - 1))
            --from;
        for (;;) {
            int to = from + 1;
            for (int characters = 0; to < count && (to < from + 2 || characters < stretchCharacters); ++to)
                characters += shadow->paragraph(to).end() - shadow->paragraph(to).start;
            while (to < count && HoldsBreak(to - 2))
                ++to;
            Replace(from, to);
            if (to == count)
                break;
            from = to - 1;
        }
        selectionShown = false;
    }

    static Reference<css::lang::XComponent> ParagraphAt(const Reference<css::text::XTextCursor>& at)
    {
        const auto paragraphs = Reference<css::container::XEnumerationAccess>(at, UNO_QUERY_THROW)->createEnumeration();
        return Reference<css::lang::XComponent>(paragraphs->nextElement(), UNO_QUERY_THROW);
    }

    // Writer's paragraphs from `from` on become the shadow's [from, to).
    void Replace(int from, int to)
    {
        QBuffer docx;
        docx.open(QIODevice::WriteOnly);
        engine::WriteDocx(*shadow, docx, from, to);
        const QByteArray& bytes = docx.data();
        int replaced = 0;
        for (std::size_t i = static_cast<std::size_t>(from); i < held.size(); ++i)
            replaced += held[i].length;
        std::vector<Held> after(held.begin(), held.begin() + from);
        int length = 0;
        for (int i = from; i < to; ++i) {
            after.push_back({Fingerprint(i), WriterParagraphLength(i)});
            length += after.back().length;
        }
        held.clear(); // should Writer fail half-way, the next transfer replaces everything
        uno([&] {
            // Writer imports a package from a file only (one from a stream
            // ends the office): a file of the office's own, gone once released.
            const Reference<css::io::XTempFile> file = css::io::TempFile::create(office->context());
            const Reference<css::io::XOutputStream> out = file->getOutputStream();
            out->writeBytes(css::uno::Sequence<sal_Int8>(reinterpret_cast<const sal_Int8*>(bytes.constData()),
                                                         static_cast<sal_Int32>(bytes.size())));
            out->closeOutput();
            // Paragraph `from` on emptied; the stretch goes in at its start
            // (at the end of the one before, that one's formats would pass
            // on to it).
            cursor->gotoEnd(false);
            if (from == 0)
                cursor->gotoStart(true);
            else
                Move(replaced - 1, true, true);
            cursor->setString(rtl::OUString());
            Reference<css::text::XTextContent> before;
            if (from > 0) {
                const Reference<css::text::XTextCursor> previous = text->createTextCursorByRange(cursor->getStart());
                previous->goLeft(1, false);
                before.set(ParagraphAt(previous), UNO_QUERY_THROW);
            }
            Reference<css::document::XDocumentInsertable>(cursor, UNO_QUERY_THROW)
                ->insertDocumentFromURL(file->getUri(), Arguments({Property("FilterName", Any(rtl::OUString("MS Word 2007 XML")))}));
            // The import leaves an empty paragraph after the stretch, and
            // may leave some before it. Anything else there means Writer
            // holds what we do not know: better an error than text lost.
            const auto removeEmpty = [](const Reference<css::lang::XComponent>& paragraph) {
                if (!Reference<css::text::XTextContent>(paragraph, UNO_QUERY_THROW)->getAnchor()->getString().isEmpty())
                    throw css::uno::RuntimeException("Writer's document is not as typeset");
                paragraph->dispose();
            };
            cursor->gotoEnd(false);
            removeEmpty(ParagraphAt(cursor));
            cursor->gotoEnd(false);
            Move(length - 1, true, false);
            const Reference<css::text::XTextRangeCompare> compare(text, UNO_QUERY_THROW);
            for (;;) {
                const Reference<css::text::XTextCursor> previous = text->createTextCursorByRange(cursor->getStart());
                if (!previous->goLeft(1, false)
                    || (before.is()
                        && compare->compareRegionEnds(Reference<css::text::XTextRange>(previous, UNO_QUERY_THROW),
                                                      before->getAnchor()) == 0))
                    break;
                removeEmpty(ParagraphAt(previous));
            }
        });
        held = std::move(after);
    }

    // Writer's selection where the shadow's is: the cursor over Writer's part
    // of it, moved there from the nearer end.
    void ShowSelection()
    {
        if (selectionShown)
            return;
        const QString& t = shadow->text();
        const int last = static_cast<int>(t.size()) - 1; // Writer's end: before the final mark
        const int start = std::min(shadow->selection().start, last);
        const int end = std::clamp(shadow->selection().end, start, last);
        const bool whole = start == 0 && end == last;
        const int span = whole ? 0 : WriterLength(t, start, end);
        const bool fromStart = start <= last - end;
        const int to = whole ? 0 : fromStart ? WriterLength(t, 0, start) : WriterLength(t, end, last);
        uno([&] {
            if (whole) {
                cursor->gotoStart(false);
                cursor->gotoEnd(true);
            } else if (fromStart) {
                cursor->gotoStart(false);
                Move(to, false, false);
            } else {
                cursor->gotoEnd(false);
                Move(to, true, false);
            }
            Move(span, !fromStart, true);
            const Reference<css::view::XSelectionSupplier> selection(model->getCurrentController(), UNO_QUERY);
            if (selection.is())
                selection->select(Any(cursor));
        });
        selectionShown = true;
    }

    void Lock()
    {
        if (!locked)
            uno([&] { model->lockControllers(); });
        locked = true;
    }

    // Also on the way out of a failed run: never throws.
    void Unlock() noexcept
    {
        if (!locked)
            return;
        locked = false;
        try {
            if (office->isAlive() && !(disposal.is() && disposal->disposed))
                office->Bounded([&] { model->unlockControllers(); });
        } catch (const css::uno::Exception&) {
        }
    }

    // Everything in Writer; with a window, selected as in the shadow and
    // laid out. Without one nobody looks, and the document stays unlaid: an
    // export lays out what it needs (a DOCX nothing, where laying out a long
    // bulletin takes seconds).
    void Settle()
    {
        CheckOpen();
        Transfer();
        if (windowless)
            return;
        ShowSelection();
        Unlock();
    }

    Reference<css::awt::XWindow> Window()
    {
        return uno([&] { return frame.is() ? frame->getContainerWindow() : Reference<css::awt::XWindow>(); });
    }

    void PushPageNumbers()
    {
        const engine::PageNumbers numbers = shadow->pageNumbers();
        uno([&] {
            const Reference<css::style::XStyleFamiliesSupplier> families(model, UNO_QUERY_THROW);
            const Reference<css::container::XNameAccess> pageStyles(
                families->getStyleFamilies()->getByName("PageStyles"), UNO_QUERY_THROW);
            cursor->gotoStart(false);
            rtl::OUString styleName;
            Reference<css::beans::XPropertySet>(cursor, UNO_QUERY_THROW)->getPropertyValue("PageStyleName") >>= styleName;
            const Reference<css::beans::XPropertySet> style(pageStyles->getByName(styleName), UNO_QUERY_THROW);
            style->setPropertyValue("FooterIsOn", Any(numbers.on));
            if (!numbers.on)
                return;
            // The body keeps its bottom margin; the footer sits in it, its
            // distance from the page's edge as the engine lays it out.
            const engine::PageSetup& page = shadow->pageSetup();
            style->setPropertyValue("BottomMargin", Any(TwipsToHmm(page.footerTwips)));
            style->setPropertyValue("FooterIsDynamicHeight", Any(false));
            style->setPropertyValue("FooterBodyDistance", Any(sal_Int32(0)));
            style->setPropertyValue("FooterHeight", Any(TwipsToHmm(page.bottomTwips - page.footerTwips)));
            const Reference<css::text::XText> footer(style->getPropertyValue("FooterText"), UNO_QUERY_THROW);
            footer->setString(rtl::OUString());
            const Reference<css::lang::XMultiServiceFactory> factory(model, UNO_QUERY_THROW);
            const Reference<css::beans::XPropertySet> field(
                factory->createInstance("com.sun.star.text.TextField.PageNumber"), UNO_QUERY_THROW);
            field->setPropertyValue("NumberingType", Any(css::style::NumberingType::ARABIC));
            field->setPropertyValue("SubType", Any(css::text::PageNumberType_CURRENT));
            footer->insertTextContent(footer->getEnd(), Reference<css::text::XTextContent>(field, UNO_QUERY_THROW), false);
            const auto adjust = numbers.alignment == engine::Alignment::Center ? css::style::ParagraphAdjust_CENTER
                : numbers.alignment == engine::Alignment::Left                 ? css::style::ParagraphAdjust_LEFT
                                                                               : css::style::ParagraphAdjust_RIGHT;
            const Reference<css::text::XTextCursor> number = footer->createTextCursor();
            number->gotoEnd(true);
            Reference<css::beans::XPropertySet>(number, UNO_QUERY_THROW)
                ->setPropertyValue("ParaAdjust", Any(static_cast<sal_Int16>(adjust)));
            // In the engine's plain characters, not the footer style's.
            const PropertySet plain = PlainCharacters(engine::CharFormat{});
            Reference<css::beans::XMultiPropertySet>(number, UNO_QUERY_THROW)->setPropertyValues(plain.names, plain.values);
        });
    }

    // Writer's new document takes the engine's page, and no pair kerning
    // where nothing else is said (Writer's new documents have it, ours not).
    void PushPageSetup()
    {
        const engine::PageSetup& page = shadow->pageSetup();
        uno([&] {
            const Reference<css::style::XStyleFamiliesSupplier> families(model, UNO_QUERY_THROW);
            const Reference<css::container::XNameAccess> pageStyles(
                families->getStyleFamilies()->getByName("PageStyles"), UNO_QUERY_THROW);
            rtl::OUString styleName;
            Reference<css::beans::XPropertySet>(cursor, UNO_QUERY_THROW)->getPropertyValue("PageStyleName") >>= styleName;
            const Reference<css::beans::XMultiPropertySet> style(pageStyles->getByName(styleName), UNO_QUERY_THROW);
            const PropertySet set = Sorted({{"BottomMargin", Any(TwipsToHmm(page.bottomTwips))},
                                            {"Height", Any(TwipsToHmm(page.heightTwips))},
                                            {"LeftMargin", Any(TwipsToHmm(page.leftTwips))},
                                            {"RightMargin", Any(TwipsToHmm(page.rightTwips))},
                                            {"TopMargin", Any(TwipsToHmm(page.topTwips))},
                                            {"Width", Any(TwipsToHmm(page.widthTwips))}});
            style->setPropertyValues(set.names, set.values);
            const Reference<css::lang::XMultiServiceFactory> factory(model, UNO_QUERY_THROW);
            Reference<css::beans::XPropertySet>(factory->createInstance("com.sun.star.text.Defaults"), UNO_QUERY_THROW)
                ->setPropertyValue("CharAutoKerning", Any(false));
        });
    }
};

struct WriterBackend::State {
    OfficeOptions options;
    std::shared_ptr<Office> office;
    std::shared_ptr<WriterDocument> last; // kept for the headless command's export
    std::weak_ptr<WriterDocument> active;
    std::vector<std::weak_ptr<WriterDocument>> documents;
    bool visible = false;
    std::chrono::milliseconds showingInterval{200};
    // A quarter of a second of Writer's import here, a second or two on a
    // busy machine: well within the limit of one call.
    int stretchCharacters = 100000;
    UnoCallStats stats;
};

namespace {

using DocPtr = std::shared_ptr<WriterDocument>;

class RangeImpl : public word::Range {
public:
    RangeImpl(DocPtr doc, std::shared_ptr<engine::Range> range) : doc_(std::move(doc)), range_(std::move(range)) {}

    long get_Start() override { doc_->CheckOpen(); return range_->start(); }
    void put_Start(long position) override { doc_->CheckOpen(); range_->setStart(word::PositionArgument(position)); }
    long get_End() override { doc_->CheckOpen(); return range_->end(); }
    void InsertAfter(const QString& text) override
    {
        doc_->CheckOpen();
        const int at = std::min(range_->end(), doc_->shadow->length() - 1);
        range_->insertAfter(text);
        doc_->Changed(at);
    }
    void Collapse(int direction) override
    {
        doc_->CheckOpen();
        if (direction != word::wdCollapseEnd && direction != word::wdCollapseStart)
            throw engine::ValueOutOfRange();
        range_->collapse(direction == word::wdCollapseEnd);
    }
    void InsertBreak(int type) override
    {
        doc_->CheckOpen();
        const int at = std::min(range_->end(), doc_->shadow->length() - 1);
        if (type == word::wdPageBreak)
            range_->insertPageBreak();
        else if (type == 6) // wdLineBreak
            range_->insertAfter(QStringView(u"\v"));
        else
            throw engine::ValueOutOfRange();
        doc_->Changed(at);
    }
    // Writer shows the selection when it next shows the document.
    void Select() override
    {
        doc_->CheckOpen();
        range_->select();
        doc_->selectionShown = false;
        if (doc_->handedOver)
            doc_->ShowSelection();
    }
    word::FontRef get_Font() override { return format(); }
    word::ParagraphsRef get_Paragraphs() override { return format(); }
    word::ParagraphFormatRef get_ParagraphFormat() override { return format(); }
    word::BordersRef get_Borders() override { return format(); }

private:
    // Settings go to the shadow; a paragraph setting changes the paragraph
    // the range starts in, from its start.
    std::shared_ptr<word::EngineRangeFormat> format()
    {
        doc_->CheckOpen();
        return std::make_shared<word::EngineRangeFormat>(
            range_, word::EngineRangeFormat::Hooks{[doc = doc_] { doc->CheckOpen(); },
                                                   [doc = doc_, range = range_](word::EngineRangeFormat::Changed) {
                                                       doc->Changed(range->start());
                                                   }});
    }

    DocPtr doc_;
    std::shared_ptr<engine::Range> range_;
};

class DocumentImpl : public word::Document {
public:
    DocumentImpl(DocPtr doc, std::shared_ptr<WriterBackend::State> state) : doc_(std::move(doc)), state_(std::move(state)) {}
    // The run is over (or given up): what was typeset goes over, and Writer
    // lays the document out when it has a window.
    ~DocumentImpl() override
    {
        try {
            if (!doc_->isGone())
                doc_->Transfer();
        } catch (const RuntimeError&) {
        }
        if (!doc_->windowless)
            doc_->Unlock();
    }

    word::RangeRef Range(long start, long end) override
    {
        doc_->CheckOpen();
        return std::make_shared<RangeImpl>(doc_, doc_->shadow->range(word::PositionArgument(start), word::PositionArgument(end)));
    }
    void Activate() override
    {
        const auto window = doc_->Window();
        doc_->uno([&] {
            doc_->frame->activate();
            if (window.is())
                window->setFocus();
        });
        state_->active = doc_;
    }
    // The hand-over: everything in Writer, selected; from now on Writer
    // follows every call at once.
    void Select() override
    {
        doc_->CheckOpen();
        doc_->shadow->selectAll();
        doc_->selectionShown = false;
        doc_->handedOver = true;
        doc_->Settle();
    }

private:
    DocPtr doc_;
    std::shared_ptr<WriterBackend::State> state_;
};

class DocumentsImpl : public word::Documents {
public:
    DocumentsImpl(std::shared_ptr<Office> office, std::shared_ptr<WriterBackend::State> state)
        : office_(std::move(office)), state_(std::move(state)) {}

    word::DocumentRef Add() override
    {
        auto doc = std::make_shared<WriterDocument>();
        doc->office = office_;
        doc->stats = &state_->stats;
        doc->stretchCharacters = state_->stretchCharacters;
        doc->windowless = state_->options.headless;
        doc->shadow = std::make_shared<engine::Document>();
        doc->uno([&] {
            const Reference<css::frame::XComponentLoader> loader(office_->desktop(), UNO_QUERY_THROW);
            // Like a new document of an automated word processor, it shows
            // once the application is made visible.
            const bool hidden = !state_->visible || state_->options.headless;
            const auto arguments = Arguments({Property("Hidden", Any(hidden))});
            doc->model.set(loader->loadComponentFromURL("private:factory/swriter", "_blank", 0, arguments), UNO_QUERY);
            if (!doc->model.is())
                throw RuntimeError::CannotCreateObject();
            doc->disposal = new Disposal;
            doc->model->addEventListener(Reference<css::lang::XEventListener>(doc->disposal.get()));
            doc->text = doc->model->getText();
            doc->cursor = doc->text->createTextCursor();
            const Reference<css::frame::XController> controller = doc->model->getCurrentController();
            if (controller.is())
                doc->frame = controller->getFrame();
        });
        doc->PushPageSetup();
        doc->Lock();
        state_->documents.push_back(doc);
        state_->last = doc;
        state_->active = doc;
        return std::make_shared<DocumentImpl>(std::move(doc), state_);
    }

private:
    std::shared_ptr<Office> office_;
    std::shared_ptr<WriterBackend::State> state_;
};

class ApplicationImpl : public word::Application {
public:
    ApplicationImpl(std::shared_ptr<Office> office, std::shared_ptr<WriterBackend::State> state)
        : office_(std::move(office)), state_(std::move(state)) {}

    word::DocumentsRef get_Documents() override
    {
        check();
        return std::make_shared<DocumentsImpl>(office_, state_);
    }
    void put_Visible(bool visible) override
    {
        check();
        state_->visible = visible;
        if (state_->options.headless)
            return;
        for (const auto& weak : state_->documents)
            if (const auto doc = weak.lock(); doc && !doc->isGone()) {
                if (visible)
                    doc->Settle();
                const auto window = doc->Window();
                doc->uno([&] {
                    if (window.is())
                        window->setVisible(visible);
                });
            }
    }
    // Writer shows the bulletin as typeset so far, laid out and painted, then
    // holds it again for the next stretch. Refreshes that come faster than
    // Writer can show them are merged: Writer shows it again once 0.2 s have
    // passed, and no sooner than the last showing took, so that showing
    // takes at most half the run and the editor sees it grow several times a
    // second. Without a window nothing needs showing.
    void ScreenRefresh() override
    {
        check();
        const auto doc = state_->active.lock();
        if (!doc || doc->isGone() || !state_->visible || state_->options.headless)
            return;
        using Clock = std::chrono::steady_clock;
        const Clock::time_point started = Clock::now();
        if (started < doc->nextShowing)
            return;
        doc->Settle();
        const auto window = doc->Window();
        doc->uno([&] {
            const Reference<css::awt::XWindowPeer> peer(window, UNO_QUERY);
            if (peer.is())
                peer->invalidate(css::awt::InvalidateStyle::UPDATE | css::awt::InvalidateStyle::CHILDREN);
        });
        doc->Lock();
        const Clock::time_point ended = Clock::now();
        if (state_->showingInterval.count() > 0)
            doc->nextShowing = ended + std::max<Clock::duration>(ended - started, state_->showingInterval);
    }
    void Activate() override
    {
        check();
        const auto doc = state_->active.lock();
        if (!doc || doc->isGone() || state_->options.headless)
            return;
        const auto window = doc->Window();
        doc->uno([&] {
            const Reference<css::awt::XTopWindow> top(window, UNO_QUERY);
            if (top.is())
                top->toFront();
            if (window.is())
                window->setFocus();
        });
    }

private:
    void check() const
    {
        if (!office_->isAlive())
            throw RuntimeError::Automation(QString());
    }
    std::shared_ptr<Office> office_;
    std::shared_ptr<WriterBackend::State> state_;
};


// The keystroke phase, read by the shadow's keyboard and carried out in Writer.
class WriterKeySender : public word::KeySender {
public:
    explicit WriterKeySender(std::shared_ptr<WriterBackend::State> state) : state_(std::move(state)) {}
    void SendKeys(const QString& keys, bool /*wait: done when this returns*/) override
    {
        const QVector<engine::KeyStroke> strokes = engine::ParseSendKeys(keys);
        const auto doc = state_->active.lock();
        if (!doc)
            return;
        doc->CheckOpen();
        const std::uint64_t revision = doc->shadow->revision();
        const engine::PageNumbers numbers = doc->shadow->pageNumbers();
        for (const engine::KeyStroke& stroke : strokes)
            doc->keyboard.press(stroke, doc->shadow.get());
        if (doc->shadow->revision() == revision)
            return;
        // The keys change the selection's font, or the page numbers.
        if (!(doc->shadow->pageNumbers() == numbers))
            doc->PushPageNumbers();
        doc->selectionShown = false;
        doc->Changed(doc->shadow->selection().start);
    }

private:
    std::shared_ptr<WriterBackend::State> state_;
};

} // namespace

WriterBackend::WriterBackend(OfficeOptions options)
    : state_(std::make_shared<State>()), keys_(std::make_unique<WriterKeySender>(state_))
{
    state_->options = std::move(options);
}

WriterBackend::~WriterBackend() = default;

word::ApplicationRef WriterBackend::Make(std::shared_ptr<Office> office)
{
    state_->office = office;
    // An office that runs shows its windows; one started for us shows the
    // document once told to.
    return std::make_shared<ApplicationImpl>(std::move(office), state_);
}

word::ApplicationRef WriterBackend::GetObject(const QString& className)
{
    if (!word::IsWordApplicationClass(className))
        throw RuntimeError::CannotCreateObject();
    auto office = state_->office && state_->office->isAlive() ? state_->office : Office::Attach(state_->options);
    if (!office)
        throw RuntimeError::CannotCreateObject();
    return Make(std::move(office));
}

word::ApplicationRef WriterBackend::CreateObject(const QString& className)
{
    if (!word::IsWordApplicationClass(className))
        throw RuntimeError::CannotCreateObject();
    // One office serves a profile: a second start reaches the first.
    auto office = state_->office && state_->office->isAlive() ? state_->office : Office::Obtain(state_->options);
    return Make(std::move(office));
}

word::GlobalRef WriterBackend::CreateGlobal() { return std::make_shared<word::PointsGlobal>(); }

word::KeySender& WriterBackend::Keys() { return *keys_; }

QByteArray WriterBackend::ExportLastDocument(const QString& format)
{
    const auto doc = state_->last;
    if (!doc)
        throw RuntimeError::CannotCreateObject();
    doc->Settle();
    // Straight into our memory: no file of the office's to name, find or
    // leave behind, whatever the temporary folder is called.
    const rtl::Reference<ByteSink> sink = new ByteSink;
    const char* filter = format == u"pdf" ? "writer_pdf_Export" : "MS Word 2007 XML";
    doc->uno([&] {
        const Reference<css::frame::XStorable> storable(doc->model, UNO_QUERY_THROW);
        const auto arguments = Arguments({Property("FilterName", Any(rtl::OUString::createFromAscii(filter))),
                                          Property("OutputStream", Any(Reference<css::io::XOutputStream>(sink.get())))});
        storable->storeToURL("private:stream", arguments);
    });
    return sink->bytes();
}

void WriterBackend::CloseLastDocument()
{
    if (const auto doc = state_->last; doc && !doc->isGone()) {
        try {
            const Reference<css::util::XCloseable> closeable(doc->model, UNO_QUERY);
            if (closeable.is())
                doc->office->Bounded([&] { closeable->close(true); });
        } catch (const css::uno::Exception&) {
            // Gone already, or the office refuses: nothing of ours to lose.
        }
    }
}

std::shared_ptr<Office> WriterBackend::office() const { return state_->office; }

css::uno::Reference<css::text::XTextDocument> WriterBackend::lastDocument() const
{
    const auto doc = state_->last;
    return doc ? doc->model : nullptr;
}

std::shared_ptr<engine::Document> WriterBackend::lastShadow() const
{
    const auto doc = state_->last;
    return doc ? doc->shadow : nullptr;
}

const UnoCallStats& WriterBackend::unoCalls() const { return state_->stats; }

void WriterBackend::SetTransfers(std::chrono::milliseconds showingInterval, int stretchCharacters)
{
    state_->showingInterval = showingInterval;
    state_->stretchCharacters = stretchCharacters;
}

} // namespace brevix::libreoffice
