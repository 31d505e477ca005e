#pragma once
// An office of our own for a run without windows: its own profile and its
// own pipe, so that nothing of the editor's (their profile, their running
// office) is used, and ended when the run ends, however the run ends.
//
// Each run works in a folder of its own under the user's cache. A guardian
// process ends the office and removes the folder as soon as this process
// ends, even on kill -9; a folder left anyway (the guardian killed too) is
// found by the next run, whose lock on it is free, and cleaned up the same
// way. A profile an office has once filled is kept beside the run folders
// and copied into each new run: a new profile costs the office a restart.

#include "libreoffice/office.h"

#include <QString>
#include <memory>
#include <sys/types.h>

namespace brevix::libreoffice {

class PrivateOffice {
public:
    // root: the folder of our offices (DefaultRoot() for the programs).
    explicit PrivateOffice(const QString& root = DefaultRoot());
    ~PrivateOffice(); // ends what End() did not
    PrivateOffice(const PrivateOffice&) = delete;
    PrivateOffice& operator=(const PrivateOffice&) = delete;

    // Headless, on the run's profile and a pipe nobody can guess.
    const OfficeOptions& options() const { return options_; }
    const QString& folder() const { return folder_; }

    // Asks the office to end, then ends whatever of it is left, and removes
    // the run's folder. A profile the office left cleanly becomes the kept
    // one when there is none yet. Never throws.
    void End(const std::shared_ptr<Office>& office);

    static QString DefaultRoot();

private:
    void StartGuardian();
    QString root_;
    QString folder_;
    OfficeOptions options_;
    int lock_ = -1;
    int guardian_ = -1; // our end of the guardian's pipe
    pid_t guardianPid_ = 0;
};

} // namespace brevix::libreoffice
