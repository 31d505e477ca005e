// What POSIX alone has: file names that are bytes, and files with owners,
// modes, links, devices and FIFOs for a save to keep or refuse. Windows
// names are UTF-16.

#include "model/errors.h"
#include "model/filename.h"
#include "model/issuefile.h"
#include "model/savefile.h"
#include "model/tests/files.h"
#include "engine/tests/golden.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <grp.h>
#include <optional>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace brevix;

namespace {

using faults::FileBytes;
using faults::FilesIn;
using faults::WriteFile;
const auto written = faults::IssueBytes;

// What is at path: a link, its owner and what it leads to; a regular file's
// bytes (the old ones, the saved ones or others), mode and owner; other
// kinds by name, mode and owner.
QString Describe(const QString& path, const QByteArray& old, const QByteArray& saved)
{
    struct stat st {};
    if (lstat(QFile::encodeName(path).constData(), &st) != 0)
        return "missing";
    const passwd* user = getpwuid(st.st_uid);
    const QString owner = user ? user->pw_name : QString::number(st.st_uid);
    const group* group = getgrgid(st.st_gid);
    const QString ownerAndGroup = owner + ':' + (group ? group->gr_name : QString::number(st.st_gid));
    const QString modeAndOwner = QString("%1 %2").arg(st.st_mode & 07777, 4, 8, QChar(u'0')).arg(ownerAndGroup);
    if (S_ISLNK(st.st_mode)) {
        char target[4096];
        const ssize_t n = readlink(QFile::encodeName(path).constData(), target, sizeof target);
        const QString name = QFile::decodeName(QByteArray(target, n < 0 ? 0 : n));
        return QString("link to %1 %2, %3").arg(name, ownerAndGroup, Describe(QFileInfo(path).dir().filePath(name), old, saved));
    }
    if (S_ISREG(st.st_mode)) {
        const QByteArray bytes = FileBytes(path);
        return QString("%1 %2").arg(bytes == old ? "the old file" : bytes == saved ? "saved" : "other bytes", modeAndOwner);
    }
    if (S_ISCHR(st.st_mode))
        return QString("character device %1,%2 %3").arg(major(st.st_rdev)).arg(minor(st.st_rdev)).arg(modeAndOwner);
    return QString("%1 %2").arg(S_ISFIFO(st.st_mode) ? "fifo" : S_ISDIR(st.st_mode) ? "folder" : "other", modeAndOwner);
}

const Article sample{QStringLiteral("简讯"), QString(), QStringLiteral("第一行\r\n第二行"), QStringLiteral("企业纵横")};

} // namespace

class TestPosixNames : public QObject {
    Q_OBJECT

private slots:
    // Rows of data/posix_saves.txt: articles saved, with a file-size limit,
    // as nobody, in a locked, open or sticky folder, over a file of some mode
    // and owner, through a link, over a device, FIFO or folder, killed on the
    // way, beside old temporary files → the box shown, what the target is
    // after (the old file byte for byte, the saved one or other bytes; its
    // type, mode and owner), and what the folder holds (what every platform
    // has, a full disk and a locked folder, is in failed_saves.txt). A save replaces only
    // a regular file, and as a whole: every failure is reported and leaves
    // the old target as it was with nothing beside it. Small issues fail
    // when the bytes are flushed, large ones while written; folders that
    // refuse a temporary file, and files whose owner the new one could not
    // take, are rewritten in place. Without /proc the temporary file has a
    // name, which a killed run leaves for a later save to remove.
    void savesReplaceOnlyAWholeRegularFile()
    {
        if (geteuid() != 0)
            QSKIP("files of other owners, devices and a folder without /proc need root");
        const auto restoreMask = qScopeGuard([mask = umask(022)] { umask(mask); }); // new files 0644
        BREVIX_COMPARE_TRANSCRIPT("posix_saves.txt", [](const QString& row) {
            const int sizeLimit = row.section("limit ", 1).section(u',', 0, 0).toInt(); // 0: none
            const bool killed = row.contains("killed"), noProc = row.contains("without /proc");
            QTemporaryDir here;
            const auto at = [&](const QString& name) { return QFile::encodeName(here.filePath(name)); };
            const QByteArray old = written({sample, sample});

            // What the save is aimed at: keep.owd, or what the link keep.owd leads to.
            const bool link = row.contains("through");
            const QString file = !link ? "keep.owd" : row.contains("device") ? "null" : row.contains("dangling") ? "new.owd" : "real.owd";
            if (row.contains("character device"))
                mknod(at(file), S_IFCHR | 0644, makedev(1, 3));
            else if (row.contains("fifo"))
                mkfifo(at(file), 0644);
            else if (row.contains("over a folder"))
                mkdir(at(file), 0755);
            else if (!row.contains("dangling")) {
                WriteFile(here.filePath(file), old);
                const auto mode = QRegularExpression("\\b0[0-7]{3}\\b").match(row);
                chmod(at(file), mode.hasMatch() ? mode.captured().toUInt(nullptr, 8) : 0644);
                const bool nobodys = row.contains("nobody's 0");
                chown(at(file), nobodys ? faults::Nobody : 0, row.contains("group users") ? faults::Users : nobodys ? faults::NoGroup : 0);
            }
            if (link) {
                symlink(QFile::encodeName(file).constData(), at("keep.owd"));
                if (row.contains("nobody's link"))
                    lchown(at("keep.owd"), faults::Nobody, faults::NoGroup);
            }
            // Ours from a killed run, one a save is writing, and nobody's, all from two minutes ago.
            const QStringList planted = row.contains("old temporary files")
                ? QStringList{".brevix-save-stale1", ".brevix-save-inuse1", ".brevix-save-nobody"} : QStringList{};
            int inUse = -1;
            for (const QString& name : planted) {
                WriteFile(here.filePath(name), "half");
                if (name.endsWith("nobody"))
                    chown(at(name), faults::Nobody, faults::NoGroup);
                if (name.endsWith("inuse1"))
                    flock(inUse = open(at(name), O_RDONLY | O_CLOEXEC), LOCK_EX);
                const timespec times[2] = {{time(nullptr) - 120, 0}, {time(nullptr) - 120, 0}};
                utimensat(AT_FDCWD, at(name), times, AT_SYMLINK_NOFOLLOW);
            }
            const mode_t folderMode = row.contains("locked folder") ? 0555 : row.contains("open folder") ? 0777
                                    : row.contains("sticky folder") ? 01777 : 0755;
            chmod(QFile::encodeName(here.path()).constData(), folderMode);

            Issue issue;
            issue.AppendArticles(QVector<Article>(row.section(u' ', 0, 0).toInt(), sample));
            const QString path = noProc ? "/keep.owd" : here.filePath("keep.owd");
            const auto save = [&] {
                ScriptedDialogs dialogs;
                std::optional<faults::FileSizeLimit> limit;
                if (sizeLimit > 0)
                    limit.emplace(sizeLimit);
                if (killed)
                    SaveFile(path, [&](QIODevice& device) { WriteIssue(issue.snapshot(), device); kill(getpid(), SIGKILL); });
                else
                    SaveIssue(issue, path, dialogs);
                // A refused target costs no typesetting: saved again, the writer is never called.
                bool typeset = false;
                if (!dialogs.lastText().isEmpty() && sizeLimit == 0)
                    faults::ErrorOf([&] { SaveFile(path, [&](QIODevice&) { typeset = true; }); });
                return dialogs.lastText().toUtf8() + (typeset ? " after typesetting" : "");
            };
            const auto enter = [&] { return !noProc || (chroot(QFile::encodeName(here.path()).constData()) == 0 && chdir("/") == 0); };
            const QString shown = QString::fromUtf8(row.contains("as nobody") ? faults::Unprivileged(save)
                                                    : killed || noProc ? faults::InChild(enter, save) : save());
            if (inUse >= 0)
                close(inUse);

            QStringList files = FilesIn(here.path());
            for (QString& name : files)
                if (name.startsWith(".brevix-save-") && !planted.contains(name))
                    name = ".brevix-save-XXXXXX"; // a random name
            return QString("%1; %2; %3").arg(shown.isEmpty() ? "no box" : shown,
                                              Describe(here.filePath("keep.owd"), old, written(issue.snapshot())), files.join(u' '));
        });
    }

    // Any name the file system takes: bytes that are not UTF-8, in the
    // folder and in the file name, saved, asked about and loaded again; and
    // the name a Qt dialog shows for it leads back to it.
    void namesThatAreNotUtf8()
    {
        QTemporaryDir here;
        const QByteArray folder = QFile::encodeName(here.path()) + "/d\xe9j\xe0";
        QCOMPARE(mkdir(folder.constData(), 0755), 0);
        const QByteArray file = folder + "/\xb1\xa8\xb8\xe6\xff.owd"; // GBK bytes and a stray one
        const QString name = FileNameFromBytes(file);
        QCOMPARE(FileNameToBytes(name), file);

        Issue issue;
        issue.AddArticle(QStringLiteral("标题"), {}, QStringLiteral("正文"), QStringLiteral("宏观动向"));
        ScriptedDialogs dialogs;
        SaveIssue(issue, name, dialogs);
        struct stat st {};
        QCOMPARE(stat(file.constData(), &st), 0);
        const mode_t mask = umask(0);
        umask(mask);
        QCOMPARE(st.st_mode & 0777, 0666 & ~mask); // a new file as any program makes it
        dialogs.answers = {Answer::No};
        QVERIFY(!ConfirmOverwrite(name, dialogs));
        LoadIssue(issue, name, dialogs);
        QCOMPARE(dialogs.shown.size(), 1); // only the question
        QVERIFY(dialogs.shown[0].text.contains(QStringLiteral("\ufffd.owd")));
        QCOMPARE(issue.Titles(), (QStringList{QStringLiteral("标题"), QStringLiteral("标题")}));
        QCOMPARE(ResolveLostFileName(QFile::decodeName(file)), name);
        QCOMPARE(unlink(file.constData()), 0); // Qt could not remove it
        QCOMPARE(rmdir(folder.constData()), 0);

        // Every byte string comes back whole.
        QRandomGenerator random(7);
        for (int k = 0; k < 2000; ++k) {
            QByteArray bytes(1 + k % 9, Qt::Uninitialized);
            for (char& b : bytes)
                b = char(1 + random.bounded(255));
            QCOMPARE(FileNameToBytes(FileNameFromBytes(bytes)), bytes);
        }
    }
};

QTEST_GUILESS_MAIN(TestPosixNames)
#include "test_model_posix.moc"
