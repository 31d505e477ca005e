#pragma once
// A word processor that only records the calls made on it, in order, and
// fails the calls a test asks it to fail. Shared by the generator tests of
// both editions.

#include "generator/automation.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace brevix::test {

struct CallLog {
    QStringList calls;
    // Decides per call (its index in calls and its text) whether it fails.
    std::function<bool(int, const QString&)> failWhen;
    bool gone = false; // every call fails from now on (the process died)
    int failed = 0;

    void record(const QString& call)
    {
        const int index = int(calls.size());
        calls.append(call);
        if (gone || (failWhen && failWhen(index, call))) {
            ++failed;
            throw RuntimeError::Automation(QStringLiteral("failing: ") + call);
        }
    }
    // Fail exactly the call with this index.
    void failAt(int index)
    {
        failWhen = [index](int i, const QString&) { return i == index; };
    }
    // From this call index on, the word processor is gone.
    void dieAt(int index)
    {
        failWhen = [this, index](int i, const QString&) {
            if (i >= index)
                gone = true;
            return gone;
        };
    }
    int count(const QString& call) const { return int(calls.count(call)); }
    // Concatenation of every successful InsertAfter, in order.
    QString inserted;
};

class FakeFont : public word::Font {
public:
    explicit FakeFont(CallLog& log) : log_(log) {}
    void put_Name(const QString& name) override { log_.record("Font.Name=" + name); }
    void put_Size(float points) override { log_.record("Font.Size=" + QString::number(points)); }
    void put_Bold(int value) override { log_.record("Font.Bold=" + QString::number(value)); }
    void put_ColorIndex(int value) override { log_.record("Font.ColorIndex=" + QString::number(value)); }
    void put_Underline(int value) override { log_.record("Font.Underline=" + QString::number(value)); }

private:
    CallLog& log_;
};

class FakeParagraphs : public word::Paragraphs {
public:
    explicit FakeParagraphs(CallLog& log) : log_(log) {}
    void put_Alignment(int value) override { log_.record("Alignment=" + QString::number(value)); }

private:
    CallLog& log_;
};

class FakeParagraphFormat : public word::ParagraphFormat {
public:
    explicit FakeParagraphFormat(CallLog& log) : log_(log) {}
    void put_LineSpacingRule(int value) override { log_.record("LineSpacingRule=" + QString::number(value)); }
    void put_LineSpacing(float points) override { log_.record("LineSpacing=" + QString::number(points)); }
    void put_FirstLineIndent(float points) override { log_.record("FirstLineIndent=" + QString::number(points)); }
    void put_LeftIndent(float points) override { log_.record("LeftIndent=" + QString::number(points)); }

private:
    CallLog& log_;
};

class FakeBorders : public word::Borders {
public:
    explicit FakeBorders(CallLog& log) : log_(log) {}
    void put_OutsideLineStyle(int value) override { log_.record("Borders.Style=" + QString::number(value)); }
    void put_OutsideLineWidth(int value) override { log_.record("Borders.Width=" + QString::number(value)); }
    void put_OutsideColorIndex(int value) override { log_.record("Borders.Color=" + QString::number(value)); }

private:
    CallLog& log_;
};

class FakeRange : public word::Range {
public:
    explicit FakeRange(CallLog& log) : log_(log) {}
    ~FakeRange() override { log_.calls.append("release Range"); }
    long get_Start() override { log_.record("Range.Start"); return start_; }
    void put_Start(long position) override
    {
        log_.record("Range.Start=" + QString::number(position));
        start_ = position;
    }
    long get_End() override { log_.record("Range.End"); return end_; }
    void InsertAfter(const QString& text) override
    {
        log_.record("InsertAfter(" + text + ")");
        log_.inserted += text;
        end_ += long(text.size());
    }
    void Collapse(int direction) override
    {
        log_.record("Range.Collapse(" + QString::number(direction) + ")");
        start_ = end_;
    }
    void InsertBreak(int type) override
    {
        log_.record("Range.InsertBreak(" + QString::number(type) + ")");
        log_.inserted += QChar(u'\f');
        ++end_;
    }
    void Select() override { log_.record("Range.Select"); }
    word::FontRef get_Font() override { log_.record("Range.Font"); return std::make_shared<FakeFont>(log_); }
    word::ParagraphsRef get_Paragraphs() override
    {
        log_.record("Range.Paragraphs");
        return std::make_shared<FakeParagraphs>(log_);
    }
    word::ParagraphFormatRef get_ParagraphFormat() override
    {
        log_.record("Range.ParagraphFormat");
        return std::make_shared<FakeParagraphFormat>(log_);
    }
    word::BordersRef get_Borders() override
    {
        log_.record("Range.Borders");
        return std::make_shared<FakeBorders>(log_);
    }

private:
    CallLog& log_;
    long start_ = 0;
    long end_ = 0;
};

class FakeDocument : public word::Document {
public:
    explicit FakeDocument(CallLog& log) : log_(log) {}
    ~FakeDocument() override { log_.calls.append("release Document"); }
    word::RangeRef Range(long start, long end) override
    {
        log_.record(QStringLiteral("Document.Range(%1,%2)").arg(start).arg(end));
        return std::make_shared<FakeRange>(log_);
    }
    void Activate() override { log_.record("Document.Activate"); }
    void Select() override { log_.record("Document.Select"); }

private:
    CallLog& log_;
};

class FakeDocuments : public word::Documents {
public:
    explicit FakeDocuments(CallLog& log) : log_(log) {}
    word::DocumentRef Add() override
    {
        log_.record("Documents.Add");
        return std::make_shared<FakeDocument>(log_);
    }

private:
    CallLog& log_;
};

class FakeApplication : public word::Application {
public:
    FakeApplication(CallLog& log, QString name) : log_(log), name_(std::move(name)) {}
    ~FakeApplication() override { log_.calls.append("release Application " + name_); }
    word::DocumentsRef get_Documents() override
    {
        log_.record("Application.Documents " + name_);
        return std::make_shared<FakeDocuments>(log_);
    }
    void put_Visible(bool visible) override { log_.record(visible ? "Visible=True" : "Visible=False"); }
    void ScreenRefresh() override { log_.record("ScreenRefresh"); }
    void Activate() override { log_.record("Application.Activate"); }

private:
    CallLog& log_;
    QString name_;
};

class FakeGlobal : public word::Global {
public:
    explicit FakeGlobal(CallLog& log) : log_(log) {}
    float InchesToPoints(float inches) override
    {
        log_.record("InchesToPoints(" + QString::number(inches) + ")");
        return inches * 72.0f;
    }

private:
    CallLog& log_;
};

class FakeKeys : public word::KeySender {
public:
    explicit FakeKeys(CallLog& log) : log_(log) {}
    void BeginPhase() override { log_.record("BeginPhase"); }
    void SendKeys(const QString& keys, bool wait) override
    {
        log_.record("SendKeys(" + keys + (wait ? ",wait)" : ")"));
    }

private:
    CallLog& log_;
};

// Attaching works only when `running` is set; creating works unless `noWord`.
class FakeBackend : public word::Backend {
public:
    CallLog log;
    bool running = false;
    bool noWord = false;

    word::ApplicationRef GetObject(const QString& className) override
    {
        log.record("GetObject(" + className + ")");
        if (!running)
            throw RuntimeError::CannotCreateObject();
        return std::make_shared<FakeApplication>(log, "attached");
    }
    word::ApplicationRef CreateObject(const QString& className) override
    {
        log.record("CreateObject(" + className + ")");
        if (noWord)
            throw RuntimeError::CannotCreateObject();
        return std::make_shared<FakeApplication>(log, "created");
    }
    word::GlobalRef CreateGlobal() override
    {
        log.record("CreateGlobal");
        return std::make_shared<FakeGlobal>(log);
    }
    word::KeySender& Keys() override { return keys_; }

private:
    FakeKeys keys_{log};
};

} // namespace brevix::test
