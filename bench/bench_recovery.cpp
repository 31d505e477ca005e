// Writes the recovery file of a 40-article issue and of the largest one
// (32767 articles of Chinese text), then lets a composer keep the largest
// while its window's thread ticks every millisecond: the longest gap between
// ticks is the longest the window is kept from its events.

#include "bench/synthetic_issue.h"
#include "builtin/builtin_backend.h"
#include "model/recoveryfile.h"
#include "model/savefile.h"
#include "ui/form1.h"
#include "ui/recovery.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace brevix;
using bench::BestOfMs;
using bench::ShortArticles;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QVector<Article> articles = ShortArticles(MaxArticles);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("work.json"));
    const int runs = 5;

    std::printf("recovery file, written through SaveFile (synced) and read back, best of %d runs\n", runs);
    for (const int n : {40, MaxArticles}) {
        const UnsavedWork work{articles.mid(0, n), {}, -1};
        const double write = BestOfMs(runs, [&] { SaveFile(path, [&](QIODevice& d) { WriteRecoveryFile(work, d); }); });
        const double read = BestOfMs(runs, [&] { ReadRecoveryFile(*OpenFileForReading(path)); });
        std::printf("  %5d articles  %6.2f MB  write %7.1f ms  read %7.1f ms\n", n, QFileInfo(path).size() / 1e6, write,
                    read);
    }

    ScriptedDialogs dialogs;
    builtin::BuiltinBackend backend;
    Form1 form(Brevix2003Edition(), dialogs, backend);
    form.show();
    Recovery recovery(form, dir.filePath(QStringLiteral("recovery")));
    form.issue().AppendArticles(articles);
    const double snapshot = BestOfMs(runs, [&] { form.work(); });

    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    QEventLoop loop;
    QObject::connect(&recovery, &Recovery::written, &loop, &QEventLoop::quit);
    const auto writeAfterChange = [&] {
        QElapsedTimer took;
        took.start();
        loop.exec(); // the change's delay, then the write
        return took.nsecsElapsed() / 1e6;
    };
    writeAfterChange(); // the articles just added
    double slowest = 0;
    for (int round = 0; round < runs; ++round) {
        form.entry().txtTitle->insert(QStringLiteral("字")); // a keystroke
        tick.start(1);
        last = clock.nsecsElapsed();
        slowest = std::max(slowest, writeAfterChange());
        tick.stop();
    }
    if (!dialogs.shown.isEmpty())
        std::fprintf(stderr, "unexpected box: %s\n", qPrintable(dialogs.lastText()));
    std::printf("a composer keeping %d articles, %d keystrokes each written in turn:\n", MaxArticles, runs);
    std::printf("  snapshot on the window's thread  %6.1f ms (best)\n", snapshot);
    std::printf("  keystroke to file written        %6.0f ms (slowest; %s)\n", slowest,
                "the delay after a change, then the write on its own thread");
    std::printf("  longest the window was blocked   %6.1f ms\n", longest / 1e6);
    return 0;
}
