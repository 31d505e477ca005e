#pragma once
// The main window's list controls: the title list lstTitles and the date
// boxes cboYear, cboMonth, cboDay. They carry their own accessibility: Qt's
// stock one gives a list view no focus request (the page estimate follows the
// list's focus) and lets a date box's name turn into its value.

#include <QComboBox>
#include <QListView>

namespace brevix {

// The title list. All lines have one height (that of the first), so a line
// whose text changed needs only repainting; the list view's own handling lays
// out every line again, which made each move cost time in proportion to the
// length of the issue.
class TitleList : public QListView {
    Q_OBJECT
public:
    explicit TitleList(QWidget* parent = nullptr);

protected:
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) override;
};

// A date box holding the numbers first to last, none chosen. Only an editable
// one (the year) takes a number typed outside its list.
class DateCombo : public QComboBox {
    Q_OBJECT
public:
    DateCombo(QWidget* parent, const QString& name, int first, int last, bool editable);
};

} // namespace brevix
