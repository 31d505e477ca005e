#pragma once
// Running a generator against the built-in engine and reading back the
// document it typeset, for the bulletin tests of both editions.

#include "engine/application.h"
#include "engine/document.h"
#include "generator/builtin_backend.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace brevix::test {

// Runs `generate` on a fresh built-in backend and returns the document it
// made (nullptr when none). The engine applications it started are quit on
// destruction so tests do not attach to each other's.
class EngineRun {
public:
    explicit EngineRun(const std::function<void(word::Backend&)>& generate)
    {
        builtin::BuiltinBackend backend;
        try {
            generate(backend);
        } catch (...) {
            keep(backend);
            throw;
        }
        keep(backend);
    }
    ~EngineRun()
    {
        for (const auto& app : apps_)
            if (!app->hasQuit())
                app->quit();
    }
    EngineRun(const EngineRun&) = delete;
    EngineRun& operator=(const EngineRun&) = delete;

    engine::Document& doc() const { return *doc_; }
    engine::Application& app() const { return *apps_.back(); }

    QStringList paragraphs() const
    {
        QStringList list;
        for (int i = 0; i < doc_->paragraphCount(); ++i) {
            const engine::ParagraphInfo p = doc_->paragraph(i);
            list << doc_->text(p.start, p.markPosition);
        }
        return list;
    }
    // Index of the first paragraph, from `from` on, whose text is `text`.
    int find(const QString& text, int from = 0) const
    {
        const QStringList list = paragraphs();
        return int(list.indexOf(text, from));
    }
    const engine::ParaFormat& para(int index) const { return doc_->paraFormat(index); }
    // Character format of the first character of a paragraph (its mark when empty).
    const engine::CharFormat& charOf(int paragraph, int offset = 0) const
    {
        return doc_->charFormatAt(doc_->paragraph(paragraph).start + offset);
    }
    const engine::CharFormat& markOf(int paragraph) const
    {
        return doc_->charFormatAt(doc_->paragraph(paragraph).markPosition);
    }

private:
    void keep(builtin::BuiltinBackend& backend)
    {
        apps_ = backend.applications();
        doc_ = backend.lastDocument();
    }
    std::vector<std::shared_ptr<engine::Application>> apps_;
    std::shared_ptr<engine::Document> doc_;
};

} // namespace brevix::test
