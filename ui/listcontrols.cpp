#include "ui/listcontrols.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QHash>
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QPointer>

#include <limits>

namespace brevix {

namespace {

// One line of the title list. It follows its article when lines move.
class AccessibleTitleLine : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    AccessibleTitleLine(QListView* list, const QModelIndex& index) : list_(list), index_(index) {}

    int row() const { return index_.row(); }

    bool isValid() const override { return list_ && index_.isValid(); }
    QObject* object() const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(list_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name && isValid() ? index_.data().toString() : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect line = list_->visualRect(index_);
        return {list_->viewport()->mapToGlobal(line.topLeft()), line.size()};
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.selectable = s.focusable = true;
        s.selected = list_->selectionModel()->isSelected(index_);
        s.focused = list_->hasFocus() && list_->currentIndex() == index_;
        s.offscreen = !list_->viewport()->rect().intersects(list_->visualRect(index_));
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return {toggleAction()}; }
    void doAction(const QString& name) override
    {
        if (name != toggleAction() || !isValid())
            return;
        const bool selected = list_->selectionModel()->isSelected(index_);
        list_->selectionModel()->setCurrentIndex(index_, selected ? QItemSelectionModel::Deselect
                                                                  : QItemSelectionModel::ClearAndSelect);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<QListView> list_;
    QPersistentModelIndex index_;
};

// The title list: its lines as items, and, from QAccessibleWidget, the
// set-focus action that the stock item-view interface lacks.
class AccessibleTitleList : public QAccessibleWidget {
public:
    explicit AccessibleTitleList(QListView* list) : QAccessibleWidget(list, QAccessible::List) {}
    ~AccessibleTitleList() override
    {
        for (QAccessible::Id id : std::as_const(lines_))
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return list()->model() ? list()->model()->rowCount() : 0; }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        // A line kept from before a move or a deletion is replaced.
        if (const auto found = lines_.constFind(index); found != lines_.constEnd()) {
            auto* line = static_cast<AccessibleTitleLine*>(QAccessible::accessibleInterface(*found));
            if (line && line->isValid() && line->row() == index)
                return line;
            QAccessible::deleteAccessibleInterface(*found);
        }
        auto* line = new AccessibleTitleLine(list(), list()->model()->index(index, 0));
        lines_.insert(index, QAccessible::registerAccessibleInterface(line));
        return line;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child || child->role() != QAccessible::ListItem || child->parent() != this)
            return -1;
        return static_cast<const AccessibleTitleLine*>(child)->row();
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QModelIndex at = list()->indexAt(list()->viewport()->mapFromGlobal(QPoint(x, y)));
        return at.isValid() ? child(at.row()) : nullptr;
    }
    QAccessibleInterface* focusChild() const override
    {
        if (list()->hasFocus() && list()->currentIndex().isValid())
            return child(list()->currentIndex().row());
        return QAccessibleWidget::focusChild();
    }

private:
    QListView* list() const { return static_cast<QListView*>(widget()); }

    mutable QHash<int, QAccessible::Id> lines_; // by row, made when first asked for
};

// A date box: its label stays its name and its number is its value, which a
// client can also set.
class AccessibleDateCombo : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleDateCombo(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? box()->currentText() : QAccessibleWidget::text(t);
    }
    // As the stock combo box: the popup's list (choosing an item there
    // chooses it in the box, see DateCombo) and an editable box's line edit.
    int childCount() const override { return box()->isEditable() ? 2 : 1; }
    QAccessibleInterface* child(int index) const override
    {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(box()->view());
        return index == 1 && box()->isEditable() ? QAccessible::queryAccessibleInterface(box()->lineEdit()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child)
            return -1;
        if (child->object() == box()->view())
            return 0;
        return box()->isEditable() && child->object() == box()->lineEdit() ? 1 : -1;
    }
    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QStringList actionNames() const override
    {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override
    {
        if (name != showMenuAction() && name != pressAction())
            QAccessibleWidget::doAction(name);
        else if (box()->view()->isVisible())
            box()->hidePopup();
        else
            box()->showPopup();
    }

    QVariant currentValue() const override
    {
        bool number = false;
        const int value = box()->currentText().toInt(&number);
        return number ? QVariant(value) : QVariant();
    }
    void setCurrentValue(const QVariant& value) override
    {
        const QString number = QString::number(value.toInt());
        if (const int k = box()->findText(number); k >= 0)
            box()->setCurrentIndex(k);
        else if (box()->isEditable())
            box()->setEditText(number);
    }
    QVariant maximumValue() const override { return box()->itemText(box()->count() - 1).toInt(); }
    QVariant minimumValue() const override { return box()->itemText(0).toInt(); }
    QVariant minimumStepSize() const override { return 1; }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* AccessibleListControl(const QString& className, QObject* object)
{
    if (className == QLatin1String(TitleList::staticMetaObject.className()))
        return new AccessibleTitleList(static_cast<TitleList*>(object));
    if (className == QLatin1String(DateCombo::staticMetaObject.className()))
        return new AccessibleDateCombo(static_cast<DateCombo*>(object));
    return nullptr;
}

void InstallAccessibleListControls()
{
    static const bool installed = [] {
        QAccessible::installFactory(AccessibleListControl);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace

TitleList::TitleList(QWidget* parent) : QListView(parent) { InstallAccessibleListControls(); }

void TitleList::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    if (!uniformItemSizes() || !topLeft.isValid() || !bottomRight.isValid() || bottomRight.row() - topLeft.row() > 8) {
        QListView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        const QModelIndex line = model()->index(row, 0);
        QAbstractItemView::dataChanged(line, line, roles);
    }
}

DateCombo::DateCombo(QWidget* parent, const QString& name, int first, int last, bool editable) : QComboBox(parent)
{
    InstallAccessibleListControls();
    setObjectName(name);
    setEditable(editable);
    if (editable) {
        // A typed year is taken as typed: no completion, nothing added to the list.
        setCompleter(nullptr);
        setInsertPolicy(QComboBox::NoInsert);
        lineEdit()->setMaxLength(std::numeric_limits<int>::max());
    }
    for (int value = first; value <= last; ++value)
        addItem(QString::number(value));
    setCurrentIndex(-1);
    // An accessibility client chooses an item by selecting it in the closed
    // popup's list; while the popup is open the selection only follows the
    // highlight, and the box takes the item the user then activates.
    connect(view()->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = view()->selectionModel()->selectedRows();
        if (!view()->isVisible() && !rows.isEmpty())
            setCurrentIndex(rows.first().row());
    });
}

} // namespace brevix
