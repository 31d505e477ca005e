#pragma once
// The article edit dialog: a larger copy of the main window's entry area.
// It fills itself from the main window when it opens, hands its texts back on
// "编辑完成", and shows the main window again however it closes. It never
// touches the issue.

#include "ui/windowbuild.h"

#include <QWidget>

namespace brevix {

class Form1;

class Form2 : public QWidget {
    Q_OBJECT
public:
    // Opens on the main window's entry area; deletes itself when closed.
    explicit Form2(Form1& main);

    const EntryFields& entry() const { return entry_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void HandBack();
    void Clear();

    Form1& main_;
    EntryFields entry_;
};

} // namespace brevix
