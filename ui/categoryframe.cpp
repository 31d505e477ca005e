#include "ui/categoryframe.h"

#include <QButtonGroup>
#include <QRadioButton>

namespace brevix {

CategoryFrame::CategoryFrame(const QVector<CategoryOption>& categories, QWidget* parent)
    : QGroupBox(QStringLiteral("类别："), parent), group_(new QButtonGroup(this)), categories_(categories)
{
    setObjectName(QStringLiteral("famClass"));
    group_->setExclusive(true);
    for (const CategoryOption& category : categories) {
        auto* option = new QRadioButton(category.name, this);
        option->setObjectName(category.objectName);
        group_->addButton(option);
        options_.append(option);
    }
}

int CategoryFrame::selected() const
{
    for (int k = 0; k < options_.size(); ++k)
        if (options_[k]->isChecked())
            return k;
    return -1;
}

void CategoryFrame::select(int position) { options_.at(position)->setChecked(true); }

void CategoryFrame::clearSelection()
{
    // An exclusive group refuses to uncheck its last checked button.
    group_->setExclusive(false);
    for (QRadioButton* option : options_)
        option->setChecked(false);
    group_->setExclusive(true);
}

int CategoryFrame::find(const QString& name) const
{
    for (int k = 0; k < categories_.size(); ++k)
        if (categories_[k].name == name)
            return k;
    return -1;
}

} // namespace brevix
