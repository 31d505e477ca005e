// The edit dialog, opened by a double click in the main window's body box.

#include "composer_fixture.h"

#include <QApplication>

using namespace brevix;
using namespace brevix::testing;

namespace {

QPushButton* DialogButton(Form2* dialog, const char* name)
{
    return dialog->findChild<QPushButton*>(QString::fromLatin1(name));
}

} // namespace

class TestForm2 : public QObject {
    Q_OBJECT
private slots:
    void opensWithMainEntryAndHidesMain_data();
    void opensWithMainEntryAndHidesMain();
    void emptyEntryOpensEmpty();
    void handBackCopiesTextsAndCategory();
    void closeButtonKeepsOldTexts();
    void clearThenHandBackKeepsCategory();
    void handBackDuringPendingEditOnlyChangesEntry();
    void fontsOfTheDialog();
};

void TestForm2::opensWithMainEntryAndHidesMain_data()
{
    QTest::addColumn<bool>("earlier");
    QTest::addColumn<int>("category");
    QTest::newRow("current edition, 综合报道") << false << 3;
    QTest::newRow("earlier edition, 国际行业") << true << 5;
}

void TestForm2::opensWithMainEntryAndHidesMain()
{
    QFETCH(bool, earlier);
    QFETCH(int, category);
    Composer c(earlier ? BrevixEdition() : Brevix2003Edition());
    c.type(QStringLiteral("标题"), QStringLiteral("出处"), QStringLiteral("第一行\n第二行"), category);
    Form2* dialog = c.openDialog();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(!c.form->isVisible());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("编辑信息"));
    QCOMPARE(dialog->entry().txtTitle->text(), QStringLiteral("标题"));
    QCOMPARE(dialog->entry().txtSource->text(), QStringLiteral("出处"));
    QCOMPARE(dialog->entry().rtxtWord->body(), QStringLiteral("第一行\r\n第二行"));
    QCOMPARE(dialog->entry().famClass->selected(), category);
    QCOMPARE(dialog->entry().famClass->option(category)->text(), c.edition.categories[category].name);
    QVERIFY(c.dialogs.shown.isEmpty());
}

void TestForm2::emptyEntryOpensEmpty()
{
    Composer c(Brevix2003Edition());
    Form2* dialog = c.openDialog();
    QVERIFY(dialog);
    QVERIFY(dialog->entry().txtTitle->text().isEmpty());
    QVERIFY(dialog->entry().txtSource->text().isEmpty());
    QVERIFY(dialog->entry().rtxtWord->toPlainText().isEmpty());
    QCOMPARE(dialog->entry().famClass->selected(), -1);
}

void TestForm2::handBackCopiesTextsAndCategory()
{
    Composer c(BrevixEdition());
    c.type(QStringLiteral("旧"), QStringLiteral("旧出处"), QStringLiteral("旧正文"), 0);
    Form2* dialog = c.openDialog();
    dialog->entry().txtTitle->setText(QStringLiteral("新标题"));
    dialog->entry().rtxtWord->setBody(QStringLiteral("甲\r\n\r\n乙\r\n"));
    QTest::mouseClick(dialog->entry().famClass->option(4), Qt::LeftButton);
    QPointer<Form2> guard(dialog);
    QTest::mouseClick(DialogButton(dialog, "cmdTJ"), Qt::LeftButton);
    QTRY_VERIFY(guard.isNull()); // closed, not kept
    QVERIFY(c.form->isVisible());
    QVERIFY(!c.form->editDialog());
    QCOMPARE(c.entry().txtTitle->text(), QStringLiteral("新标题"));
    QCOMPARE(c.entry().txtSource->text(), QStringLiteral("旧出处"));
    QCOMPARE(c.entry().rtxtWord->body(), QStringLiteral("甲\r\n\r\n乙\r\n"));
    QCOMPARE(c.entry().famClass->selected(), 4);
    // The issue is untouched until the main window's submit.
    QCOMPARE(c.form->issue().ArticleCount(), 0);
    c.click(QStringLiteral("cmdTJ"));
    QCOMPARE(c.lines(), QStringList{QStringLiteral("新标题----国内行业")});
    QCOMPARE(c.form->issue().article(0).content, QStringLiteral("甲\r\n\r\n乙"));
}

void TestForm2::closeButtonKeepsOldTexts()
{
    Composer c(Brevix2003Edition());
    c.type(QStringLiteral("旧"), QStringLiteral("旧出处"), QStringLiteral("旧正文"), 1);
    Form2* dialog = c.openDialog();
    dialog->entry().txtTitle->setText(QStringLiteral("改了"));
    QTest::mouseClick(dialog->entry().famClass->option(2), Qt::LeftButton);
    dialog->close();
    QVERIFY(c.form->isVisible());
    QCOMPARE(c.entry().txtTitle->text(), QStringLiteral("旧"));
    QCOMPARE(c.entry().rtxtWord->body(), QStringLiteral("旧正文"));
    QCOMPARE(c.entry().famClass->selected(), 1);
    // Every opening loads afresh.
    Form2* again = c.openDialog();
    QVERIFY(again);
    QCOMPARE(again->entry().txtTitle->text(), QStringLiteral("旧"));
    QCOMPARE(again->entry().famClass->selected(), 1);
}

void TestForm2::clearThenHandBackKeepsCategory()
{
    Composer c(Brevix2003Edition());
    c.type(QStringLiteral("旧"), QStringLiteral("旧出处"), QStringLiteral("旧正文"), 2);
    Form2* dialog = c.openDialog();
    QTest::mouseClick(DialogButton(dialog, "cmdQC"), Qt::LeftButton);
    QVERIFY(dialog->entry().txtTitle->text().isEmpty());
    QCOMPARE(dialog->entry().famClass->selected(), -1);
    // The main window is not touched by the dialog's clear.
    QCOMPARE(c.entry().txtTitle->text(), QStringLiteral("旧"));
    QTest::mouseClick(DialogButton(dialog, "cmdTJ"), Qt::LeftButton);
    QVERIFY(c.entry().txtTitle->text().isEmpty());
    QVERIFY(c.entry().txtSource->text().isEmpty());
    QVERIFY(c.entry().rtxtWord->toPlainText().isEmpty());
    QCOMPARE(c.entry().famClass->selected(), 2);
    QVERIFY(c.dialogs.shown.isEmpty());
}

void TestForm2::handBackDuringPendingEditOnlyChangesEntry()
{
    Composer c(Brevix2003Edition());
    c.form->issue().AddArticle(QStringLiteral("甲"), QStringLiteral("s"), QStringLiteral("x"), QStringLiteral("宏观动向"));
    c.clickLine(0);
    c.click(QStringLiteral("cmdEdit"));
    Form2* dialog = c.openDialog();
    dialog->entry().txtTitle->setText(QStringLiteral("甲改"));
    QTest::mouseClick(DialogButton(dialog, "cmdTJ"), Qt::LeftButton);
    QCOMPARE(c.lines(), QStringList{QStringLiteral("甲----宏观动向")});
    QVERIFY(c.form->EditPending());
    c.click(QStringLiteral("cmdTJ"));
    QCOMPARE(c.lines(), QStringList{QStringLiteral("甲改----宏观动向")});
}

void TestForm2::fontsOfTheDialog()
{
    Composer c(Brevix2003Edition());
    Form2* dialog = c.openDialog();
    for (QWidget* box : {static_cast<QWidget*>(dialog->entry().txtTitle), static_cast<QWidget*>(dialog->entry().txtSource),
                         static_cast<QWidget*>(dialog->entry().rtxtWord)}) {
        QCOMPARE(box->font().families().value(0), QStringLiteral("幼圆"));
        QCOMPARE(box->font().pointSizeF(), 12.0);
        QVERIFY(box->font().bold());
    }
    for (QLabel* label : {dialog->entry().Label1, dialog->entry().Label2, dialog->entry().Label3}) {
        QCOMPARE(label->font().families().value(0), QStringLiteral("宋体"));
        QCOMPARE(label->font().pointSizeF(), 10.5);
        QVERIFY(!label->font().bold());
    }
    // The face actually used draws Chinese.
    QVERIFY(QFontInfo(dialog->entry().txtTitle->font()).exactMatch() ||
            QFontMetrics(dialog->entry().txtTitle->font()).inFont(QChar(0x6807)));
}

QTEST_MAIN(TestForm2)
#include "test_ui_form2.moc"
