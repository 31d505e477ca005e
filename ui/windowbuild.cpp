#include "ui/windowbuild.h"

#include <QLabel>
#include <QLineEdit>

#include <limits>
#include <QPushButton>
#include <QWidget>
#include <cmath>
#include <stdexcept>

namespace brevix {

int TwipsToPixels(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

QRect PixelRect(const ControlPlace& place)
{
    return {TwipsToPixels(place.left), TwipsToPixels(place.top), TwipsToPixels(place.width),
            TwipsToPixels(place.height)};
}

namespace {

QFont ChineseFont(const QStringList& families, double points, bool bold)
{
    QFont font;
    // Later names stand in where the classic Windows face is not installed.
    font.setFamilies(families);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

const QStringList& SongFaces()
{
    static const QStringList faces{QStringLiteral("宋体"), QStringLiteral("SimSun"),
                                   QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC")};
    return faces;
}

} // namespace

QFont DialogFont() { return ChineseFont(SongFaces(), 9, false); }

QFont EditBoxFont()
{
    return ChineseFont({QStringLiteral("幼圆"), QStringLiteral("YouYuan"), QStringLiteral("WenQuanYi Zen Hei"),
                        QStringLiteral("Noto Sans CJK SC")},
                       12, true);
}

QFont EditLabelFont() { return ChineseFont(SongFaces(), 10.5, false); }

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QLineEdit* MakeLineEdit(QWidget* parent, const QString& name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    // Qt cuts a line edit's text at 32767 characters by default; ours hold any length.
    edit->setMaxLength(std::numeric_limits<int>::max());
    return edit;
}

void ApplyLayout(QWidget* window, const WindowLayout& layout)
{
    QWidget* previous = nullptr;
    for (const ControlPlace& place : layout.controls) {
        auto* control = window->findChild<QWidget*>(place.name);
        if (!control)
            throw std::logic_error("control missing from its window: " + place.name.toStdString());
        control->setAccessibleDescription(place.name);
        if (auto* label = qobject_cast<QLabel*>(control)) {
            label->move(TwipsToPixels(place.left), TwipsToPixels(place.top));
            label->adjustSize();
        } else {
            control->setGeometry(PixelRect(place));
        }
        if (control->focusPolicy() & Qt::TabFocus) {
            if (previous)
                QWidget::setTabOrder(previous, control);
            previous = control;
        }
    }
}

EntryFields MakeEntryFields(QWidget* window, const Edition& edition)
{
    EntryFields fields;
    fields.Label1 = MakeLabel(window, QStringLiteral("Label1"), QStringLiteral("信息标题："));
    fields.Label2 = MakeLabel(window, QStringLiteral("Label2"), QStringLiteral("信息出处："));
    fields.Label3 = MakeLabel(window, QStringLiteral("Label3"), QStringLiteral("信息内容："));
    fields.txtTitle = MakeLineEdit(window, QStringLiteral("txtTitle"));
    fields.txtSource = MakeLineEdit(window, QStringLiteral("txtSource"));
    fields.rtxtWord = new BodyTextEdit(window);
    fields.rtxtWord->setObjectName(QStringLiteral("rtxtWord"));
    fields.famClass = new CategoryFrame(edition.categories, window);

    fields.Label1->setBuddy(fields.txtTitle);
    fields.Label2->setBuddy(fields.txtSource);
    fields.Label3->setBuddy(fields.rtxtWord);
    // The label's caption without its colon, for screen readers.
    fields.txtTitle->setAccessibleName(QStringLiteral("信息标题"));
    fields.txtSource->setAccessibleName(QStringLiteral("信息出处"));
    fields.rtxtWord->setAccessibleName(QStringLiteral("信息内容"));
    return fields;
}

void CopyEntry(const EntryFields& from, const EntryFields& to)
{
    to.txtTitle->setText(from.txtTitle->text());
    to.txtSource->setText(from.txtSource->text());
    to.rtxtWord->setBody(from.rtxtWord->body());
    const int category = from.famClass->selected();
    if (category >= 0)
        to.famClass->select(category);
}

void ClearEntry(const EntryFields& fields)
{
    fields.txtTitle->clear();
    fields.txtSource->clear();
    fields.rtxtWord->clear();
    fields.famClass->clearSelection();
}

} // namespace brevix
