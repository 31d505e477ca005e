// Typesetting through LibreOffice Writer against the built-in engine. Starts
// an office of its own (private profile; headless unless --visible, which
// needs a display), then prints:
//  - a bare UNO round trip (a cursor moved to the end), the floor of every call;
//  - per issue size (40 and 1000 articles by default): the whole run in
//    Writer, the time inside the UNO calls the backend made and what the
//    backend added on top, and the same issue in the built-in engine.
//
//   bench_writer [--sizes 40,1000] [--visible]

#include "builtin/builtin_backend.h"
#include "editions/contacts.h"
#include "engine/application.h"
#include "generator/bulletin.h"
#include "libreoffice/writer_backend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdio>

using namespace brevix;

namespace {

QVector<Article> SyntheticIssue(int count)
{
    const QString pool = QStringLiteral("经济发展市场企业行业政策改革投资增长生产销售产品技术创新管理服务质量价格需求供应");
    const QStringList categories{QStringLiteral("宏观动向"), QStringLiteral("企业纵横"), QStringLiteral("市场动态"),
                                 QStringLiteral("综合报道"), QStringLiteral("综信采撷")};
    QRandomGenerator rng(7u + static_cast<quint32>(count));
    auto text = [&](int length) {
        QString s;
        for (int i = 0; i < length; ++i)
            s += pool[rng.bounded(static_cast<int>(pool.size()))] + QString(i % 97 == 96 ? "。\r\n" : "");
        return s;
    };
    QVector<Article> articles;
    for (int i = 0; i < count; ++i)
        articles.append({text(12), text(4), text(300), categories[i % categories.size()]});
    return articles;
}

const OutputTexts Texts{"3", "45", "2026", "12", "7"};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QList<int> sizes{40, 1000};
    bool visible = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--sizes" && i + 1 < args.size()) {
            sizes.clear();
            for (const QString& s : args[++i].split(','))
                sizes << s.toInt();
        } else if (args[i] == "--visible") {
            visible = true;
        }
    }
    if (libreoffice::InstalledOffice({}).isEmpty()) {
        std::fprintf(stderr, "LibreOffice is not installed\n");
        return 1;
    }
    QTemporaryDir profile;
    libreoffice::OfficeOptions options;
    options.profileUrl = QUrl::fromLocalFile(profile.filePath("profile")).toString();
    options.pipeName = "brevix-bench-" + QString::number(QCoreApplication::applicationPid());
    options.headless = !visible;

    QElapsedTimer clock;
    clock.start();
    {
        libreoffice::WriterBackend warmUp(options);
        OutputIssueToWord(warmUp, {}, Texts, OfficeContacts(), YieldFn());
        std::printf("office started and an empty issue typeset: %.2f s\n", clock.elapsed() / 1000.0);
        const auto doc = warmUp.lastDocument();
        const auto cursor = doc->getText()->createTextCursor();
        const int n = 2000;
        clock.restart();
        for (int i = 0; i < n; ++i)
            cursor->gotoEnd(false);
        std::printf("bare UNO round trip: %.1f us\n", clock.nsecsElapsed() / 1000.0 / n);
        warmUp.CloseLastDocument();
    }

    std::printf("%8s %12s %12s %12s %10s %12s\n", "articles", "writer s", "in UNO s", "backend %", "groups", "engine s");
    for (const int size : sizes) {
        const QVector<Article> issue = SyntheticIssue(size);
        libreoffice::WriterBackend writer(options);
        clock.restart();
        OutputIssueToWord(writer, issue, Texts, OfficeContacts(), YieldFn());
        const double writerSeconds = clock.nsecsElapsed() / 1e9;
        const auto stats = writer.unoCalls();
        writer.CloseLastDocument();

        builtin::BuiltinBackend engine;
        clock.restart();
        OutputIssueToWord(engine, issue, Texts, OfficeContacts(), YieldFn());
        const double engineSeconds = clock.nsecsElapsed() / 1e9;
        for (const auto& a : engine::Application::all())
            a->quit();
        std::printf("%8d %12.2f %12.2f %12.1f %10ld %12.3f\n", size, writerSeconds, stats.seconds,
                    100.0 * (writerSeconds - stats.seconds) / stats.seconds, stats.groups, engineSeconds);
    }
    QProcess::execute("pkill", {"-f", profile.path()});
    return 0;
}
