// What differs between the two programs.

#include "editions/contacts.h"
#include "editions/edition.h"
#include "generator/tests/fake_backend.h"

#include <QtTest>

using namespace brevix;

class TestEditions : public QObject {
    Q_OBJECT
private slots:
    void categoryTables();
    void contactsPrintedByBothBulletins();
};

void TestEditions::categoryTables()
{
    auto table = [](const Edition& e) {
        QStringList rows;
        for (const CategoryOption& c : e.categories)
            rows << c.objectName + " " + c.name;
        return rows;
    };
    QCOMPARE(Brevix2003Edition().programName, "Brevix2003");
    QCOMPARE(table(Brevix2003Edition()), QStringList({"optHGDX 宏观动向", "optQYZH 企业纵横", "optSCDT 市场动态",
                                                      "optZHBD 综合报道", "optZXCX 综信采撷"}));
    QVERIFY(Brevix2003Edition().pageEstimate);
    QCOMPARE(BrevixEdition().programName, "Brevix");
    QCOMPARE(table(BrevixEdition()), QStringList({"optHGDX 宏观动向", "optRDGZ 热点关注", "optXXZL 信息综览",
                                                  "optQYZH 企业纵横", "optGNHY 国内行业", "optGJHY 国际行业"}));
    QVERIFY(!BrevixEdition().pageEstimate);
}

void TestEditions::contactsPrintedByBothBulletins()
{
    const ContactTexts& c = OfficeContacts();
    QVERIFY(!c.phone.isEmpty() && !c.fax.isEmpty() && c.email.contains('@'));
    for (const Edition* edition : {&Brevix2003Edition(), &BrevixEdition()}) {
        test::FakeBackend backend;
        edition->outputIssueToWord(backend, {}, {}, {});
        QVERIFY(backend.log.inserted.contains(c.phone));
        QVERIFY(backend.log.inserted.contains("传真：" + c.fax));
        QVERIFY(backend.log.inserted.contains("E-mail: " + c.email));
    }
}

QTEST_APPLESS_MAIN(TestEditions)
#include "test_editions.moc"
