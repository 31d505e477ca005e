#pragma once
// Drives the composer windows as an editor would: typing, clicking and
// answering the boxes through ScriptedDialogs.

#include "editions/edition.h"
#include "builtin/builtin_backend.h"
#include "model/dialogs.h"
#include "ui/form1.h"
#include "ui/form2.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

namespace brevix::testing {

// Types text key by key as a keyboard (or an input method) delivers it; "\n" is the Return key.
inline void TypeText(QWidget* widget, const QString& text)
{
    for (QChar ch : text) {
        if (ch == u'\n')
            QTest::keyClick(widget, Qt::Key_Return);
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

// Does an action on a control through the accessibility layer, as automation tools do.
inline bool AccessibleAction(QWidget* control, const QString& action)
{
    QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(control)->actionInterface();
    if (!actions || !actions->actionNames().contains(action))
        return false;
    actions->doAction(action);
    return true;
}

// Title, source and body (line breaks as CR LF) of an entry area, and the option chosen.
inline QStringList EntryTexts(const EntryFields& fields)
{
    return {fields.txtTitle->text(), fields.txtSource->text(), fields.rtxtWord->body(), QString::number(fields.famClass->selected())};
}

struct Composer {
    explicit Composer(const Edition& base = Brevix2003Edition()) : edition(base)
    {
        form = std::make_unique<Form1>(edition, dialogs, backend);
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("the main window was not exposed");
    }

    template <class T = QWidget>
    T* get(const QString& name) const { return form->findChild<T*>(name); }
    void click(const QString& name) const { QTest::mouseClick(get<QPushButton>(name), Qt::LeftButton); }
    QListView* list() const { return get<QListView>(QStringLiteral("lstTitles")); }
    const EntryFields& entry() const { return form->entry(); }
    Issue& issue() const { return form->issue(); }

    // Articles put straight into the issue, one per title.
    void add(const QStringList& titles) const
    {
        for (const QString& title : titles)
            issue().AddArticle(title, QStringLiteral("s"), QStringLiteral("x"), QStringLiteral("宏观动向"));
    }
    void clickLine(int row, bool doubleClick = false) const
    {
        const QPoint at = list()->visualRect(issue().index(row)).center();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
        // A double click is a click followed by the double-click event.
        if (doubleClick)
            QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, at);
    }
    // Selects a line of the title list, then runs a command on it.
    void onLine(int row, const QString& command) const
    {
        clickLine(row);
        click(command);
    }
    // The boxes shown so far: their texts, or with title, icon and buttons.
    QStringList texts(bool whole = false) const
    {
        QStringList result;
        for (const auto& shown : dialogs.shown)
            result << (whole ? QString("%1 (%2, icon %3, buttons %4)").arg(shown.text, shown.title).arg(int(shown.icon)).arg(int(shown.buttons))
                             : shown.text);
        return result;
    }

    // Types an article into the emptied entry area; category -1 selects none.
    void type(const QString& title, const QString& source, const QString& body, int category) const
    {
        ClearEntry(entry());
        TypeText(entry().txtTitle, title);
        TypeText(entry().txtSource, source);
        TypeText(entry().rtxtWord, body);
        if (category >= 0)
            QTest::mouseClick(entry().famClass->option(category), Qt::LeftButton);
    }
    void submit(const QString& title, const QString& source, const QString& body, int category) const
    {
        type(title, source, body, category);
        click(QStringLiteral("cmdTJ"));
    }
    // Opens the edit dialog as the editor does, by a double click in the body box.
    Form2* openDialog() const
    {
        QWidget* viewport = entry().rtxtWord->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(10, 10));
        return form->editDialog();
    }

    Edition edition;
    ScriptedDialogs dialogs;
    builtin::BuiltinBackend backend; // tests of the output command give the edition their own output
    std::unique_ptr<Form1> form;
};

} // namespace brevix::testing
