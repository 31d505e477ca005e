#include "libreoffice/writer_backend.h"

#include "engine/document.h"
#include "engine/failures.h"
#include "engine/keyboard.h"
#include "generator/automation_values.h"
#include "generator/engine_range_format.h"
#include "generator/sendkeys.h"
#include "libreoffice/writer_format.h"

#include <com/sun/star/awt/InvalidateStyle.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/io/XOutputStream.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/lang/XEventListener.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/style/BreakType.hpp>
#include <com/sun/star/style/NumberingType.hpp>
#include <com/sun/star/style/ParagraphAdjust.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/text/PageNumberType.hpp>
#include <com/sun/star/text/XTextContent.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/view/XSelectionSupplier.hpp>
#include <cppuhelper/implbase1.hxx>
#include <rtl/ref.hxx>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <mutex>
#include <optional>
#include <unordered_map>
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
    Reference<css::beans::XMultiPropertySet> cursorProperties;
    Reference<css::frame::XFrame> frame;
    rtl::Reference<Disposal> disposal;
    engine::Keyboard keyboard;
    std::unordered_map<const engine::CharFormat*, PropertySet> charSets;
    std::unordered_map<const engine::ParaFormat*, PropertySet> paraSets;
    UnoCallStats* stats = nullptr;
    // Where the cursor stands (shadow positions), while no text changed since.
    std::optional<std::pair<int, int>> placed;
    // Settings not yet copied to Writer: consecutive settings of one range
    // (name, size, bold, colour of a heading) go over in one call.
    std::optional<std::pair<int, int>> pendingChars;
    std::optional<std::pair<int, int>> pendingParagraphs;
    // Writer does not lay the document out while it is typeset; a screen
    // refresh and the end of the run let it.
    bool locked = false;

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

    // Puts the cursor over Writer's part of the shadow's [start, end). With
    // pending, shadow text [pending.first, pending.second) is not yet in Writer.
    void Place(int start, int end, std::pair<int, int> pending = {-1, -1})
    {
        if (pending.first < 0 && placed == std::pair(start, end))
            return;
        if (placed && placed->first == placed->second && (placed->first == start || placed->first == end)) {
            // From a collapsed cursor at one end, one move selects the rest.
            const bool fromEnd = placed->first == end;
            const int span = WriterLength(shadow->text(), start, end);
            placed.reset();
            uno([&] { Move(span, fromEnd, true); });
            placed = std::pair(start, pending.first < 0 ? end : start);
            return;
        }
        placed.reset();
        const QString& t = shadow->text();
        const int last = static_cast<int>(t.size()) - 1; // Writer's end: before the final mark
        start = std::min(start, last);
        end = std::clamp(end, start, last);
        const int after = pending.first >= 0 ? pending.second : end;
        const int span = WriterLength(t, start, end);
        uno([&] {
            if (start <= last - after) {
                cursor->gotoStart(false);
                Move(WriterLength(t, 0, start), false, false);
            } else {
                cursor->gotoEnd(false);
                Move(WriterLength(t, after, last), true, false);
                if (span > 0) { // select towards the start
                    Move(span, true, true);
                    return;
                }
            }
            Move(span, false, true);
        });
        if (pending.first < 0)
            placed = std::pair(start, end);
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

    void WriteChars(int start, int end)
    {
        const QString& t = shadow->text();
        // Writer gives what is set over a selection to an empty paragraph
        // where the selection ends, too: such paragraphs get their own again.
        const auto mark = QChar(engine::ParagraphMark);
        while (end > start && end < t.size() && t[end - 1] == mark && t[end] == mark)
            ++end;
        shadow->forEachCharRun(start, end, [&](const engine::CharRun& run) {
            if (WriterLength(t, run.start, run.end) == 0)
                return;
            auto found = charSets.find(run.format);
            if (found == charSets.end())
                found = charSets.emplace(run.format, CharProperties(*run.format)).first;
            const PropertySet& set = found->second;
            Place(run.start, run.end);
            uno([&] { cursorProperties->setPropertyValues(set.names, set.values); });
        });
    }

    bool StartsWithBreak(int paragraph) const
    {
        const engine::ParagraphInfo p = shadow->paragraph(paragraph);
        return p.markPosition > p.start && IsParagraphStartBreak(shadow->text(), p.start);
    }
    bool IsLoneBreak(int paragraph) const
    {
        const engine::ParagraphInfo p = shadow->paragraph(paragraph);
        return StartsWithBreak(paragraph) && p.markPosition == p.start + 1;
    }

    // Whether Writer's paragraph starts a page. A page break alone in its
    // paragraph ends the page that paragraph is on, as the engine lays it
    // out: the break goes to the paragraph after (none after the last).
    bool BreaksBefore(int paragraph) const
    {
        return (StartsWithBreak(paragraph) && !IsLoneBreak(paragraph)) || (paragraph > 0 && IsLoneBreak(paragraph - 1));
    }

    // Paragraph formats of shadow paragraphs first..last; equal neighbours go together.
    void WriteParagraphs(int first, int last)
    {
        const QString& t = shadow->text();
        if (StartsWithBreak(last)) // its break may be the next paragraph's
            last = std::min(last + 1, shadow->paragraphCount() - 1);
        for (int i = first; i <= last;) {
            const engine::ParagraphInfo p = shadow->paragraph(i);
            const bool breakBefore = BreaksBefore(i);
            int j = i;
            while (j < last) {
                const engine::ParagraphInfo q = shadow->paragraph(j + 1);
                if (q.format != p.format || BreaksBefore(j + 1) || breakBefore)
                    break;
                ++j;
            }
            auto found = paraSets.find(p.format);
            if (found == paraSets.end())
                found = paraSets.emplace(p.format, ParaProperties(*p.format, false)).first;
            const PropertySet set = breakBefore ? ParaProperties(*p.format, true) : found->second;
            Place(p.start, shadow->paragraph(j).markPosition);
            uno([&] { cursorProperties->setPropertyValues(set.names, set.values); });
            // A page break inside a paragraph is a paragraph of its own in Writer.
            for (int k = p.start; k < shadow->paragraph(j).markPosition; ++k)
                if (t[k] == QChar(engine::PageBreak) && !IsParagraphStartBreak(t, k)) {
                    Place(k + 1, k + 1);
                    uno([&] {
                        Reference<css::beans::XPropertySet>(cursor, UNO_QUERY_THROW)
                            ->setPropertyValue("BreakType", Any(css::style::BreakType_PAGE_BEFORE));
                    });
                }
            i = j + 1;
        }
    }

    void PushChars(int start, int end)
    {
        if (pendingChars && *pendingChars != std::pair(start, end))
            Flush();
        pendingChars = std::pair(start, end);
    }

    void PushParagraphs(int first, int last)
    {
        if (pendingParagraphs && *pendingParagraphs != std::pair(first, last))
            Flush();
        pendingParagraphs = std::pair(first, last);
    }

    void Flush()
    {
        const auto chars = std::exchange(pendingChars, std::nullopt);
        const auto paragraphs = std::exchange(pendingParagraphs, std::nullopt);
        if (chars)
            WriteChars(chars->first, chars->second);
        if (paragraphs)
            WriteParagraphs(paragraphs->first, paragraphs->second);
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

    // Everything pending in Writer, laid out.
    void Settle()
    {
        Flush();
        Unlock();
    }

    // After the shadow took [at, at + count): the same text into Writer, formatted as the shadow has it.
    void Inserted(int at, int count)
    {
        if (count <= 0)
            return;
        const QString& t = shadow->text();
        const QString add = WriterText(t, at, at + count);
        if (!add.isEmpty()) {
            Place(at, at, {at, at + count});
            uno([&] { text->insertString(Reference<css::text::XTextRange>(cursor.get()), ToOU(add), false); });
            placed = std::pair(at + count, at + count); // Writer's cursor moves past what it inserted
        }
        PushChars(at, at + count);
        const int paragraph = shadow->paragraphIndexAt(at);
        if (QStringView(t).mid(at, count).contains(QChar(engine::ParagraphMark))
            || QStringView(t).mid(at, count).contains(QChar(engine::PageBreak))
            || StartsWithBreak(paragraph)) // a break alone in its paragraph may be no longer
            PushParagraphs(paragraph, shadow->paragraphIndexAt(at + count));
    }

    void PushRange(int start, int end, bool chars, bool paragraphs)
    {
        if (chars)
            PushChars(start, end);
        if (paragraphs) {
            const int first = shadow->paragraphIndexAt(start);
            const int last = end > start ? shadow->paragraphIndexAt(end - 1) : first;
            PushParagraphs(first, last);
        }
    }

    Reference<css::awt::XWindow> Window()
    {
        return uno([&] { return frame.is() ? frame->getContainerWindow() : Reference<css::awt::XWindow>(); });
    }

    void PushPageNumbers()
    {
        Flush();
        placed.reset();
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
            const PropertySet plain = CharProperties(engine::CharFormat{});
            Reference<css::beans::XMultiPropertySet>(number, UNO_QUERY_THROW)->setPropertyValues(plain.names, plain.values);
        });
    }

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
        doc_->Flush(); // pending positions are those before the insertion
        const int length = doc_->shadow->length();
        const int at = std::min(range_->end(), length - 1);
        range_->insertAfter(text);
        doc_->Inserted(at, doc_->shadow->length() - length);
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
        doc_->Flush();
        const int length = doc_->shadow->length();
        const int at = std::min(range_->end(), length - 1);
        if (type == word::wdPageBreak)
            range_->insertPageBreak();
        else if (type == 6) // wdLineBreak
            range_->insertAfter(QStringView(u"\v"));
        else
            throw engine::ValueOutOfRange();
        doc_->Inserted(at, doc_->shadow->length() - length);
    }
    void Select() override
    {
        doc_->CheckOpen();
        range_->select();
        doc_->Flush();
        doc_->Place(range_->start(), range_->end());
        doc_->uno([&] {
            const Reference<css::view::XSelectionSupplier> selection(doc_->model->getCurrentController(), UNO_QUERY);
            if (selection.is())
                selection->select(Any(doc_->cursor));
        });
    }
    word::FontRef get_Font() override { return format(); }
    word::ParagraphsRef get_Paragraphs() override { return format(); }
    word::ParagraphFormatRef get_ParagraphFormat() override { return format(); }
    word::BordersRef get_Borders() override { return format(); }

private:
    // Settings go to the shadow, then the stretch they changed to Writer;
    // a border may be the characters' or the paragraphs', so both go.
    std::shared_ptr<word::EngineRangeFormat> format()
    {
        doc_->CheckOpen();
        using Changed = word::EngineRangeFormat::Changed;
        return std::make_shared<word::EngineRangeFormat>(
            range_, word::EngineRangeFormat::Hooks{[doc = doc_] { doc->CheckOpen(); },
                                                   [doc = doc_, range = range_](Changed what) {
                                                       doc->PushRange(range->start(), range->end(),
                                                                      what != Changed::Paragraphs,
                                                                      what != Changed::Characters);
                                                   }});
    }

    DocPtr doc_;
    std::shared_ptr<engine::Range> range_;
};

class DocumentImpl : public word::Document {
public:
    DocumentImpl(DocPtr doc, std::shared_ptr<WriterBackend::State> state) : doc_(std::move(doc)), state_(std::move(state)) {}
    // The run is over (or given up): what is pending goes over, and Writer lays the document out.
    ~DocumentImpl() override
    {
        try {
            if (!doc_->isGone())
                doc_->Flush();
        } catch (const RuntimeError&) {
        }
        doc_->Unlock();
    }

    word::RangeRef Range(long start, long end) override
    {
        doc_->CheckOpen();
        return std::make_shared<RangeImpl>(doc_, doc_->shadow->range(word::PositionArgument(start), word::PositionArgument(end)));
    }
    void Activate() override
    {
        doc_->Settle();
        const auto window = doc_->Window();
        doc_->uno([&] {
            doc_->frame->activate();
            if (window.is())
                window->setFocus();
        });
        state_->active = doc_;
    }
    void Select() override
    {
        doc_->CheckOpen();
        doc_->shadow->selectAll();
        doc_->Settle();
        doc_->placed.reset();
        doc_->uno([&] {
            doc_->cursor->gotoStart(false);
            doc_->cursor->gotoEnd(true);
            const Reference<css::view::XSelectionSupplier> selection(doc_->model->getCurrentController(), UNO_QUERY);
            if (selection.is())
                selection->select(Any(doc_->cursor));
        });
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
            doc->cursorProperties.set(doc->cursor, UNO_QUERY_THROW);
            const Reference<css::frame::XController> controller = doc->model->getCurrentController();
            if (controller.is())
                doc->frame = controller->getFrame();
        });
        // Writer's new document takes the engine's page and the formats of its empty paragraph.
        doc->PushPageSetup();
        doc->Lock();
        doc->PushParagraphs(0, 0);
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
                doc->Flush();
                const auto window = doc->Window();
                doc->uno([&] {
                    if (window.is())
                        window->setVisible(visible);
                });
            }
    }
    void ScreenRefresh() override
    {
        check();
        const auto doc = state_->active.lock();
        if (!doc || doc->isGone() || !state_->visible)
            return;
        // Laid out and painted now, then held again for the next stretch.
        doc->Settle();
        const auto window = doc->Window();
        doc->uno([&] {
            const Reference<css::awt::XWindowPeer> peer(window, UNO_QUERY);
            if (peer.is())
                peer->invalidate(css::awt::InvalidateStyle::UPDATE | css::awt::InvalidateStyle::CHILDREN);
        });
        doc->Lock();
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
        const QVector<engine::KeyStroke> strokes = ParseSendKeys(keys);
        const auto doc = state_->active.lock();
        if (!doc)
            return;
        doc->CheckOpen();
        doc->Flush();
        const std::uint64_t revision = doc->shadow->revision();
        const engine::PageNumbers numbers = doc->shadow->pageNumbers();
        for (const engine::KeyStroke& stroke : strokes)
            doc->keyboard.press(stroke, doc->shadow.get());
        if (doc->shadow->revision() == revision)
            return;
        const engine::Selection selection = doc->shadow->selection();
        doc->WriteChars(selection.start, selection.end);
        if (!(doc->shadow->pageNumbers() == numbers))
            doc->PushPageNumbers();
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
        doc->Unlock();
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

} // namespace brevix::libreoffice
