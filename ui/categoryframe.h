#pragma once
// The frame famClass with one option button per category of the edition, in
// table order. The options form one exclusive group that starts, and can be
// put back to, having none selected.

#include "editions/edition.h"

#include <QGroupBox>
#include <QVector>

class QButtonGroup;
class QRadioButton;

namespace brevix {

class CategoryFrame : public QGroupBox {
    Q_OBJECT
public:
    CategoryFrame(const QVector<CategoryOption>& categories, QWidget* parent = nullptr);

    // Position in the table of the selected option, -1 when none is. Read from
    // the buttons each time: an option may be switched without a click (by the
    // keyboard or through the accessibility layer).
    int selected() const;
    void select(int position);
    void clearSelection();
    // Position of the category with this name, -1 when the table lacks it.
    int find(const QString& name) const;

    QRadioButton* option(int position) const { return options_.at(position); }
    int count() const { return static_cast<int>(options_.size()); }

private:
    QVector<QRadioButton*> options_;
    QButtonGroup* group_;
    QVector<CategoryOption> categories_;
};

} // namespace brevix
