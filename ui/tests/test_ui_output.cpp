// The output command of both editions, end to end through the built-in
// word processor.

#include "composer_fixture.h"
#include "engine/document.h"
#include "generator/builtin_backend.h"

using namespace brevix;
using namespace brevix::testing;

class TestOutput : public QObject {
    Q_OBJECT
private slots:
    void typesetsTheIssue_data();
    void typesetsTheIssue();
};

void TestOutput::typesetsTheIssue_data()
{
    QTest::addColumn<bool>("earlier");
    QTest::addColumn<QStringList>("typeset");    // bodies found in the document
    QTest::addColumn<QStringList>("notTypeset"); // bodies of categories the edition lacks
    const QStringList both{QStringLiteral("新厂区今日开工。"), QStringLiteral("第一段")};
    QTest::newRow("Brevix2003") << false << both + QStringList{QStringLiteral("综合报道的正文")} << QStringList{};
    QTest::newRow("Brevix") << true << both << QStringList{QStringLiteral("综合报道的正文")};
}

void TestOutput::typesetsTheIssue()
{
    QFETCH(bool, earlier);
    QFETCH(QStringList, typeset);
    QFETCH(QStringList, notTypeset);
    const Edition& edition = earlier ? BrevixEdition() : Brevix2003Edition();
    ScriptedDialogs dialogs;
    builtin::BuiltinBackend backend;
    Form1 form(edition, dialogs, backend);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.issue().AddArticle(QStringLiteral("新厂区开工"), QStringLiteral("本报讯"), QStringLiteral("新厂区今日开工。"),
                            QStringLiteral("企业纵横"));
    form.issue().AddArticle(QStringLiteral("经济运行平稳"), QStringLiteral("统计局"), QStringLiteral("第一段\r\n第二段"),
                            QStringLiteral("宏观动向"));
    form.issue().AddArticle(QStringLiteral("综合"), QString(), QStringLiteral("综合报道的正文"),
                            QStringLiteral("综合报道"));
    form.findChild<QLineEdit*>(QStringLiteral("txtNoHZ"))->setText(QStringLiteral("12"));
    form.findChild<QLineEdit*>(QStringLiteral("txtNoSum"))->setText(QStringLiteral("345"));
    form.findChild<QComboBox*>(QStringLiteral("cboYear"))->setCurrentIndex(3);
    const QVector<Article> before = form.issue().snapshot();

    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("cmdOutWord")), Qt::LeftButton);

    QVERIFY2(dialogs.shown.isEmpty(), qPrintable(dialogs.lastText()));
    std::shared_ptr<engine::Document> document = backend.lastDocument();
    QVERIFY(document);
    const QString text = document->text();
    QVERIFY(text.contains(QStringLiteral("12")));
    QVERIFY(text.contains(QStringLiteral("2003")));
    for (const QString& title : typeset)
        QVERIFY2(text.contains(title), qPrintable(title));
    for (const QString& title : notTypeset)
        QVERIFY2(!text.contains(title), qPrintable(title));
    // The issue itself is only read.
    QCOMPARE(form.issue().snapshot(), before);
    QVERIFY(form.findChild<QPushButton*>(QStringLiteral("cmdOutWord"))->isEnabled());
}

QTEST_MAIN(TestOutput)
#include "test_ui_output.moc"
