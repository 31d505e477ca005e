#include "editions/headless.h"

#include "engine/application.h"
#include "engine/document.h"
#include "engine/docx.h"
#include "engine/window/pdfexport.h"
#include "builtin/builtin_backend.h"
#include "editions/wordprocessors.h"
#include "model/filename.h"
#include "model/issuefile.h"
#include "model/savefile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>
#include <optional>
#include <algorithm>
#include <set>
#include <vector>

namespace brevix {

namespace {

struct HeadlessOptions {
    QString issuePath;
    QString outputPath;
    OutputTexts texts;
    WordProcessorChoice wordProcessor = WordProcessorChoice::Builtin;
};

// A failure of the command: its one line for stderr and the exit code.
struct HeadlessFailure {
    QString message;
    int exitCode;
};

QString Usage(const QString& program)
{
    return program
        + QStringLiteral(" --typeset ISSUE.owd [--number TEXT] [--total TEXT] [--year TEXT] [--month TEXT] "
                         "[--day TEXT] [--word-processor %1] --output OUT.docx|OUT.pdf")
              .arg(WordProcessorNames());
}

HeadlessOptions ParseArguments(const QString& program, QStringList arguments)
{
    if (!arguments.isEmpty() && !arguments.first().startsWith(u'-'))
        arguments.removeFirst(); // the program name

    auto usageError = [&](const QString& what) {
        return HeadlessFailure{what + QStringLiteral(" (usage: ") + Usage(program) + QStringLiteral(")"), 2};
    };

    HeadlessOptions options;
    std::optional<QString> issue, output, wordProcessor;
    std::set<QString> seen;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString option = arguments[i];
        std::optional<QString> value;
        if (const qsizetype eq = option.indexOf(u'='); option.startsWith(u"--") && eq > 0) {
            value = option.mid(eq + 1);
            option.truncate(eq);
        }
        QString* target = nullptr;
        std::optional<QString>* required = nullptr;
        if (option == u"--typeset")
            required = &issue;
        else if (option == u"--output")
            required = &output;
        else if (option == u"--number")
            target = &options.texts.number;
        else if (option == u"--total")
            target = &options.texts.total;
        else if (option == u"--year")
            target = &options.texts.year;
        else if (option == u"--month")
            target = &options.texts.month;
        else if (option == u"--day")
            target = &options.texts.day;
        else if (option == u"--word-processor")
            required = &wordProcessor;
        else if (option.startsWith(u'-'))
            throw usageError(QStringLiteral("unknown option '%1'").arg(option));
        else
            throw usageError(QStringLiteral("unexpected argument '%1'").arg(option));

        if (!seen.insert(option).second)
            throw usageError(QStringLiteral("option '%1' given twice").arg(option));
        if (!value) {
            if (i + 1 >= arguments.size())
                throw usageError(QStringLiteral("option '%1' needs a value").arg(option));
            value = arguments[++i];
        }
        if (target)
            *target = *value;
        else
            *required = *value;
    }
    if (!issue || issue->isEmpty())
        throw usageError(QStringLiteral("no issue file given (--typeset)"));
    if (!output || output->isEmpty())
        throw usageError(QStringLiteral("no output file given (--output)"));
    // Writing the bulletin over its own issue file would lose the issue.
    if (IsSameFile(*issue, *output))
        throw usageError(QStringLiteral("the output '%1' is the issue file itself").arg(DisplayFileName(*output)));
    if (wordProcessor) {
        const auto choice = ParseWordProcessorChoice(*wordProcessor);
        if (!choice)
            throw usageError(QStringLiteral("unknown word processor '%1'").arg(*wordProcessor));
        options.wordProcessor = *choice;
    }
    options.issuePath = *issue;
    options.outputPath = *output;
    return options;
}

// The issue file loaded into an empty issue, as the load command does.
QVector<Article> LoadIssueFile(const QString& path)
{
    try {
        Issue issue;
        issue.AppendArticles(ReadIssue(*OpenFileForReading(path)));
        return issue.snapshot();
    } catch (const RuntimeError& error) {
        throw HeadlessFailure{
            QStringLiteral("cannot read the issue file '%1': %2").arg(DisplayFileName(path), error.description()), 1};
    }
}

// The formats the command writes, chosen by the output's suffix. A new
// format gets a value here, its suffix in FormatOf and its writer in
// WriteDocument.
enum class OutputFormat { Docx, Pdf };

OutputFormat FormatOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"docx")
        return OutputFormat::Docx;
    if (suffix == u"pdf")
        return OutputFormat::Pdf;
    throw HeadlessFailure{
        QStringLiteral("cannot write '%1': the output must be a .docx or .pdf file").arg(DisplayFileName(path)), 2};
}

// The applications the run started: the engine keeps applications in a
// process-wide list, so those running before are left alone.
std::vector<std::shared_ptr<engine::Application>> NewApplications(
    const std::vector<std::shared_ptr<engine::Application>>& before)
{
    std::vector<std::shared_ptr<engine::Application>> started;
    for (const auto& app : engine::Application::all())
        if (std::find(before.begin(), before.end(), app) == before.end())
            started.push_back(app);
    return started;
}

// Quits what the run started, also when it failed.
class StartedApplications {
public:
    StartedApplications() : before_(engine::Application::all()) {}
    ~StartedApplications()
    {
        for (const auto& app : NewApplications(before_))
            app->quit();
    }
    // The document the bulletin was typeset into: the newest document of
    // the applications the run started.
    std::shared_ptr<engine::Document> document() const
    {
        std::shared_ptr<engine::Document> found;
        for (const auto& app : NewApplications(before_))
            if (!app->documents().empty())
                found = app->documents().back();
        return found;
    }

private:
    std::vector<std::shared_ptr<engine::Application>> before_;
};

void WriteDocument(const engine::Document& document, OutputFormat format, QIODevice& out)
{
    switch (format) {
    case OutputFormat::Docx:
        engine::WriteDocx(document, out);
        return;
    case OutputFormat::Pdf:
        // The page layout the document window shows and exports.
        docwindow::ExportPdf(document, out);
        return;
    }
}

// Descriptions may hold CR LF; stderr gets one line.
QString OneLine(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}


HeadlessFailure TypesettingFailed(const RuntimeError& error)
{
    return HeadlessFailure{QStringLiteral("typesetting failed: ") + error.description(), 1};
}

QByteArray TypesetInEngine(const Edition& edition, const QVector<Article>& articles, const OutputTexts& texts,
                           OutputFormat format)
{
    const StartedApplications started;
    std::shared_ptr<engine::Document> document;
    try {
        builtin::BuiltinBackend backend;
        edition.outputIssueToWord(backend, articles, texts, YieldFn());
        document = started.document();
        if (!document)
            throw RuntimeError::CannotCreateObject();
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        WriteDocument(*document, format, buffer);
        return buffer.data();
    } catch (const RuntimeError& error) {
        throw TypesettingFailed(error);
    }
}

// In a word processor of its own, through its own export.
QByteArray TypesetIn(const HeadlessTypeset& wordProcessor, const Edition& edition, const QVector<Article>& articles,
                     const OutputTexts& texts, OutputFormat format)
{
    try {
        return wordProcessor(
            [&](word::Backend& backend) { edition.outputIssueToWord(backend, articles, texts, YieldFn()); },
            format == OutputFormat::Pdf ? QStringLiteral("pdf") : QStringLiteral("docx"));
    } catch (const RuntimeError& error) {
        throw TypesettingFailed(error);
    }
}
} // namespace

bool IsHeadlessInvocation(const QStringList& arguments)
{
    for (const QString& argument : arguments)
        if (argument == u"--typeset" || argument.startsWith(u"--typeset="))
            return true;
    return false;
}

int RunHeadless(const Edition& edition, const QStringList& arguments)
{
    const QString program = edition.programName.toLower();
    try {
        const HeadlessOptions options = ParseArguments(program, arguments);
        const OutputFormat format = FormatOf(options.outputPath);
        const QVector<Article> articles = LoadIssueFile(options.issuePath);

        // The bulletin is typeset once the output's temporary file exists, so an
        // unwritable output fails first; nothing appears at the path unless
        // the whole run succeeds.
        const HeadlessWordProcessor wordProcessor = ChooseHeadlessWordProcessor(options.wordProcessor);
        if (!wordProcessor.notice.isEmpty())
            QTextStream(stderr) << program << ": " << wordProcessor.notice << '\n';
        try {
            SaveFile(options.outputPath, [&](QIODevice& out) {
                const QByteArray bytes = wordProcessor.typeset
                    ? TypesetIn(wordProcessor.typeset, edition, articles, options.texts, format)
                    : TypesetInEngine(edition, articles, options.texts, format);
                if (out.write(bytes) != bytes.size())
                    throw RuntimeError::DeviceIO();
            });
        } catch (const RuntimeError& error) {
            throw HeadlessFailure{
                QStringLiteral("cannot write '%1': %2").arg(DisplayFileName(options.outputPath), error.description()), 1};
        }
        return 0;
    } catch (const HeadlessFailure& failure) {
        QTextStream(stderr) << program << ": " << OneLine(failure.message)
                            << '\n';
        return failure.exitCode;
    }
}

} // namespace brevix
