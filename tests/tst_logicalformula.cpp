#include "platform/calc/LogicalFormula.h"

#include <QtTest>

using tallyra::LogicalFormula::mayBeLogical;

// A formula whose result may be TRUE or FALSE must never pass for a score
// of 1 or 0; one that gives a number must still read as that number.
class TestLogicalFormula : public QObject {
    Q_OBJECT
private slots:
    void results_data()
    {
        QTest::addColumn<QString>("formula");
        QTest::addColumn<bool>("logical");
        QTest::newRow("constant") << "=TRUE()" << true;
        QTest::newRow("bare constant") << "=false" << true;
        QTest::newRow("pass mark") << "=E2>=60" << true;
        QTest::newRow("comparison after concatenation") << "=A1&\"x\"=\"ax\"" << true;
        QTest::newRow("not equal") << "=B2<>0" << true;
        QTest::newRow("logical function") << "=AND(B2>0;C2>0)" << true;
        QTest::newRow("namespaced") << "=_xlfn.XOR(A1,B1)" << true;
        QTest::newRow("is-function") << "=ISNUMBER(B2)" << true;
        QTest::newRow("in parentheses") << "=((B2>=60))" << true;
        QTest::newRow("IF with a logical branch") << "=IF(B2=\"\";FALSE;B2)" << true;
        QTest::newRow("IFERROR with a logical fallback") << "=IFERROR(B2/C2,FALSE())" << true;
        QTest::newRow("SWITCH default") << "=SWITCH(A1;1;5;TRUE())" << true;
        QTest::newRow("sum") << "=SUM(B2:D2)" << false;
        QTest::newRow("average of a comparison inside") << "=AVERAGE(IF(B2>0,B2))" << false;
        QTest::newRow("IF with number branches") << "=IF(B2>=60;1;0)" << false;
        QTest::newRow("negated logical is a number") << "=-TRUE()" << false;
        QTest::newRow("comparison inside a call") << "=COUNTIF(B2:B40;\">=60\")" << false;
        QTest::newRow("comparison inside a string") << "=\"a=b\"" << false;
        QTest::newRow("comparison inside a sheet name") << "='x>y'!B2" << false;
        QTest::newRow("IF condition only") << "=IF(AND(B2>0;C2>0);B2;C2)" << false;
        QTest::newRow("two calls side by side") << "=ISNUMBER(B2)+N(C2)" << false;
        QTest::newRow("empty") << "" << false;
    }

    void results()
    {
        QFETCH(QString, formula);
        QFETCH(bool, logical);
        QCOMPARE(mayBeLogical(formula), logical);
    }

    void deepNestingEnds()
    {
        const QString deep = QStringLiteral("=") + QString(5000, QLatin1Char('(')) + QStringLiteral("B2>1")
                             + QString(5000, QLatin1Char(')'));
        // Given up past a sane depth rather than recursing without end, and
        // then taken for logical: its 1 or 0 is never written as a score.
        QVERIFY(mayBeLogical(deep));
        const QString deepSum = QStringLiteral("=") + QString(100, QLatin1Char('(')) + QStringLiteral("SUM(B2:C2)")
                                + QString(100, QLatin1Char(')'));
        QVERIFY(mayBeLogical(deepSum));
    }
};

QTEST_APPLESS_MAIN(TestLogicalFormula)
#include "tst_logicalformula.moc"
