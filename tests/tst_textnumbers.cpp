#include "core/TextNumbers.h"

#include <QtTest>

#include <cmath>
#include <limits>

namespace TN = tallyra::TextNumbers;

class TestTextNumbers : public QObject {
    Q_OBJECT

private slots:
    void leadingValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("whole") << "77" << 77.0;
        QTest::newRow("decimal") << "59.99" << 59.99;
        QTest::newRow("negative") << "-5" << -5.0;
        QTest::newRow("plus") << "+12" << 12.0;
        QTest::newRow("leading period") << ".5" << 0.5;
        QTest::newRow("trailing period") << "5." << 5.0;
        QTest::newRow("second period stops") << "1.2.3" << 1.2;
        QTest::newRow("unit after number") << "55分" << 55.0;
        QTest::newRow("letters only") << "abc" << 0.0;
        QTest::newRow("letters first") << "a55" << 0.0;
        QTest::newRow("blanks anywhere") << " 1 2\t3\n4" << 1234.0;
        QTest::newRow("blank inside sign") << "- 5" << -5.0;
        QTest::newRow("carriage return stops") << "5\r6" << 5.0;
        QTest::newRow("exponent E") << "1.5E2" << 150.0;
        QTest::newRow("exponent d, negative") << "25d-1" << 2.5;
        QTest::newRow("exponent without digits") << "7e" << 7.0;
        QTest::newRow("exponent sign without digits") << "7e+" << 7.0;
        QTest::newRow("hexadecimal") << "&HFF" << 255.0;
        QTest::newRow("hexadecimal lower case") << "&h1a" << 26.0;
        QTest::newRow("hexadecimal stops") << "&H1G" << 1.0;
        QTest::newRow("octal") << "&O17" << 15.0;
        QTest::newRow("octal stops at 8") << "&O18" << 1.0;
        QTest::newRow("bare prefix") << "&H" << 0.0;
        QTest::newRow("thousands separator stops") << "1,234" << 1.0;
        QTest::newRow("sign only") << "-" << 0.0;
        QTest::newRow("period only") << "." << 0.0;
        QTest::newRow("full-width digits are not digits") << "５５" << 0.0;
    }

    void leadingValue()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(TN::leadingValue(text), value);
    }

    void leadingValueOutOfRange()
    {
        QCOMPARE(TN::leadingValue(u"1e400"), std::numeric_limits<double>::infinity());
        QCOMPARE(TN::leadingValue(u"-1e400"), -std::numeric_limits<double>::infinity());
        QCOMPARE(TN::leadingValue(u"1e-400"), 0.0);
    }

    void typedForm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("typed");
        QTest::newRow("full-width digits and letters") << "６２００１０ＡＢｃ" << "620010ABc";
        QTest::newRow("full-width point, minus, plus") << "－８５．５＋" << "-85.5+";
        QTest::newRow("other full-width signs stay") << "８５％，" << "85％，";
        QTest::newRow("blanks of every kind trimmed")
            << QStringLiteral("\u00a0\u3000\u2003\u200B\uFEFF\t85 \u202F") << "85";
        QTest::newRow("blanks inside stay") << QStringLiteral("85\u00a0分") << QStringLiteral("85\u00a0分");
        QTest::newRow("blank only") << QStringLiteral("\u3000 \u00a0") << "";
    }

    void typedForm()
    {
        QFETCH(QString, text);
        QFETCH(QString, typed);
        QCOMPARE(TN::typedForm(text), typed);
    }

    void isNumeric_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("blank") << "   " << false;
        QTest::newRow("whole") << "59" << true;
        QTest::newRow("blanks around") << "\t 59  " << true;
        QTest::newRow("blank inside") << "5 9" << false;
        QTest::newRow("negative") << "-5" << true;
        QTest::newRow("plus") << "+5" << true;
        QTest::newRow("decimal") << "59.5" << true;
        QTest::newRow("leading period") << ".5" << true;
        QTest::newRow("trailing period") << "5." << true;
        QTest::newRow("period only") << "." << false;
        QTest::newRow("sign only") << "-" << false;
        QTest::newRow("two periods") << "1.2.3" << false;
        QTest::newRow("letters") << "ab" << false;
        QTest::newRow("unit") << "55分" << false;
        QTest::newRow("thousands") << "1,234" << true;
        QTest::newRow("thousands twice") << "1,234,567.5" << true;
        QTest::newRow("group of two") << "5,5" << false;
        QTest::newRow("group of four") << "1,2345" << false;
        QTest::newRow("leading comma") << ",123" << false;
        QTest::newRow("first group too long") << "1234,567" << false;
        QTest::newRow("exponent") << "1e3" << true;
        QTest::newRow("exponent D with sign") << "1.5D-2" << true;
        QTest::newRow("exponent without digits") << "1e" << false;
        QTest::newRow("dollar") << "$5" << true;
        QTest::newRow("NT dollar") << "NT$1,200" << true;
        QTest::newRow("sign then currency") << "-$5" << true;
        QTest::newRow("currency then sign") << "$-5" << true;
        QTest::newRow("currency only") << "$" << false;
        QTest::newRow("currency after") << "5$" << false;
        QTest::newRow("hexadecimal") << "&HFF" << true;
        QTest::newRow("octal") << "&o17" << true;
        QTest::newRow("bad octal") << "&O8" << false;
        QTest::newRow("bare prefix") << "&H" << false;
        QTest::newRow("full-width digits") << "５５" << false;
    }

    void isNumeric()
    {
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QCOMPARE(TN::isNumeric(text), numeric);
    }

    void numericValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("blanks around") << " 85 " << 85.0;
        QTest::newRow("dollar") << "$50" << 50.0;
        QTest::newRow("NT dollar, thousands") << "NT$1,200.5" << 1200.5;
        QTest::newRow("negative currency") << "-$5" << -5.0;
        QTest::newRow("exponent D") << "1.5D-2" << 0.015;
        QTest::newRow("hexadecimal") << "&HFF" << 255.0;
        QTest::newRow("trailing period") << "5." << 5.0;
    }

    void numericValue()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(TN::numericValue(text), std::optional<double>(value));
        QCOMPARE(TN::numericValue(u"85分"), std::nullopt);
    }

    void roundHalfEven_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("rounded");
        QTest::newRow("0.5") << 0.5 << 0.0;
        QTest::newRow("1.5") << 1.5 << 2.0;
        QTest::newRow("2.5") << 2.5 << 2.0;
        QTest::newRow("59.5") << 59.5 << 60.0;
        QTest::newRow("58.5") << 58.5 << 58.0;
        QTest::newRow("0.49") << 0.49 << 0.0;
        QTest::newRow("0.51") << 0.51 << 1.0;
        QTest::newRow("-2.5") << -2.5 << -2.0;
        QTest::newRow("-3.5") << -3.5 << -4.0;
        QTest::newRow("whole") << 7.0 << 7.0;
    }

    void roundHalfEven()
    {
        QFETCH(double, value);
        QFETCH(double, rounded);
        QCOMPARE(TN::roundHalfEven(value), rounded);
    }

    void decimalText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 49.0 << "49";
        QTest::newRow("half") << 49.5 << "49.5";
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("negative") << -0.5 << "-0.5";
        QTest::newRow("third") << 1.0 / 3 << "0.333333333333333";
        QTest::newRow("no separators") << 123456.0 << "123456";
    }

    void decimalText()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(TN::decimalText(value), text);
    }
};

QTEST_APPLESS_MAIN(TestTextNumbers)
#include "tst_textnumbers.moc"
