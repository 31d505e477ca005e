#pragma once
// Nothing typed is lost: while a composer runs, what it would lose if it
// ended now is kept in a recovery file of its own, "EDITION-ID.json" in the
// recovery folder, with a lock beside it ("EDITION-ID.lock", pid and host)
// held for as long as the composer runs. A file whose lock is free or stale
// belongs to a composer that no longer runs: the next start offers it back.
//
// The file is written a moment after a change, from a snapshot, by a thread
// of its own through SaveFile: the window never waits for the disk, and a
// crash or a power cut mid-write leaves the previous file whole.

#include "ui/form1.h"

#include <QElapsedTimer>
#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class QThread;

namespace brevix {

// <the user's application data folder>/recovery
QString RecoveryFolder();

class Recovery : public QObject {
    Q_OBJECT
public:
    // Takes a new recovery file in `folder` (made, private to the user, when
    // missing) for the form's edition. Nothing is written before a change.
    Recovery(Form1& form, const QString& folder);
    // An end without 退出 (the window closed, the session ended): the last
    // change is written first, so the next start offers it.
    ~Recovery() override;

    // Asks "发现未保存的期刊，是否恢复？" about each recovery file this
    // edition left in the folder, newest first: 是 loads it into the form and
    // makes it this composer's own, 否 deletes it. A damaged one is reported
    // in one box and moved aside ("….damaged"), never loaded in part.
    void OfferLeftOver();

    QString fileName() const { return stem_ + QStringLiteral(".json"); }
    // A change not yet written, or a write under way.
    bool busy() const;

signals:
    // A write (or a removal) has ended, whether or not it succeeded.
    void written();

private:
    struct Outcome;

    void noteChange();
    void writeNow();
    void finishWrite(const Outcome& outcome);
    void waitForWrite();
    void discard();
    void adopt(std::unique_ptr<QLockFile> lock, const QString& stem);
    bool nothingUnsaved(const UnsavedWork& work) const;

    QPointer<Form1> form_;
    QString folder_;
    QString stem_; // path of this composer's files, without the extension
    std::unique_ptr<QLockFile> lock_;
    QTimer delay_;
    std::unique_ptr<QThread> writing_;
    bool again_ = false;         // a change came while writing
    bool articlesSaved_ = true;  // the issue is what a file holds (an empty one counts)
    bool ended_ = false;         // after 退出: nothing more is written
    bool failureShown_ = false;  // until a write succeeds again
    qint64 lastWriteMs_ = 0;
};

} // namespace brevix
