#pragma once
// The working range and the step groups both editions' bulletins are typeset
// from. Every Word operation is one step; what happens when a step fails is
// the run's error policy:
//  - ResumeNext (the current edition): the step is skipped and the next one
//    runs. A skipped step is never taken for success, though: when the word
//    processor cannot be obtained, or after a failure it no longer answers at
//    all, the run ends by throwing that failure.
//  - StopAtFirstFailure (the earlier edition): the first failure is thrown.
// In both cases the references are released (range, document, application)
// when the run ends, normally or not.

#include "generator/automation.h"
#include "generator/output_texts.h"
#include "model/errors.h"
#include "model/issue.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

namespace brevix {

enum class ErrorPolicy { ResumeNext, StopAtFirstFailure };
enum class EntryForm { Titled, Bulleted };

// How a section prints an article's body: its font, and the body line
// (which ends with its own CR).
struct BodyStyle {
    QString font;
    std::function<QString(const Article&)> line;
};

class BulletinSteps {
public:
    BulletinSteps(word::Backend& backend, ErrorPolicy policy, YieldFn yield);
    ~BulletinSteps();
    BulletinSteps(const BulletinSteps&) = delete;
    BulletinSteps& operator=(const BulletinSteps&) = delete;

    // Obtaining the word processor and the working range.
    void AttachThenCreate(); // GetObject, then CreateObject, whose result wins
    void Create();           // CreateObject only
    void StartDocument();    // Documents.Add, Range(0, 0), centred
    void Release();          // working range, document, application, in this order

    // Single operations on the working range (each one step).
    void Append(const QString& text);
    void AppendEach(const QString& ch, int count); // one append per character
    void Collapse();
    void FontName(const QString& name);
    void FontSize(float points);
    void Font(const QString& name, float points); // name, then size
    void HeadingFont();
    void TitleFont();
    void FontBold();
    void FontColor(int colorIndex);
    void FontUnderline(int underline);
    void Align(int alignment);
    void ExactSpacing(float points); // rule, then value
    void HangingIndent();            // -0.3 inch first line, 0.3 inch left
    void Border();                   // double, violet, 0.5 pt
    void SelectRange();
    void PageBreak();                // collapse to the end, then the break
    void Refresh();
    void Yield();
    void ShowDocument(); // document Activate, application Visible = True
    void ActivateApplication();
    void SelectDocument();
    void SendKeys(const QString& keys); // with wait
    void BeginKeys();

    // Step groups.
    void Masthead(const OutputTexts& texts);
    void ContentsHeading(const QString& heading); // ends with the document shown
    void GroupHeading(const QString& group);
    void ContentsEntry(const QString& text);
    // Entries of the titles whose category is the group, each article then
    // spaced 18 and refreshed (and yielded after, when asked).
    void ContentsScan(const QVector<Article>& articles, const QString& group, bool yieldEach);
    void SectionHeading(const QString& heading);
    void SubsectionHeading(const QString& heading);
    void TitledEntry(const Article& article, const BodyStyle& body);
    void BulletedEntry(const Article& article, const BodyStyle& body);
    void CategoryScan(const QVector<Article>& articles, const QString& category, EntryForm form,
                      const BodyStyle& body);
    void ClosingBlock(const QStringList& lines);

    // Removes leading and trailing U+0020 only.
    static QString TrimSpaces(const QString& text);
    // 80 - 3L dashes for a text of L units in 16-bit arithmetic; throws
    // 溢出 where that arithmetic overflows (L of 10 920 or more).
    static int FillCount(qsizetype length);

private:
    template <typename F> void step(F&& f);
    template <typename F> void local(F&& f);
    void failed(const RuntimeError& error);
    bool stillAnswering();

    word::Application& app();
    word::Document& doc();
    word::Range& range();
    word::Global& global();

    word::Backend& backend_;
    ErrorPolicy policy_;
    YieldFn yield_;
    word::ApplicationRef app_;
    word::DocumentRef doc_;
    word::RangeRef range_;
    word::GlobalRef global_;
    int consecutiveFailures_ = 0;
    // No bulletin step group fails this many Word calls in a row on a word
    // processor that still works.
    static constexpr int GiveUpAfter = 100;
};

} // namespace brevix
