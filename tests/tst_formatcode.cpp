// Number format codes: their class and the text they show, each expected
// answer as LibreOffice Calc 7.4 gave it for the same code in an .xlsx.
#include "workbook/CellValue.h"
#include "workbook/FormatCode.h"

#include <QtTest>

#include <cmath>
#include <limits>

using tallyra::CellValue;
using tallyra::NumberClass;
namespace FormatCode = tallyra::FormatCode;

Q_DECLARE_METATYPE(tallyra::NumberClass)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {
const std::optional<QString> kNothing;
std::optional<QString> text(const char *s) { return QString::fromUtf8(s); }
} // namespace

class TestFormatCode : public QObject {
    Q_OBJECT

private slots:
    void classify_data();
    void classify();
    void show_data();
    void show();
    void rounding_data();
    void rounding();
    void generalMatchesTextForm();
    void refusals_data();
    void refusals();
    void builtins_data();
    void builtins();
};

void TestFormatCode::classify_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<NumberClass>("expected");
    const auto row = [](const char *code, NumberClass expected) {
        QTest::newRow(code) << QString::fromUtf8(code) << expected;
    };
    using C = NumberClass;
    // Plain: numbers, currency, scientific, fractions, text around digits.
    for (const char *code : {"General", "general", "0", "#,##0.00", "0.00E+00", "# ?/?", "0\" days\"", "\"yyyy\"0",
                             "[Red]0.00", "[DBNum1]0", "#,##0.00 [$€-407]", "0\"%\"", "0\\%", "0_%", "0*%", "[%]0",
                             "General;@", "[>=100]0;0", "_m0", "*m0", "E+00", "General\" pts\"", "0;0%"})
        row(code, C::Plain);
    // A lone y, and b, are literal text to Calc; digits with a date make
    // Calc drop the code for General.
    for (const char *code : {"y", "b", "bb", "0 yyyy", "0 hh"})
        row(code, C::Plain);
    for (const char *code : {"0%", "0.00%", "%", "General%", "0.0 %", "0%\"x\"", "_(0_)%", "0.0\"%\"%", "0%;0"})
        row(code, C::Percent);
    for (const char *code : {"yyyy/m/d", "m/d", "m", "mm", "mmmm", "mmmmm", "d", "dddd", "yy", "yyy", "YYYY", "aaa",
                             "e", "ee", "g", "ggg", "[$-404]e/m/d", "[$-404]ggge/m/d", "[$-404]e\"年\"m\"月\"d\"日\"",
                             "[DBNum1][$-404]yyyy\"年\"m\"月\"d\"日\"", "[Red]yyyy", "mm/dd/yyyy;@", "\\h:mm",
                             "\"h\"m", "d:m", "m:d", "[$-F800]dddd, mmmm dd, yyyy", "yyyy\"m\"", "TRUE", "yyyy;0%", "m\"月\"d\"日\"",
                             "yyyy\"年\"m\"月\"d\"日\";@"})
        row(code, C::Date);
    for (const char *code : {"mm:ss", "h:mm", "[h]:mm:ss", "h:m", "m:s", "[mm]", "[ss]", "[m]", "[h]", "AM/PM",
                             "h AM/PM", "A/P", "am/pm", "ss", "s", "H", "mm:ss.0", "ss.00", "hh:mm:ss.000",
                             "hh\"h\"mm", "h \"x\" m", "m\"x\"s", "h m", "m s", "m [s]", "[mm]:ss", "[hh] mm",
                             "[$-404]hh:mm:ss", "[$-404]AM/PM hh:mm:ss", "[$-F400]h:mm:ss AM/PM", "h:mm;@",
                             "hh:mm AM/PM", "h mm ss", "[Red]h:mm", "[$-404]AM/PM hh:mm"})
        row(code, C::Time);
    // m is a month unless an hour is right before it or a second right after.
    for (const char *code : {"yyyy-mm-dd hh:mm", "m/d h", "h d m", "m d s", "mm AM/PM", "yyyy m s", "hh:mmm",
                             "m/d/yyyy h:mm", "Standard"})
        row(code, C::DateTime);
    for (const char *code : {"@", "\"x\"@", "@\" x\"", "@;0"})
        row(code, C::Text);
    for (const char *code : {"BOOLEAN", "boolean", "BOOLEAN;0"})
        row(code, C::Boolean);
}

void TestFormatCode::classify()
{
    QFETCH(QString, code);
    QFETCH(NumberClass, expected);
    QCOMPARE(FormatCode::classify(code), expected);
}

void TestFormatCode::show_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    int n = 0;
    const auto row = [&n](const char *code, double value, const char *expected) {
        QTest::addRow("%d: %s %g", ++n, code, value) << QString::fromUtf8(code) << value << QString::fromUtf8(expected);
    };
    // Zeros, digits, thousands and the decimal point.
    row("000000", 91001, "091001");
    row("0.0", 85.25, "85.3");
    row("#,##0", 1234, "1,234");
    row("#,##0.00", -1234.5, "-1,234.50");
    row("0,0", 1234, "1,234");
    row("00,000", 1234, "01,234");
    row("000,000", 5, "000,005");
    row("#,#00", 5, "05");
    row("#,###", 0, "");
    row("00.00", 1.5, "01.50");
    row("#", 0, "");
    row("#", 0.4, "");
    row("#", -0.4, "");
    row("#.##", 0.5, ".5");
    row("#.##", 3, "3");
    row("0.#", 3, "3");
    row("0.", 3, "3");
    row("#.", 0, "");
    row("#.#", 0, "");
    row(".0", 0.5, ".5");
    row(".00", 1.5, "1.50");
    row("#.0", 0.5, ".5");
    row("0.#0", 3.5, "3.50");
    row("0.0#", 3.5, "3.5");
    row("?", 0, " ");
    row("??", 5, " 5");
    row("# ?", 3, " 3");
    row("?.??", 1.5, "1.5 ");
    row("0.?", 3, "3. ");
    row("0.0?", 3.5, "3.5 ");
    row("0000000000000000000000000", 5, "0000000000000000000000005");
    row("0.00000000000000000000", 1.0 / 3, "0.33333333333333300000");
    row("0.000000000000000", 2.0 / 3, "0.666666666666667");
    // Trailing commas divide by a thousand each.
    row("#,##0,", 1234567, "1,235");
    row("0.0,,", 123456789, "123.5");
    row("0,", 1500, "2");
    row("0,", 1499, "1");
    row("#,", 100, "");
    row("0.000,", 5, "0.005");
    row("#,##0.00,", 1234567, "1,234.57");
    row("#,##0.0,,", -1234567, "-1.2");
    // Percent: once, however many signs.
    row("0%", 0.855, "86%");
    row("0.00%", 0.12345, "12.35%");
    row("0%%", 0.5, "50%%");
    row("0.0\"%\"%", 1, "100.0%%");
    row("0\"%\"", 0.5, "1%");
    row("0\\%", 0.5, "1%");
    row("0%", -0.004, "0%");
    row("0%", -0.006, "-1%");
    // Text: quoted, escaped, bare, and spread between digits.
    row("\"Score: \"0", 5, "Score: 5");
    row("0\" pts\"", 7, "7 pts");
    row("\\A0", 3, "A3");
    row("$#,##0.00", 1234.5, "$1,234.50");
    row("0元", 5, "5元");
    row("¥#,##0", 5, "¥5");
    row("+0", 5, "+5");
    row("0 ", 5, "5 ");
    row("0!", 1, "1!");
    row("0^", 1, "1^");
    row("0&", 1, "1&");
    row("0'", 1, "1'");
    row("0~", 1, "1~");
    row("0{", 1, "1{");
    row("0<", 1, "1<");
    row("0=", 1, "1=");
    row("0|", 1, "1|");
    row("0:0", 5, "0:5");
    row("00\"-\"00", 1234, "12-34");
    row("000-000", 123456, "123-456");
    row("00-00", 123456, "1234-56");
    row("\"a\"0\"b\"0", 123, "a12b3");
    row("\"x\"", 5, "x");
    row("\"x\"", -5, "x");
    row("-", 5, "-");
    // As Taiwanese gradebooks have them.
    row("0.0\"分\"", 85.25, "85.3分");
    row("\"第\"0\"名\"", 3, "第3名");
    row("\"NT$\"#,##0", 1234, "NT$1,234");
    row("0000\\-00\\-00", 20230315, "2023-03-15");
    row("0_);[Red]\\(0\\)", -5, "(5)");
    row("0_);[Red]\\(0\\)", 5, "5 ");
    row("#,##0.0_);\\(#,##0.0\\)", -0.04, "(0.0)");
    row("0.0_ ;[Red]\\-0.0\\ ", -85.25, "-85.3 ");
    row("#,##0.00;[Red]-#,##0.00;\"\"", 0, "");
    row("0.00 \"pts\";-0.00 \"pts\"", -2.345, "-2.35 pts");
    row("??0.0", 5.25, "  5.3");
    // "_x" leaves the width of x in spaces, as Calc counts it.
    row("0_)", 1, "1 ");
    row("0_ ", 1, "1 ");
    row("0_-", 1, "1 ");
    row("0_0", 1, "1  ");
    row("0_%", 1, "1   ");
    row("0_m", 1, "1   ");
    row("0_W", 1, "1   ");
    row("0_i", 1, "1 ");
    row("0_~", 1, "1  ");
    row("_m0", 1, "   1");
    row("0.00_ ", 2.5, "2.50 ");
    // One section: a minus before everything, unless only zeros show.
    row("\"Score: \"0", -5, "-Score: 5");
    row("$#,##0.00", -5, "-$5.00");
    row("(0)", -5, "-(5)");
    row("0", -0.4, "0");
    row("0.0", -0.04, "0.0");
    row("0.00", -0.001, "0.00");
    row("0\"b\"", -0.2, "0b");
    row("-0", 5, "-5");
    // Sections by sign: the negative one shows no minus of its own.
    row("0.00;(0.00)", -3.5, "(3.50)");
    row("0.0;(0.0)", -0.04, "(0.0)");
    row("0.0;-0.0", -0.04, "-0.0");
    row("0.0;0.0-", -3.25, "3.3-");
    row("0;\"neg\"", -0.3, "neg");
    row("0.0;\"neg\"0.0", -0.04, "neg0.0");
    row("0;[Red]0", -3, "3");
    row("[Blue]0;[Red]-0", -4, "-4");
    row("\"high\";\"low\"", -2, "low");
    row("0;", -3, "");
    row("0;;", -3, "");
    row(";0", 5, "");
    row(";0", -5, "5");
    row("0;-0;\"zero\"", 0, "zero");
    row("0;-0;\"zero\"", 0.001, "0");
    row("0;;\"z\"", 0, "z");
    row("0;-0;", 0, "");
    row("#,##0;-#,##0;\"-\"", 0, "-");
    row("0;\"neg\";\"zero\"", 5, "5");
    row("0.0%;-0.0%;0%", 0, "0%");
    row("0;-0;0;@", -0.0001, "-0");
    row("0.00;-0.00;0.00;@", -0.0, "0.00");
    row("0 ;-0 ", -3, "-3 ");
    row("0_ ;[Red]\\-0\\ ", -3, "-3 ");
    row("#,##0_ ;[Red]\\-#,##0\\ ", -1234, "-1,234 ");
    row("0.0_);(0.0)", -0.04, "(0.0)");
    // A last section with '@' is for text; numbers take the others.
    row("0.00;@", -1, "-1.00");
    row("0.00;@", 0, "0.00");
    row("General;@", -1, "-1");
    // Colours and locales that keep en-US separators show nothing; a
    // currency shows its symbol.
    row("[Red]0.00", -2, "-2.00");
    row("[RED]0", 4, "4");
    row("[Color10]0", 4, "4");
    row("[$-404]0.00", 2, "2.00");
    row("[$-404]0", -1, "-1");
    row("[$-404]#,##0.00", 1234.5, "1,234.50");
    row("[$-0404]#,##0.00", 1234.5, "1,234.50");
    row("[$-c04]#,##0.00", 1234.5, "1,234.50");
    row("[$-411]#,##0.00", 1234.5, "1,234.50");
    row("[$NT$-404]#,##0", 1500, "NT$1,500");
    row("[$NT$-404]#,##0", -1500, "-NT$1,500");
    row("[$NT$-404] #,##0.00", 1, "NT$ 1.00");
    row("[$NT$-404]#,##0.00;[Red][$NT$-404]\\-#,##0.00", -5.5, "NT$-5.50");
    row("[$NT$]0", 3, "NT$3");
    row("[$$-409]0", 3, "$3");
    row("[$€-407] #,##0.00", -3, "-€ 3.00");
    row("#,##0.00 [$€-407]", -1234.5, "-1,234.50 €");
    // General, alone and among text.
    row("General", 0.1, "0.1");
    row("General", 0, "0");
    row("General", -123.456, "-123.456");
    row("General", 1.0 / 3, "0.333333333333333");
    row("General", 0.30000000000000004, "0.3");
    row("General", 123456789012345.6, "123456789012346");
    row("General", 99999999999, "99999999999");
    row("General", 0.0001, "0.0001");
    row("GENERAL", 1, "1");
    row("General\" pts\"", 1, "1 pts");
    row("General\" pts\"", -2.5, "-2.5 pts");
    row("\"Total: \"General", 1, "Total: 1");
    row("\"x\"General", -1, "-x1");
}

void TestFormatCode::show()
{
    QFETCH(QString, code);
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(FormatCode::show(code, value), std::optional<QString>(expected));
}

void TestFormatCode::rounding_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    int n = 0;
    const auto row = [&n](const char *code, double value, const char *expected) {
        QTest::addRow("%d: %s %.17g", ++n, code, value) << QString::fromUtf8(code) << value << QString::fromUtf8(expected);
    };
    // Half away from zero on the shortest decimal form of the double: 1.005
    // is a little below 1.005 in binary, 17.849999999999998 reads as itself.
    row("0.00", 1.005, "1.01");
    row("0.00", 2.675, "2.68");
    row("0.00", 0.125, "0.13");
    row("0.000", 0.0005, "0.001");
    row("0", 0.5, "1");
    row("0", 1.5, "2");
    row("0", 2.5, "3");
    row("0.0", 17.849999999999998, "17.8");
    row("0.0", -765.9499999999999, "-765.9");
    row("0.000", 314.66949999999997, "314.669");
    row("#,##0.00", 43366.204999999994, "43,366.20");
    row("#,##0", 999.5, "1,000");
    row("0.00", -0.005, "-0.01");
    row("0.0", 2.45, "2.5");
    row("0.00", 8.345, "8.35");
    row("0", 0.49999999999999994, "0");
    row("0.0", 9.96, "10.0");
    row("0.0", 0.96, "1.0");
    row("0.0", 0.096, "0.1");
    row("0.0", 1e-300, "0.0");
    row("0.000", 1234567890.0005, "1234567890.001");
    // Percent multiplies the double first: 70.93515 becomes 7093.514999999999.
    row("0.00%", 70.93515, "7093.51%");
    row("0%", -625.425, "-62542%");
    // Integers below 2^53 show exactly; otherwise 15 significant digits.
    row("0", 8332123215303322, "8332123215303322");
    row("0.000", 7242883348158828, "7242883348158828.000");
    row("#,##0", 5770539947512745, "5,770,539,947,512,745");
    row("0", 12345678901234567.0, "12345678901234600");
    row("0", 123456789012345678.0, "123456789012346000");
    row("0", 1e15 + 0.5, "1000000000000000");
    row("0.00", 1e20, "100000000000000000000.00");
    row("0.00", 639554536674233.9, "639554536674234.00");
    row("0.0000", -637657671385.8646, "-637657671385.8650");
    row("0.00%", 14035846623206.205, "1403584662320620.00%");
    row("0.0%", 38531247986090.664, "3853124798609070.0%");
    row("General", -0.0007867077286685385, "-0.000786707728668539");
    // General rounds the shortest form half up too, not the double itself as
    // the text form does: these doubles lie a little below the half-way
    // decimal (656.77947612865546...), or exactly on it. Calc showed each so
    // from an Excel 2 file, which holds the double itself.
    row("General", 656.7794761286555, "656.779476128656");
    row("General", 1185.191555822195, "1185.1915558222");
    row("General", 1.041392685158225, "1.04139268515823");
    row("General", -196.7657742215285, "-196.765774221529");
    row("General", 0.004260701941265095, "0.0042607019412651");
    row("General", 856892454943510.5, "856892454943511");
    row("General", 55629037645293.25, "55629037645293.3");
    row("General;-General", -74501041334408.25, "-74501041334408.3");
}

void TestFormatCode::rounding()
{
    QFETCH(QString, code);
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(FormatCode::show(code, value), std::optional<QString>(expected));
}

// Scores and IDs in General show as their text form does.
void TestFormatCode::generalMatchesTextForm()
{
    for (int i = -20000; i <= 20000; i += 7) {
        for (double value : {i / 4.0, i / 100.0, i * 37.0, i / 3.0}) {
            const QString expected = CellValue::ofNumber(value).textForm();
            QCOMPARE(FormatCode::show(u"General", value), std::optional<QString>(expected));
        }
    }
}

void TestFormatCode::refusals_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<double>("value");
    int n = 0;
    const auto row = [&n](const char *code, double value = 1.5) {
        QTest::addRow("%d: %s", ++n, code) << QString::fromUtf8(code) << value;
    };
    // Dates, times, fractions, scientific notation and text.
    for (const char *code : {"yyyy/m/d", "h:mm", "[h]:mm:ss", "mm:ss.0", "# ?/?", "0.00E+00", "##0.0E+0", "@",
                             "\"x\"@", "AM/PM", "[$-404]e/m/d", "BOOLEAN", "0/4"})
        row(code);
    // Conditions, fills, numeral systems, locales with other separators or
    // calendars, and '_' before anything but plain ASCII.
    for (const char *code : {"[>=100]0;0", "[<0]\"neg\";0", "[<=9999999]###\\-####;\\(###\\)\\ ###\\-####", "*-0", "0*%", "[DBNum1]0", "[NatNum1]0", "[$-407]0.00",
                             "[$-40C]#,##0.00", "[$-zh-TW]0", "[$-2000404]0", "[$-1000404]0", "[$€-x]0",
                             "[$-F400]0", "0_元", "[Blue2]0", "[h]0"})
        row(code);
    // What Calc shows oddly or not at all: other digits, a second point, a
    // comma before the point or leading, grouped '?', '#' with '?' after
    // the point, letters, '%' alone, General with digits or percent.
    for (const char *code : {"0.5", "1", "0.0.0", "0,.0", ",0", "0.0,0", "?,??0", "0.0#?", "0 pts", "0x", "%",
                             "General%", "General0", "General,", "General.", "GeneralGeneral", "0;0;0;0;0", "\"x\".",
                             "0;@;0"})
        row(code);
    // Damaged codes.
    for (const char *code : {"", "\"0", "0\"", "[Red0", "0\\", "0_", "0*", "[$-404", "0;\"neg", "]0", "0]"})
        row(code);
    // Numbers that cannot be shown for certain.
    const double inf = std::numeric_limits<double>::infinity();
    for (double value : {std::nan(""), inf, -inf, 1.5e20, -1e21, std::numeric_limits<double>::max()})
        row("0.00", value);
    for (double value : {1e15, 1e16, 1e-5, 1e-7, -2.5e-10, 6550214063434974.0})
        row("General", value);
}

void TestFormatCode::refusals()
{
    QFETCH(QString, code);
    QFETCH(double, value);
    const auto shown = FormatCode::show(code, value);
    QVERIFY2(!shown, qPrintable(QStringLiteral("shown as [%1]").arg(shown.value_or(QString()))));
}

void TestFormatCode::builtins_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<std::optional<QString>>("code");
    QTest::addColumn<NumberClass>("shownAs");
    // A number each shows, or nothing where Calc's text is not shown here.
    QTest::addColumn<std::optional<QString>>("shown");
    const auto row = [](int id, std::optional<QString> code, NumberClass shownAs, std::optional<QString> shown) {
        QTest::addRow("%d", id) << id << code << shownAs << shown;
    };
    using C = NumberClass;
    row(0, text("General"), C::Plain, text("45000.25"));
    row(1, text("0"), C::Plain, text("45000"));
    row(2, text("0.00"), C::Plain, text("45000.25"));
    row(3, text("#,##0"), C::Plain, text("45,000"));
    row(4, text("#,##0.00"), C::Plain, text("45,000.25"));
    row(5, text("$#,##0_);($#,##0)"), C::Plain, text("$45,000 "));
    row(6, text("$#,##0_);[Red]($#,##0)"), C::Plain, text("$45,000 "));
    row(7, text("$#,##0.00_);($#,##0.00)"), C::Plain, text("$45,000.25 "));
    row(8, text("$#,##0.00_);[Red]($#,##0.00)"), C::Plain, text("$45,000.25 "));
    row(9, text("0%"), C::Percent, text("4500025%"));
    row(10, text("0.00%"), C::Percent, text("4500025.00%"));
    row(11, text("0.00E+00"), C::Plain, kNothing);
    row(12, text("# ?/?"), C::Plain, kNothing);
    row(13, text("# ?\?/?\?"), C::Plain, kNothing);
    for (int id : {14, 15, 16, 17, 27, 28, 29, 30, 31, 36, 50, 51, 54, 57, 58})
        row(id, FormatCode::builtinCode(id), C::Date, kNothing);
    for (int id : {18, 19, 20, 21, 45, 46, 47})
        row(id, FormatCode::builtinCode(id), C::Time, kNothing);
    // Taiwanese times: 上午/下午 is the zh-TW AM/PM.
    for (int id : {32, 33, 34, 35, 52, 53, 55, 56})
        row(id, FormatCode::builtinCode(id), C::Time, kNothing);
    row(22, text("m/d/yyyy h:mm"), C::DateTime, kNothing);
    row(37, text("#,##0_);(#,##0)"), C::Plain, text("45,000 "));
    row(38, text("#,##0_);[Red](#,##0)"), C::Plain, text("45,000 "));
    row(39, text("#,##0.00_);(#,##0.00)"), C::Plain, text("45,000.25 "));
    row(40, text("#,##0.00_);[Red](#,##0.00)"), C::Plain, text("45,000.25 "));
    // The accounting formats fill with '*', which depends on the column.
    for (int id : {41, 42, 43, 44})
        row(id, FormatCode::builtinCode(id), C::Plain, kNothing);
    row(48, text("##0.0E+0"), C::Plain, kNothing);
    row(49, text("@"), C::Text, kNothing);
}

void TestFormatCode::builtins()
{
    QFETCH(int, id);
    QFETCH(std::optional<QString>, code);
    QFETCH(NumberClass, shownAs);
    QFETCH(std::optional<QString>, shown);
    const auto builtin = FormatCode::builtinCode(id);
    QVERIFY(builtin);
    QCOMPARE(builtin, code);
    QCOMPARE(FormatCode::classify(*builtin), shownAs);
    QCOMPARE(FormatCode::show(*builtin, 45000.25), shown);

    // Ids without a code of their own (23-26 are locale-dependent
    // currencies; 59 on are Thai) have none.
    if (id == 0) {
        for (int unknown : {-1, 23, 24, 25, 26, 59, 81, 163, 164, 1000})
            QCOMPARE(FormatCode::builtinCode(unknown), kNothing);
    }
}

QTEST_APPLESS_MAIN(TestFormatCode)

#include "tst_formatcode.moc"
