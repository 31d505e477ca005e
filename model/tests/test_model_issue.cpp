#include "model/errors.h"
#include "model/issue.h"
#include "model/tests/files.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <functional>

using namespace brevix;
using faults::ErrorOf;
using Error = std::pair<int, QString>;

class TestIssue : public QObject {
    Q_OBJECT

    static QStringList lines(const Issue& issue)
    {
        QStringList out;
        for (int r = 0; r < issue.rowCount(); ++r)
            out << issue.data(issue.index(r)).toString();
        return out;
    }

private slots:
    void listFollowsEveryOperation()
    {
        Issue issue;
        QAbstractItemModelTester tester(&issue, QAbstractItemModelTester::FailureReportingMode::QtTest);

        issue.AddArticle("新厂区开工", {}, "正文", "市场动态");
        issue.AddArticle("甲----乙", "某报", "x", "综合报道"); // a title holding the separator is listed as it is
        issue.AddArticle("丙", "某报", "y", "企业纵横");
        QCOMPARE(lines(issue), (QStringList{"新厂区开工----市场动态", "甲----乙----综合报道", "丙----企业纵横"}));

        // A swap repaints both lines: the change reported covers both rows.
        QSignalSpy changed(&issue, &Issue::dataChanged);
        const auto changedRows = [&] {
            QList<int> rows;
            for (const QList<QVariant>& signal : changed)
                for (int r = signal[0].toModelIndex().row(); r <= signal[1].toModelIndex().row(); ++r)
                    rows << r;
            changed.clear();
            return rows;
        };
        issue.MoveArticleDown(0);
        QCOMPARE(changedRows(), (QList<int>{0, 1}));
        issue.MoveArticleUp(2);
        QCOMPARE(changedRows(), (QList<int>{1, 2}));
        QCOMPARE(lines(issue), (QStringList{"甲----乙----综合报道", "丙----企业纵横", "新厂区开工----市场动态"}));
        QCOMPARE(issue.Sources(), (QStringList{"某报", "某报", QString()}));

        issue.ReplaceArticle(2, "丁", {}, "z", "宏观动向");
        QCOMPARE(changedRows(), QList<int>{2});

        issue.DeleteArticle(0);
        QCOMPARE(lines(issue), (QStringList{"丙----企业纵横", "丁----宏观动向"}));
        QCOMPARE(issue.Contents(), (QStringList{"y", "z"}));

        issue.DeleteArticle(1);
        issue.DeleteArticle(0);
        QCOMPARE(issue.ArticleCount(), 0);
        QCOMPARE(issue.rowCount(), 0);
    }

    void positionsOutsideTheIssueChangeNothing()
    {
        Issue issue;
        for (const char* t : {"a", "b", "c"}) // distinct, so that a move would show
            issue.AddArticle(t, t, t, "宏观动向");
        const QVector<Article> before = issue.snapshot();
        for (const auto& op : std::initializer_list<std::function<void()>>{
                 [&] { issue.MoveArticleUp(0); }, [&] { issue.MoveArticleDown(2); }, [&] { issue.MoveArticleDown(-1); },
                 [&] { issue.DeleteArticle(3); }, [&] { issue.DeleteArticle(-1); }, [&] { (void)issue.article(3); },
                 [&] { issue.ReplaceArticle(-1, {}, {}, {}, {}); }, [&] { issue.ReplaceArticle(3, {}, {}, {}, {}); }}) {
            QCOMPARE(ErrorOf(op), (Error{9, "下标越界"}));
            QCOMPARE(issue.snapshot(), before);
        }
    }

    void theSixteenBitLimitIsRefusedBeforeAnythingChanges()
    {
        Issue issue;
        QVector<Article> many(MaxArticles - 1, Article{"t", {}, "c", "宏观动向"});
        issue.AppendArticles(many);
        issue.AddArticle("last", {}, {}, "宏观动向");
        QCOMPARE(issue.ArticleCount(), MaxArticles);

        QSignalSpy inserted(&issue, &Issue::rowsAboutToBeInserted);
        QCOMPARE(ErrorOf([&] { issue.AddArticle("one too many", {}, {}, {}); }), (Error{6, "溢出"}));
        QCOMPARE(issue.ArticleCount(), MaxArticles);
        QCOMPARE(issue.rowCount(), MaxArticles);
        QCOMPARE(inserted.count(), 0);

        issue.DeleteArticle(0); // one free place is not enough for two
        QCOMPARE(ErrorOf([&] { issue.AppendArticles({{}, {}}); }).first, 6);
        QCOMPARE(issue.ArticleCount(), MaxArticles - 1);
        issue.AppendArticles({{}});
        QCOMPARE(issue.ArticleCount(), MaxArticles);
    }
};

QTEST_GUILESS_MAIN(TestIssue)
#include "test_model_issue.moc"
