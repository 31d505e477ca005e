#pragma once
// Font, Paragraphs, ParagraphFormat and Borders of a range of an engine
// document, for backends built on the engine (its own window, or the copy a
// live office is kept equal to). Each setting is checked as the word
// processor checks it, applied to the range, and reported to the backend.

#include "engine/document.h"
#include "builtin/automation_values.h"

#include <functional>
#include <memory>

namespace brevix::word {

class EngineRangeFormat : public Font, public Paragraphs, public ParagraphFormat, public Borders {
public:
    enum class Changed { Characters, Paragraphs, Border };
    struct Hooks {
        std::function<void()> check;              // before: throws when the document is gone
        std::function<void(Changed)> changed = {}; // after a setting took
    };
    EngineRangeFormat(std::shared_ptr<engine::Range> range, Hooks hooks)
        : range_(std::move(range)), hooks_(std::move(hooks)) {}

    void put_Name(const QString& name) override { chars([&] { range_->setFontName(name); }); }
    void put_Size(float points) override { chars([&] { range_->setFontSize(points); }); }
    void put_Bold(int value) override { chars([&] { range_->setBold(BoolArgument(value)); }); }
    void put_ColorIndex(int value) override { chars([&] { range_->setColorIndex(value); }); }
    void put_Underline(int value) override { chars([&] { range_->setUnderline(value); }); }

    void put_Alignment(int value) override
    {
        paras([&] {
            if (value < wdAlignParagraphLeft || value > wdAlignParagraphJustify)
                throw engine::ValueOutOfRange();
            range_->setAlignment(static_cast<engine::Alignment>(value));
        });
    }
    void put_LineSpacingRule(int value) override
    {
        paras([&] {
            if (value < 0 || value > 5)
                throw engine::ValueOutOfRange();
            range_->setLineSpacingRule(static_cast<engine::LineSpacingRule>(value));
        });
    }
    void put_LineSpacing(float points) override { paras([&] { range_->setLineSpacing(points); }); }
    void put_FirstLineIndent(float points) override { paras([&] { range_->setFirstLineIndent(points); }); }
    void put_LeftIndent(float points) override { paras([&] { range_->setLeftIndent(points); }); }

    // Text border or paragraph border: the engine decides by the range.
    void put_OutsideLineStyle(int value) override { set(Changed::Border, [&] { range_->setBorderStyle(value); }); }
    void put_OutsideLineWidth(int value) override { set(Changed::Border, [&] { range_->setBorderWidth(value); }); }
    void put_OutsideColorIndex(int value) override { set(Changed::Border, [&] { range_->setBorderColorIndex(value); }); }

private:
    template <typename F> void set(Changed what, F&& apply)
    {
        hooks_.check();
        apply();
        if (hooks_.changed)
            hooks_.changed(what);
    }
    template <typename F> void chars(F&& apply) { set(Changed::Characters, apply); }
    template <typename F> void paras(F&& apply) { set(Changed::Paragraphs, apply); }

    std::shared_ptr<engine::Range> range_;
    Hooks hooks_;
};

} // namespace brevix::word
