// Typesetting through LibreOffice Writer beside what Writer itself takes for
// the finished bulletin. Starts an office of its own (a private profile,
// ended however the benchmark ends; headless unless --visible, which needs a
// display), then prints:
//  - a bare UNO round trip (a cursor moved to the end), the floor of every call;
//  - per issue size (40 and 1000 articles by default), each run: the live run
//    in Writer up to the laid-out document, the UNO call groups it made (and
//    per article) and the time inside them, and in the same office the time
//    Writer takes to open the built-in engine's DOCX of the same issue, laid
//    out; their ratio;
//  - whole headless runs, office start included, each with a warmed profile
//    of its own: `brevix2003 --typeset ... --word-processor libreoffice`
//    beside `soffice --headless --convert-to docx` of the finished bulletin;
//  - last, the ratios: median and spread over the runs.
//
//   bench_writer [--sizes 40,1000] [--runs 3] [--visible] [--no-headless]

#include "bench/synthetic_issue.h"
#include "builtin/builtin_backend.h"
#include "editions/contacts.h"
#include "engine/application.h"
#include "engine/docx.h"
#include "generator/bulletin.h"
#include "libreoffice/private_office.h"
#include "libreoffice/writer_backend.h"
#include "model/issuefile.h"

#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/text/XPageCursor.hpp>
#include <com/sun/star/text/XTextViewCursorSupplier.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/view/XRenderable.hpp>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <map>

using namespace brevix;
using bench::SyntheticIssue;
using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;

namespace {

const OutputTexts Texts{"3", "45", "2026", "12", "7"};

// Pages of the document once Writer has laid all of it out, as for printing
// (one typeset without a window is laid out only when asked to).
int LaidOutPages(libreoffice::Office& office, const Reference<css::text::XTextDocument>& document)
{
    return office.Bounded([&] {
        const Reference<css::frame::XModel> model(document, UNO_QUERY_THROW);
        while (model->hasControllersLocked())
            model->unlockControllers();
        const Reference<css::text::XTextViewCursorSupplier> view(model->getCurrentController(), UNO_QUERY_THROW);
        Reference<css::text::XPageCursor>(view->getViewCursor(), UNO_QUERY_THROW)->jumpToLastPage();
        const Reference<css::view::XRenderable> renderable(document, UNO_QUERY_THROW);
        return static_cast<int>(renderable->getRendererCount(css::uno::Any(document), {}));
    });
}

// Writer opens a DOCX file and lays it out; the pages.
int OpenInWriter(libreoffice::Office& office, const QString& path, bool visible)
{
    const css::beans::PropertyValue hidden("Hidden", 0, css::uno::Any(!visible), css::beans::PropertyState_DIRECT_VALUE);
    const Reference<css::frame::XComponentLoader> loader(office.desktop(), UNO_QUERY_THROW);
    const Reference<css::text::XTextDocument> document(
        office.Bounded([&] {
            return loader->loadComponentFromURL(libreoffice::ToOU(QUrl::fromLocalFile(path).toString()), "_blank", 0,
                                                css::uno::Sequence<css::beans::PropertyValue>(&hidden, 1));
        }),
        UNO_QUERY_THROW);
    const int pages = LaidOutPages(office, document);
    office.Bounded([&] { Reference<css::util::XCloseable>(document, UNO_QUERY_THROW)->close(true); });
    return pages;
}

// A program run to its end (10 minutes at most); its seconds, or -1 when it failed.
double TimedRun(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    if (!process.waitForFinished(600000)) {
        process.kill();
        process.waitForFinished(10000);
        return -1;
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), process.readAllStandardError().constData());
        return -1;
    }
    return seconds;
}

struct Spread {
    std::vector<double> values;
    QString text() const
    {
        if (values.empty())
            return QStringLiteral("-");
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        return QStringLiteral("%1x (%2–%3)").arg(v[v.size() / 2], 0, 'f', 2).arg(v.front(), 0, 'f', 2).arg(v.back(), 0, 'f', 2);
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QList<int> sizes{40, 1000};
    int runs = 3;
    bool visible = false;
    bool headlessRuns = true;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--sizes" && i + 1 < args.size()) {
            sizes.clear();
            for (const QString& s : args[++i].split(','))
                sizes << s.toInt();
        } else if (args[i] == "--runs" && i + 1 < args.size()) {
            runs = std::max(1, args[++i].toInt());
        } else if (args[i] == "--visible") {
            visible = true;
        } else if (args[i] == "--no-headless") {
            headlessRuns = false;
        }
    }
    const QString soffice = libreoffice::InstalledOffice({});
    if (soffice.isEmpty()) {
        std::fprintf(stderr, "LibreOffice is not installed\n");
        return 1;
    }
    QTemporaryDir temp;
    libreoffice::PrivateOffice own(temp.filePath("offices"));
    libreoffice::OfficeOptions options = own.options();
    options.headless = !visible;
    std::shared_ptr<libreoffice::Office> office;

    // The finished bulletin of each size, as the built-in engine writes it.
    std::map<int, QString> finished;
    for (const int size : sizes) {
        builtin::BuiltinBackend engine;
        OutputIssueToWord(engine, SyntheticIssue(size), Texts, OfficeContacts(), YieldFn());
        finished[size] = temp.filePath(QStringLiteral("bulletin-%1.docx").arg(size));
        engine::SaveDocx(*engine.lastDocument(), finished[size]);
        for (const auto& a : engine::Application::all())
            a->quit();
    }

    QElapsedTimer clock;
    clock.start();
    {
        libreoffice::WriterBackend warmUp(options);
        OutputIssueToWord(warmUp, {}, Texts, OfficeContacts(), YieldFn());
        office = warmUp.office();
        std::printf("office started and an empty issue typeset: %.2f s\n", clock.elapsed() / 1000.0);
        const auto cursor = office->Bounded([&] { return warmUp.lastDocument()->getText()->createTextCursor(); });
        const int n = 2000;
        clock.restart();
        for (int i = 0; i < n; ++i)
            office->Bounded([&] { cursor->gotoEnd(false); });
        std::printf("bare UNO round trip: %.1f us\n", clock.nsecsElapsed() / 1000.0 / n);
        warmUp.CloseLastDocument();
    }

    std::map<int, Spread> liveRatios, headlessRatios;
    std::printf("%8s %4s %9s %7s %9s %9s %9s %9s %7s\n", "articles", "run", "live s", "pages", "groups", "per art.",
                "in UNO s", "open s", "ratio");
    for (const int size : sizes) {
        const QVector<Article> issue = SyntheticIssue(size);
        for (int run = 1; run <= runs; ++run) {
            libreoffice::WriterBackend writer(options);
            clock.restart();
            OutputIssueToWord(writer, issue, Texts, OfficeContacts(), YieldFn());
            const int pages = LaidOutPages(*office, writer.lastDocument());
            const double live = clock.nsecsElapsed() / 1e9;
            const auto stats = writer.unoCalls();
            writer.CloseLastDocument();

            clock.restart();
            const int openPages = OpenInWriter(*office, finished[size], visible);
            const double open = clock.nsecsElapsed() / 1e9;
            liveRatios[size].values.push_back(live / open);
            std::printf("%8d %4d %9.2f %3d/%-3d %9ld %9.1f %9.2f %9.2f %6.2fx\n", size, run, live, pages, openPages,
                        stats.groups, static_cast<double>(stats.groups) / std::max(1, size), stats.seconds, open,
                        live / open);
            std::fflush(stdout);
        }
    }
    own.End(office);

    if (headlessRuns) {
        // Each side's profile warmed by a first run, then timed turn about.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CACHE_HOME", temp.filePath("cache"));
        const QString profile = QUrl::fromLocalFile(temp.filePath("convert-profile")).toString();
        const QString converted = temp.filePath("converted");
        QDir().mkpath(converted);
        std::printf("%8s %4s %12s %12s %7s\n", "articles", "run", "brevix2003 s", "convert s", "ratio");
        for (const int size : sizes) {
            const QString issuePath = temp.filePath(QStringLiteral("issue-%1.owd").arg(size));
            {
                QFile file(issuePath);
                if (!file.open(QIODevice::WriteOnly))
                    return 1;
                WriteIssue(SyntheticIssue(size), file);
            }
            const QStringList typeset{"--typeset", issuePath, "--number", Texts.number, "--total",
                                      Texts.total, "--year", Texts.year, "--month", Texts.month, "--day",
                                      Texts.day, "--word-processor", "libreoffice", "--output",
                                      temp.filePath(QStringLiteral("writer-%1.docx").arg(size))};
            const QStringList convert{"-env:UserInstallation=" + profile, "--headless", "--norestore", "--convert-to",
                                      "docx", "--outdir", converted, finished[size]};
            for (int run = 0; run <= runs; ++run) {
                const double ours = TimedRun(BREVIX_PROGRAM, typeset, environment);
                const double theirs = TimedRun(soffice, convert, environment);
                if (ours < 0 || theirs < 0)
                    return 1;
                if (run == 0)
                    continue; // the warming run
                headlessRatios[size].values.push_back(ours / theirs);
                std::printf("%8d %4d %12.2f %12.2f %6.2fx\n", size, run, ours, theirs, ours / theirs);
                std::fflush(stdout);
            }
        }
    }

    QStringList last;
    for (const int size : sizes)
        last << QStringLiteral("%1 articles: live/open %2, headless/convert %3")
                    .arg(size).arg(liveRatios[size].text(), headlessRatios[size].text());
    std::printf("ratios (median, spread): %s\n", qPrintable(last.join(QStringLiteral("; "))));
    return 0;
}
