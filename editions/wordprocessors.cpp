#include "editions/wordprocessors.h"

#include "builtin/builtin_backend.h"
#include "libreoffice/private_office.h"
#include "libreoffice/writer_backend.h"

#include <QCoreApplication>
#include <QTextStream>

namespace brevix {

namespace {

// Writer first; the engine when no office can be obtained. Keys go to the
// word processor that gave the last application.
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

} // namespace

std::optional<WordProcessorChoice> ParseWordProcessorChoice(const QString& text)
{
    if (text == u"builtin")
        return WordProcessorChoice::Builtin;
    if (text == u"libreoffice")
        return WordProcessorChoice::LibreOffice;
    if (text == u"auto")
        return WordProcessorChoice::Auto;
    return std::nullopt;
}

bool LibreOfficeInstalled()
{
    if (libreoffice::InstalledOffice({}).isEmpty())
        return false;
    try {
        libreoffice::LocalContext();
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

ChosenWordProcessor ChooseWordProcessor(WordProcessorChoice choice)
{
    ChosenWordProcessor chosen;
    if (choice != WordProcessorChoice::Builtin && LibreOfficeInstalled()) {
        libreoffice::OfficeOptions options;
        options.notice = [](const QString& text) {
            QTextStream(stderr) << QCoreApplication::applicationName().toLower() << ": " << text << '\n';
        };
        chosen.backend = std::make_unique<FallbackBackend>(std::make_unique<libreoffice::WriterBackend>(options),
                                                           std::make_unique<builtin::BuiltinBackend>());
        chosen.writer = true;
        return chosen;
    }
    if (choice == WordProcessorChoice::LibreOffice)
        chosen.notice = QStringLiteral("LibreOffice Writer is not installed (package libreoffice-writer); "
                                       "the built-in word processor typesets instead.");
    chosen.backend = std::make_unique<builtin::BuiltinBackend>();
    return chosen;
}

// In an office of the run's own, ended however the run ends.
QByteArray TypesetHeadlessInWriter(const std::function<void(word::Backend&)>& typeset, const QString& format)
{
    libreoffice::PrivateOffice own;
    libreoffice::WriterBackend backend(own.options());
    try {
        typeset(backend);
        QByteArray bytes = backend.ExportLastDocument(format);
        backend.CloseLastDocument();
        own.End(backend.office());
        return bytes;
    } catch (const RuntimeError&) {
        backend.CloseLastDocument();
        own.End(backend.office());
        throw;
    }
}

} // namespace brevix
