// Each edition typesets its own bulletin with the office's contact texts.

#include "editions/contacts.h"
#include "editions/edition.h"
#include "generator/tests/fake_backend.h"

#include <QtTest>

using namespace brevix;

class TestEditions : public QObject {
    Q_OBJECT
private slots:
    void contactsPrintedByBothBulletins();
};

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
