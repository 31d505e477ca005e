#pragma once
// A live word processor first, the built-in engine when none can be had at
// output time (CreateObject and GetObject answer 429). Keys go to the word
// processor that gave the last application.

#include "generator/automation.h"

#include <memory>

namespace brevix {

class FallbackBackend : public word::Backend, private word::KeySender {
public:
    FallbackBackend(std::unique_ptr<word::Backend> first, std::unique_ptr<word::Backend> second)
        : first_(std::move(first)), second_(std::move(second)), current_(first_.get()) {}

    word::ApplicationRef GetObject(const QString& className) override
    {
        return either([&](word::Backend& b) { return b.GetObject(className); });
    }
    word::ApplicationRef CreateObject(const QString& className) override
    {
        return either([&](word::Backend& b) { return b.CreateObject(className); });
    }
    word::GlobalRef CreateGlobal() override { return current_->CreateGlobal(); }
    word::KeySender& Keys() override { return *this; }

private:
    template <typename F> word::ApplicationRef either(F&& f)
    {
        try {
            auto app = f(*first_);
            current_ = first_.get();
            return app;
        } catch (const RuntimeError& error) {
            if (error.number() != RuntimeError::CannotCreateObject().number())
                throw;
        }
        auto app = f(*second_);
        current_ = second_.get();
        return app;
    }
    void BeginPhase() override { current_->Keys().BeginPhase(); }
    void SendKeys(const QString& keys, bool wait) override { current_->Keys().SendKeys(keys, wait); }

    std::unique_ptr<word::Backend> first_;
    std::unique_ptr<word::Backend> second_;
    word::Backend* current_;
};

} // namespace brevix
