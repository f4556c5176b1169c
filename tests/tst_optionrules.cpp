#include "dialogs/OptionRules.h"

#include <QtTest>

namespace OptionRules = tallyra::OptionRules;

class TestOptionRules : public QObject {
    Q_OBJECT

private slots:
    void check_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("band1");
        QTest::addColumn<QString>("band2");
        QTest::addColumn<int>("failedCheck");
        QTest::addColumn<QString>("message");
        QTest::newRow("defaults") << "58" << "55" << "50" << 0 << "";
        QTest::newRow("59 accepted") << "59" << "59" << "1" << 0 << "";
        QTest::newRow("report letters") << "ab" << "55" << "50" << 1 << "及格邊緣成績門檻值需為數值!";
        QTest::newRow("report empty") << "" << "55" << "50" << 1 << "及格邊緣成績門檻值需為數值!";
        QTest::newRow("report 60") << "60" << "55" << "50" << 2 << "及格邊緣成績門檻值需介於 0 ～ 59 分間!";
        QTest::newRow("report 0") << "0" << "55" << "50" << 2 << "及格邊緣成績門檻值需介於 0 ～ 59 分間!";
        QTest::newRow("report -5") << "-5" << "55" << "50" << 2 << "及格邊緣成績門檻值需介於 0 ～ 59 分間!";
        QTest::newRow("report .5 stored as 0") << ".5" << "55" << "50" << 2 << "及格邊緣成績門檻值需介於 0 ～ 59 分間!";
        QTest::newRow("both bands letters") << "58" << "x" << "y" << 3 << "「標示區段一」下限須為數值!";
        QTest::newRow("band two letters") << "58" << "55" << "y" << 4 << "「標示區段二」下限須為數值!";
        QTest::newRow("band one 60") << "58" << "60" << "50" << 5 << "「標示區段一」值需介於 0 ～ 59 分間!";
        QTest::newRow("band one .5 stored as 0") << "58" << ".5" << "50" << 5 << "「標示區段一」值需介於 0 ～ 59 分間!";
        QTest::newRow("bands equal") << "58" << "55" << "55" << 6 << "「標示區段二」值需介於 0 ～ 55 分間!";
        QTest::newRow("band two above") << "58" << "40" << "45" << 6 << "「標示區段二」值需介於 0 ～ 40 分間!";
        QTest::newRow("band two 0") << "58" << "55" << "0" << 6 << "「標示區段二」值需介於 0 ～ 55 分間!";
        QTest::newRow("equal once stored") << "58" << "1." << ".9" << 6 << "「標示區段二」值需介於 0 ～ 1 分間!";
        QTest::newRow("message names the stored band one") << "58" << "2." << "2" << 6 << "「標示區段二」值需介於 0 ～ 2 分間!";
        QTest::newRow("report checked before bands") << "99" << "x" << "y" << 2 << "及格邊緣成績門檻值需介於 0 ～ 59 分間!";
    }

    void check()
    {
        QFETCH(QString, report);
        QFETCH(QString, band1);
        QFETCH(QString, band2);
        QFETCH(int, failedCheck);
        QFETCH(QString, message);
        const auto verdict = OptionRules::check({report, band1, band2});
        QCOMPARE(verdict.failedCheck, failedCheck);
        QCOMPARE(verdict.message, message);
        QCOMPARE(verdict.passed(), failedCheck == 0);
    }

    void storedValues_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("band1");
        QTest::addColumn<QString>("band2");
        QTest::addColumn<int>("storedReport");
        QTest::addColumn<int>("storedBand1");
        QTest::addColumn<int>("storedBand2");
        QTest::newRow("plain") << "58" << "55" << "50" << 58 << 55 << 50;
        QTest::newRow("trailing period") << "5." << "9." << "1" << 5 << 9 << 1;
        QTest::newRow("halves to even") << "2.5" << "3.5" << "1.5" << 2 << 4 << 2;
    }

    void storedValues()
    {
        QFETCH(QString, report);
        QFETCH(QString, band1);
        QFETCH(QString, band2);
        QFETCH(int, storedReport);
        QFETCH(int, storedBand1);
        QFETCH(int, storedBand2);
        const auto verdict = OptionRules::check({report, band1, band2});
        QVERIFY(verdict.passed());
        QCOMPARE(int(verdict.reportThreshold), storedReport);
        QCOMPARE(int(verdict.threshold1), storedBand1);
        QCOMPARE(int(verdict.threshold2), storedBand2);
    }

    void bandUpperLabel_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("label"); // empty: left unchanged
        QTest::newRow("50") << "50" << "分～49分";
        QTest::newRow("1") << "1" << "分～0分";
        QTest::newRow("half") << "5.5" << "分～4.5分";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("zero") << "0" << "";
        QTest::newRow(".5") << ".5" << "分～-0.5分";
        QTest::newRow("letters") << "ab" << "";
        QTest::newRow("negative") << "-5" << "";
    }

    void bandUpperLabel()
    {
        QFETCH(QString, text);
        QFETCH(QString, label);
        QCOMPARE(OptionRules::bandUpperLabel(text).value_or(QString()), label);
    }
};

QTEST_APPLESS_MAIN(TestOptionRules)
#include "tst_optionrules.moc"
