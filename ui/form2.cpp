#include "ui/form2.h"

#include "ui/commands.h"
#include "ui/form1.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace brevix {

Form2::Form2(Form1& main) : QWidget(nullptr), main_(main)
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("编辑信息"));
    setFont(DialogFont());
    setFixedSize(TwipsToPixels(8685), TwipsToPixels(8340));

    entry_ = MakeEntryFields(this, main_.edition());
    for (QWidget* box : {static_cast<QWidget*>(entry_.txtTitle), static_cast<QWidget*>(entry_.txtSource),
                         static_cast<QWidget*>(entry_.rtxtWord)})
        box->setFont(EditBoxFont());
    for (QLabel* label : {entry_.Label1, entry_.Label2, entry_.Label3})
        label->setFont(EditLabelFont());
    auto* cmdTJ = MakeButton(this, QStringLiteral("cmdTJ"), QStringLiteral("编辑完成"));
    auto* cmdQC = MakeButton(this, QStringLiteral("cmdQC"), QStringLiteral("清  除"));

    ApplyLayout(this, LayoutOf(main_.edition()).form2);
    // The body box leads the tab order: the dialog opens with the cursor there.
    entry_.rtxtWord->setFocus();

    Dialogs& dialogs = main_.dialogs();
    connect(cmdTJ, &QPushButton::clicked, this,
            [this, &dialogs] { RunCommand(dialogs, DialogErrorHeading(), [this] { HandBack(); }); });
    connect(cmdQC, &QPushButton::clicked, this,
            [this, &dialogs] { RunCommand(dialogs, CommandErrorHeading(), [this] { Clear(); }); });

    RunCommand(dialogs, DialogErrorHeading(), [this] { CopyEntry(main_.entry(), entry_); });
}

void Form2::HandBack()
{
    CopyEntry(entry_, main_.entry());
    main_.show();
    close();
}

void Form2::Clear() { ClearEntry(entry_); }

void Form2::closeEvent(QCloseEvent* event)
{
    main_.show();
    QWidget::closeEvent(event);
}

} // namespace brevix
