#pragma once
// The word processor's automation object model, as far as the bulletin
// generators use it. Backends implement these interfaces: the built-in engine
// now; a live office suite or Word itself later. Every failing call throws
// brevix::RuntimeError with a description. References are shared pointers:
// dropping the last one releases the object, as releasing a COM reference does.

#include "model/errors.h"

#include <QString>
#include <memory>

namespace brevix::word {

// Public enumeration values.
enum WdCollapseDirection { wdCollapseEnd = 0, wdCollapseStart = 1 };
enum WdBreakType { wdPageBreak = 7 };
enum WdColorIndex { wdAuto = 0, wdBlack = 1, wdBlue = 2, wdRed = 6, wdViolet = 12 };
enum WdUnderline { wdUnderlineNone = 0, wdUnderlineSingle = 1, wdUnderlineDouble = 3 };
enum WdParagraphAlignment {
    wdAlignParagraphLeft = 0,
    wdAlignParagraphCenter = 1,
    wdAlignParagraphRight = 2,
    wdAlignParagraphJustify = 3
};
enum WdLineSpacing { wdLineSpaceSingle = 0, wdLineSpaceExactly = 4 };
enum WdLineStyle { wdLineStyleNone = 0, wdLineStyleSingle = 1, wdLineStyleDouble = 7 };
enum WdLineWidth { wdLineWidth025pt = 2, wdLineWidth050pt = 4 };

// Automation booleans: True is -1.
inline constexpr int True = -1;
inline constexpr int False = 0;

class Application;
class Documents;
class Document;
class Range;
class Font;
class Paragraphs;
class ParagraphFormat;
class Borders;
class Global;

using ApplicationRef = std::shared_ptr<Application>;
using DocumentsRef = std::shared_ptr<Documents>;
using DocumentRef = std::shared_ptr<Document>;
using RangeRef = std::shared_ptr<Range>;
using FontRef = std::shared_ptr<Font>;
using ParagraphsRef = std::shared_ptr<Paragraphs>;
using ParagraphFormatRef = std::shared_ptr<ParagraphFormat>;
using BordersRef = std::shared_ptr<Borders>;
using GlobalRef = std::shared_ptr<Global>;

class Font {
public:
    virtual ~Font() = default;
    virtual void put_Name(const QString& name) = 0;
    virtual void put_Size(float points) = 0;
    virtual void put_Bold(int value) = 0;
    virtual void put_ColorIndex(int value) = 0;
    virtual void put_Underline(int value) = 0;
};

class Paragraphs {
public:
    virtual ~Paragraphs() = default;
    virtual void put_Alignment(int value) = 0;
};

class ParagraphFormat {
public:
    virtual ~ParagraphFormat() = default;
    virtual void put_LineSpacingRule(int value) = 0;
    virtual void put_LineSpacing(float points) = 0;
    virtual void put_FirstLineIndent(float points) = 0;
    virtual void put_LeftIndent(float points) = 0;
};

class Borders {
public:
    virtual ~Borders() = default;
    virtual void put_OutsideLineStyle(int value) = 0;
    virtual void put_OutsideLineWidth(int value) = 0;
    virtual void put_OutsideColorIndex(int value) = 0;
};

class Range {
public:
    virtual ~Range() = default;
    virtual long get_Start() = 0;
    virtual void put_Start(long position) = 0;
    virtual long get_End() = 0;
    virtual void InsertAfter(const QString& text) = 0;
    virtual void Collapse(int direction) = 0;
    virtual void InsertBreak(int type) = 0;
    virtual void Select() = 0;
    virtual FontRef get_Font() = 0;
    virtual ParagraphsRef get_Paragraphs() = 0;
    virtual ParagraphFormatRef get_ParagraphFormat() = 0;
    virtual BordersRef get_Borders() = 0;
};

class Document {
public:
    virtual ~Document() = default;
    virtual RangeRef Range(long start, long end) = 0;
    virtual void Activate() = 0;
    virtual void Select() = 0;
};

class Documents {
public:
    virtual ~Documents() = default;
    virtual DocumentRef Add() = 0; // every optional argument omitted
};

class Application {
public:
    virtual ~Application() = default;
    virtual DocumentsRef get_Documents() = 0;
    virtual void put_Visible(bool visible) = 0;
    virtual void ScreenRefresh() = 0;
    virtual void Activate() = 0;
};

class Global {
public:
    virtual ~Global() = default;
    virtual float InchesToPoints(float inches) = 0;
};

// Keystrokes sent to the word processor's window ("%" = Alt with the next
// key, "{ENTER}", "{up}", other characters typed). With wait the call returns
// once the keys have been processed.
class KeySender {
public:
    virtual ~KeySender() = default;
    // A generator's keystroke phase starts: a sender that ended an earlier
    // phase (focus lost to another program) may send again.
    virtual void BeginPhase() {}
    virtual void SendKeys(const QString& keys, bool wait) = 0;
};

// How a generator obtains the word processor: attach to a running
// application, or create a new one (COM's GetObject / CreateObject by class
// name). Each throws when it cannot.
class Backend {
public:
    virtual ~Backend() = default;
    virtual ApplicationRef GetObject(const QString& className) = 0;
    virtual ApplicationRef CreateObject(const QString& className) = 0;
    virtual GlobalRef CreateGlobal() = 0;
    virtual KeySender& Keys() = 0;
};

inline QString WordApplicationClass() { return QStringLiteral("Word.Application"); }
inline bool IsWordApplicationClass(const QString& className)
{
    return className.compare(WordApplicationClass(), Qt::CaseInsensitive) == 0;
}

} // namespace brevix::word
