#pragma once
// The automation interface over the built-in word-processor engine.

#include "engine/application.h"
#include "generator/automation.h"

#include <memory>
#include <vector>

namespace brevix::builtin {

class BuiltinBackend : public word::Backend {
public:
    BuiltinBackend();
    ~BuiltinBackend() override;

    // Attaches to the engine application already running in this process;
    // throws 429 when there is none.
    word::ApplicationRef GetObject(const QString& className) override;
    // Starts a new engine application.
    word::ApplicationRef CreateObject(const QString& className) override;
    word::GlobalRef CreateGlobal() override;
    // Keys go to the engine application in front (nowhere when none is shown).
    word::KeySender& Keys() override;

    // What the generators reached through this backend, for headless use and tests.
    const std::vector<std::shared_ptr<engine::Application>>& applications() const;
    std::shared_ptr<engine::Document> lastDocument() const; // the newest document added through it

    struct State; // shared with the automation objects, which may outlive the backend

private:
    std::shared_ptr<State> state_;
    std::unique_ptr<word::KeySender> keys_;
};

// The engine objects behind automation objects this backend handed out;
// throws 类型不匹配 for objects of another backend.
std::shared_ptr<engine::Document> EngineDocumentOf(word::Document& document);
std::shared_ptr<engine::Application> EngineApplicationOf(word::Application& application);
engine::Range& EngineRangeOf(word::Range& range);

} // namespace brevix::builtin
