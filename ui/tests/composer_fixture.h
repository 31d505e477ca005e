#pragma once
// Drives the composer windows as an editor would: typing, clicking and
// answering the boxes through ScriptedDialogs.

#include "editions/edition.h"
#include "model/dialogs.h"
#include "ui/form1.h"
#include "ui/form2.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

namespace brevix::testing {

// Tests that reach the output command give the edition an output function of
// their own; the backend is never asked for anything else.
class UnusedBackend : public word::Backend {
public:
    word::ApplicationRef GetObject(const QString&) override { throw RuntimeError::CannotCreateObject(); }
    word::ApplicationRef CreateObject(const QString&) override { throw RuntimeError::CannotCreateObject(); }
    word::GlobalRef CreateGlobal() override { throw RuntimeError::CannotCreateObject(); }
    word::KeySender& Keys() override { throw RuntimeError::CannotCreateObject(); }
};

// Types text key by key as a keyboard (or an input method) delivers it.
inline void TypeText(QWidget* widget, const QString& text)
{
    for (QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

struct Composer {
    explicit Composer(const Edition& base) : edition(base)
    {
        form = std::make_unique<Form1>(edition, dialogs, backend);
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("the main window was not exposed");
    }

    template <class T = QWidget>
    T* get(const QString& name) const
    {
        return form->findChild<T*>(name);
    }
    QPushButton* button(const QString& name) const { return get<QPushButton>(name); }
    void click(const QString& name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    QListView* list() const { return get<QListView>(QStringLiteral("lstTitles")); }
    const EntryFields& entry() const { return form->entry(); }

    QStringList lines() const
    {
        QStringList result;
        for (int row = 0; row < form->issue().rowCount(); ++row)
            result << form->issue().index(row).data().toString();
        return result;
    }
    int selectedLine() const
    {
        const QModelIndexList rows = list()->selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.first().row();
    }
    void clickLine(int row) const
    {
        QListView* view = list();
        const QRect rect = view->visualRect(form->issue().index(row));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    }
    void doubleClickLine(int row) const
    {
        QListView* view = list();
        const QRect rect = view->visualRect(form->issue().index(row));
        // A double click is a click followed by the double-click event.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rect.center());
    }

    // Types an article into the entry area; category -1 selects none.
    void type(const QString& title, const QString& source, const QString& body, int category) const
    {
        entry().txtTitle->clear();
        entry().txtSource->clear();
        entry().rtxtWord->clear();
        TypeText(entry().txtTitle, title);
        TypeText(entry().txtSource, source);
        const QStringList lines = body.split(QLatin1Char('\n'));
        for (int k = 0; k < lines.size(); ++k) {
            if (k > 0)
                QTest::keyClick(entry().rtxtWord, Qt::Key_Return);
            TypeText(entry().rtxtWord, lines[k]);
        }
        if (category >= 0)
            QTest::mouseClick(entry().famClass->option(category), Qt::LeftButton);
    }
    // Opens the edit dialog as the editor does, by a double click in the body box.
    Form2* openDialog() const
    {
        QWidget* viewport = entry().rtxtWord->viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(10, 10));
        return form->editDialog();
    }
    void submit(const QString& title, const QString& source, const QString& body, int category) const
    {
        type(title, source, body, category);
        click(QStringLiteral("cmdTJ"));
    }

    Edition edition;
    ScriptedDialogs dialogs;
    UnusedBackend backend;
    std::unique_ptr<Form1> form;
};

inline Article Art(const char* title, const char* source, const char* content, const char* category)
{
    return {QString::fromUtf8(title), QString::fromUtf8(source), QString::fromUtf8(content),
            QString::fromUtf8(category)};
}

} // namespace brevix::testing
