// The format readers on small files written here, one per thing a reader
// must get right, and on hostile files that must be refused in bounded
// time and memory, never read in part.
#include "support/WorkbookFiles.h"

#include "workbook/CompoundFile.h"
#include "workbook/FormatCode.h"
#include "workbook/ReaderSupport.h"
#include "workbook/Workbook.h"
#include "workbook/XlsDecryption.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

using tallyra::ReadFailure;
using tallyra::Workbook;
namespace WorkbookReader = tallyra::WorkbookReader;
using namespace tallyra::test;

Q_DECLARE_METATYPE(tallyra::ReadFailure)

namespace {

QString columnLetters(int column)
{
    QString letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters;
}

// Every sheet's name and non-empty cell: "S!B2 number 4.5".
QStringList describe(const Workbook &book)
{
    static const char *kinds[] = {"empty", "number", "text", "boolean", "error"};
    QStringList out;
    for (const auto &sheet : book.sheets) {
        out << QStringLiteral("sheet %1").arg(sheet.name);
        for (int r = 0; r < sheet.rowCount(); ++r)
            for (int c = 0; c < int(sheet.rows[size_t(r)].size()); ++c)
                if (const auto *v = sheet.at(r, c); v && !v->isEmpty())
                    out << QStringLiteral("%1!%2%3 %4 %5").arg(sheet.name, columnLetters(c)).arg(r + 1)
                               .arg(QLatin1String(kinds[int(v->kind)]), v->textForm());
    }
    return out;
}

Parts withPart(Parts parts, const QString &name, const QByteArray &bytes)
{
    for (auto &p : parts)
        if (p.first == name) {
            p.second = bytes;
            return parts;
        }
    parts.append({name, bytes});
    return parts;
}

const QByteArray kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const QByteArray kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// A BIFF workbook stream: globals (with the shared strings given) and one
// substream per sheet, the BOUNDSHEET offsets worked out here.
struct BiffSheet {
    QByteArray name;   // Latin-1 in BIFF5; written as UTF-16 in BIFF8
    QByteArray records; // between the sheet's BOF and EOF
    quint8 type = 0;   // 0 worksheet, 2 chart
};

QByteArray bof(bool biff8, quint16 kind) { return biffRecord(0x0809, le16(biff8 ? 0x0600 : 0x0500) + le16(kind) + QByteArray(biff8 ? 12 : 4, '\0')); }

QByteArray biffStream(bool biff8, const QList<BiffSheet> &sheets, const QByteArray &globalsExtra = {})
{
    const auto boundSheet = [&](quint32 offset, const BiffSheet &s) {
        QByteArray d = le32(offset) + char(0) + char(s.type) + char(s.name.size());
        if (biff8) {
            d += char(1);
            for (char c : s.name)
                d += le16(quint8(c));
        } else {
            d += s.name;
        }
        return biffRecord(0x0085, d);
    };
    qsizetype globalsSize = bof(biff8, 5).size() + globalsExtra.size() + biffRecord(0x000A, {}).size();
    for (const auto &s : sheets)
        globalsSize += boundSheet(0, s).size();
    QByteArray globals = bof(biff8, 5);
    QByteArray body;
    for (const auto &s : sheets) {
        globals += boundSheet(quint32(globalsSize + body.size()), s);
        body += bof(biff8, s.type == 2 ? 0x20 : 0x10) + s.records + biffRecord(0x000A, {});
    }
    return globals + globalsExtra + biffRecord(0x000A, {}) + body;
}

QByteArray cellHeader(quint16 row, quint16 column) { return le16(row) + le16(column) + le16(15); }
QByteArray number(quint16 row, quint16 column, double v) { return biffRecord(0x0203, cellHeader(row, column) + leDouble(v)); }
QByteArray labelSst(quint16 row, quint16 column, quint32 index) { return biffRecord(0x00FD, cellHeader(row, column) + le32(index)); }
QByteArray formula(quint16 row, quint16 column, const QByteArray &result)
{
    return biffRecord(0x0006, cellHeader(row, column) + result + le16(0) + le32(0) + le16(3) + QByteArray::fromHex("1e0100"));
}
QByteArray specialResult(quint8 kind, quint8 value) { return QByteArray(1, char(kind)) + char(0) + char(value) + QByteArray(3, '\0') + le16(0xFFFF); }
QByteArray unicode8(const QByteArray &latin1) { return le16(quint16(latin1.size())) + char(0) + latin1; }

const char *const kClasses[] = {"Plain", "Percent", "Date", "Time", "DateTime", "Boolean", "Text"};

// Every number cell with its value and its format's code ("B1 91001
// 000000"), and with its class where `classes` ("B1 91001 Plain 000000");
// a logical value as such ("C1 TRUE").
QStringList describeFormats(const Workbook &book, bool classes)
{
    QStringList out;
    const auto &sheet = book.sheets.front();
    for (int r = 0; r < sheet.rowCount(); ++r) {
        for (int c = 0; c < int(sheet.rows[size_t(r)].size()); ++c) {
            const auto *v = sheet.at(r, c);
            const QString at = columnLetters(c) + QString::number(r + 1);
            if (v->kind == tallyra::CellValue::Kind::Boolean) {
                out << at + u' ' + v->textForm();
            } else if (v->isNumber()) {
                const QString code = v->format < book.formats.size() ? book.formats[v->format].code : QStringLiteral("?");
                out << at + u' ' + v->textForm() + u' '
                           + (classes ? QLatin1String(kClasses[int(v->shownAs)]) + u' ' : QString()) + code;
            }
        }
    }
    return out;
}

// A BIFF cell record's row, column and XF number.
QByteArray at(quint16 row, quint16 column, quint16 xf) { return le16(row) + le16(column) + le16(xf); }

} // namespace

class TestWorkbookFormats : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    std::optional<Workbook> readFile(const QString &name, const QByteArray &bytes, ReadFailure *failure = nullptr)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return std::nullopt;
        f.close();
        return WorkbookReader::read(path, failure);
    }

private slots:
    void openXml_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("cells");

        // Sheets once moved: sheetId says nothing of the order, and each
        // formula result stays on its own sheet.
        Parts moved = xlsxParts("<row r=\"1\"><c r=\"A1\"><f>B1</f><v>7</v></c></row>");
        moved = withPart(moved, "xl/workbook.xml", "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel + "\"><sheets>"
                         "<sheet name=\"Third\" sheetId=\"3\" r:id=\"rId1\"/><sheet name=\"First\" sheetId=\"1\" r:id=\"rId9\"/>"
                         "</sheets></workbook>");
        moved = withPart(moved, "xl/_rels/workbook.xml.rels",
                         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                         "<Relationship Id=\"rId1\" Type=\"" + kRel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                         "<Relationship Id=\"rId9\" Type=\"" + kRel + "/worksheet\" Target=\"/xl/worksheets/sheet9.xml\"/></Relationships>");
        moved = withPart(moved, "xl/worksheets/sheet9.xml", "<worksheet xmlns=\"" + kMain + "\"><sheetData><row r=\"1\">"
                         "<c r=\"A1\"><v>1</v></c><c r=\"B1\"><f>A1*2</f><v>2</v></c></row></sheetData></worksheet>");
        QTest::newRow("sheets by position; absolute target") << zipOf(moved)
            << QStringList{"sheet Third", "Third!A1 number 7", "sheet First", "First!A1 number 1", "First!B1 number 2"};

        QTest::newRow("inline strings") << zipOf(xlsxParts(
            "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>S001</t></is></c>"
            "<c r=\"B1\" t=\"inlineStr\"><is><r><t>a</t></r><r><t xml:space=\"preserve\"> b</t></r></is></c></row>"))
            << QStringList{"sheet S", "S!A1 text S001", "S!B1 text a b"};

        QTest::newRow("array formula where its cells are") << zipOf(xlsxParts(
            "<row r=\"2\"><c r=\"C2\"><f t=\"array\" ref=\"C2:C3\">A2:A3*2</f><v>4</v></c></row>"
            "<row r=\"3\"><c r=\"C3\"><v>6</v></c></row>"))
            << QStringList{"sheet S", "S!C2 number 4", "S!C3 number 6"};

        QTest::newRow("shared formula by its cached values") << zipOf(xlsxParts(
            "<row r=\"1\"><c r=\"B1\"><f t=\"shared\" ref=\"B1:B2\" si=\"0\">A1+1</f><v>2</v></c></row>"
            "<row r=\"2\"><c r=\"B2\"><f t=\"shared\" si=\"0\"/><v>3</v></c></row>"))
            << QStringList{"sheet S", "S!B1 number 2", "S!B2 number 3"};

        QTest::newRow("empty shared strings are empty") << zipOf(xlsxParts(
            "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
            "<c r=\"C1\" t=\"s\"><v>2</v></c><c r=\"D1\" t=\"s\"><v>3</v></c></row>",
            "<si><t>x</t></si><si><t/></si><si/><si><t>y</t></si>"))
            << QStringList{"sheet S", "S!A1 text x", "S!D1 text y"};

        QTest::newRow("phonetic guide is not the text") << zipOf(xlsxParts(
            "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"A2\" t=\"s\"><v>1</v></c></row>",
            "<si><t>漢字</t><rPh sb=\"0\" eb=\"2\"><t>かんじ</t></rPh><phoneticPr fontId=\"1\"/></si>"
            "<si><r><t>ab</t></r><r><rPr><b/></rPr><t>cd</t></r><rPh sb=\"0\" eb=\"1\"><t>x</t></rPh></si>"))
            << QStringList{"sheet S", "S!A1 text 漢字", "S!A2 text abcd"};

        QTest::newRow("cached results of every type") << zipOf(xlsxParts(
            "<row r=\"1\"><c r=\"A1\" t=\"b\"><f>TRUE()</f><v>1</v></c><c r=\"B1\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c>"
            "<c r=\"C1\" t=\"e\"><v>#N/A</v></c><c r=\"D1\"><f>A1+1</f></c><c r=\"E1\" t=\"str\"><f>\"a\"</f><v>abc</v></c>"
            "<c r=\"F1\" t=\"str\"><f>X</f><v>#VALUE!</v></c><c r=\"G1\" t=\"b\"><v>0</v></c></row>"))
            << QStringList{"sheet S", "S!A1 boolean TRUE", "S!B1 error #DIV/0!", "S!C1 error #N/A",
                           "S!D1 error #N/A", "S!E1 text abc", "S!F1 error #VALUE!", "S!G1 boolean FALSE"};

        QTest::newRow("dates as serial numbers; never a NaN") << zipOf(xlsxParts(
            "<row r=\"1\"><c r=\"A1\" t=\"d\"><v>2024-03-01T12:00:00</v></c><c r=\"B1\" t=\"d\"><v>10:10:10</v></c>"
            "<c r=\"C1\"><v>NaN</v></c><c r=\"D1\"><v>-inf</v></c><c r=\"E1\"><v>45352</v></c>"
            "<c r=\"F1\" t=\"d\"><v>2014-01-16T15:59:59.99999979045242400</v></c></row>"))
            << QStringList{"sheet S", "S!A1 number 45352.5", "S!B1 text 10:10:10", "S!C1 error #NUM!",
                           "S!D1 error #NUM!", "S!E1 number 45352", "S!F1 number 41655.6666550926"};

        QTest::newRow("byte order mark, comments, CDATA, references") << zipOf(withPart(xlsxParts({}), "xl/worksheets/sheet1.xml",
            "\xEF\xBB\xBF<?xml version=\"1.0\"?><!-- made by hand --><worksheet xmlns=\"" + kMain + "\"><sheetData><row r=\"1\">"
            "<c r=\"A1\" t=\"inlineStr\"><is><t><![CDATA[<&>]]>&#x4E2D;&#25991;&amp;&lt;</t></is></c>"
            "<c r=\"B1\" t=\"inlineStr\"><is><t>a\r\nb\rc&#13;</t></is></c></row></sheetData></worksheet>"))
            << QStringList{"sheet S", "S!A1 text <&>中文&<", "S!B1 text a\nb\nc\r"};

        QTest::newRow("cells without addresses follow on") << zipOf(xlsxParts(
            "<row><c><v>1</v></c><c><v>2</v></c></row><row><c t=\"inlineStr\"><is><t>x_x000D__x005F_</t></is></c></row>"))
            << QStringList{"sheet S", "S!A1 number 1", "S!B1 number 2", "S!A2 text x\r_"};

        QTest::newRow("only codes that need one are decoded") << zipOf(xlsxParts(
            "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"inlineStr\"><is><t>S_x0041_1_x1_</t></is></c>"
            "<c r=\"C1\" t=\"inlineStr\"><is><t>_x005f_x0009_|_xFFFE_|_x00012_|_x_|_xD83D__xDE00_</t></is></c>"
            "<c r=\"D1\" t=\"str\"><v>a_x000D_b</v></c></row>",
            "<si><t>a_x0020_b_x000a_c_xFEFF_</t></si>"))
            << QStringList{"sheet S", "S!A1 text a_x0020_b\nc_xFEFF_", "S!B1 text S_x0041_1\u0001",
                           "S!C1 text _x0009_|\uFFFE|_x00012_|_x_|😀", "S!D1 text a_x000D_b"};

        QTest::newRow("inline string beside a value or a formula") << zipOf(xlsxParts(
            "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><v>1.0</v><is><t>x</t></is></c>"
            "<c r=\"B1\" t=\"inlineStr\"><is><t>y</t></is><v>2</v></c>"
            "<c r=\"C1\" t=\"inlineStr\"><v> </v><is><t>z</t></is></c>"
            "<c r=\"D1\" t=\"inlineStr\"><f>\"q\"</f><is><t>u</t></is></c></row>"))
            << QStringList{"sheet S", "S!C1 text z", "S!D1 error #N/A"};

        QTest::newRow("a leading U+FEFF is text") << zipOf(xlsxParts(
            "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"inlineStr\"><is><t>\xEF\xBB\xBF" "810102</t></is></c></row>",
            "<si><t>\xEF\xBB\xBF\xEF\xBB\xBF" "a</t></si>"))
            << QStringList{"sheet S", "S!A1 text \uFEFF\uFEFFa", "S!B1 text \uFEFF810102"};

        // Strict: other namespaces, the same shapes.
        QByteArray strictMain = "http://purl.oclc.org/ooxml/spreadsheetml/main";
        QByteArray strictRel = "http://purl.oclc.org/ooxml/officeDocument/relationships";
        Parts strict = xlsxParts({});
        strict = withPart(strict, "_rels/.rels", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                          "<Relationship Id=\"r1\" Type=\"" + strictRel + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
        strict = withPart(strict, "xl/workbook.xml", "<x:workbook xmlns:x=\"" + strictMain + "\" xmlns:r=\"" + strictRel + "\"><x:sheets>"
                          "<x:sheet name=\"Strict\" sheetId=\"1\" r:id=\"rId1\"/></x:sheets></x:workbook>");
        strict = withPart(strict, "xl/_rels/workbook.xml.rels", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                          "<Relationship Id=\"rId1\" Type=\"" + strictRel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>");
        strict = withPart(strict, "xl/worksheets/sheet1.xml", "<x:worksheet xmlns:x=\"" + strictMain + "\"><x:sheetData><x:row r=\"1\">"
                          "<x:c r=\"A1\"><x:v>5</x:v></x:c></x:row></x:sheetData></x:worksheet>");
        QTest::newRow("Strict namespaces") << zipOf(strict) << QStringList{"sheet Strict", "Strict!A1 number 5"};

        const QByteArray defaultOnly = "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
            "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
            "<Default Extension=\"xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/></Types>";
        QTest::newRow("workbook by its Default content type") << zipOf(withPart(xlsxParts("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"),
            "[Content_Types].xml", defaultOnly)) << QStringList{"sheet S", "S!A1 number 1"};

        const QByteArray macro = "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
            "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
            "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.ms-excel.sheet.macroEnabled.main+xml\"/></Types>";
        QTest::newRow("macro-enabled workbook") << zipOf(withPart(xlsxParts("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"),
            "[Content_Types].xml", macro)) << QStringList{"sheet S", "S!A1 number 1"};

        Parts chart = xlsxParts("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
        chart = withPart(chart, "xl/workbook.xml", "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel + "\"><sheets>"
                         "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Chart1\" sheetId=\"2\" r:id=\"rId3\"/></sheets></workbook>");
        chart = withPart(chart, "xl/_rels/workbook.xml.rels", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                         "<Relationship Id=\"rId1\" Type=\"" + kRel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                         "<Relationship Id=\"rId3\" Type=\"" + kRel + "/chartsheet\" Target=\"chartsheets/sheet1.xml\"/></Relationships>");
        chart = withPart(chart, "xl/chartsheets/sheet1.xml", "<chartsheet xmlns=\"" + kMain + "\"><sheetData><row r=\"1\"><c r=\"A1\"><v>9</v></c></row></sheetData></chartsheet>");
        QTest::newRow("chart sheet without cells") << zipOf(chart) << QStringList{"sheet S", "S!A1 number 1", "sheet Chart1"};

        // Short decimals take a quicker way than the rest: both read alike.
        QTest::newRow("numbers in every form") << zipOf(xlsxParts(
            "<row r=\"1\"><c r=\"A1\"><v> 7 </v></c><c r=\"B1\"><v>1e3</v></c><c r=\"C1\"><v>007</v></c><c r=\"D1\"><v>-0</v></c><c r=\"E1\"><v>123456789012345678</v></c>"
            "<c r=\"F1\"><v>0.1234567890123456</v></c><c r=\"G1\"><v>-12.5</v></c><c r=\"H1\"><v>5.</v></c><c r=\"I1\"><v>.5</v></c><c r=\"J1\"><v>+5</v></c>"
            "<c r=\"K1\"><v>0.000012</v></c><c r=\"L1\"><v>99999999999999.9</v></c><c r=\"M1\"><v>1E-7</v></c></row>"))
            << QStringList{"sheet S", "S!A1 number 7", "S!B1 number 1000", "S!C1 number 7",
                           "S!D1 number 0", "S!E1 number 1.23456789012346E+17", "S!F1 number 0.123456789012346", "S!G1 number -12.5",
                           "S!H1 number 5", "S!I1 number 0.5", "S!J1 number 5", "S!K1 number 1.2E-05",
                           "S!L1 number 99999999999999.9", "S!M1 number 1E-07"};

        QTest::newRow("the largest sheet's last cell") << zipOf(xlsxParts(
            "<row r=\"1048576\"><c r=\"XFD1048576\"><v>1</v></c></row>")) << QStringList{"sheet S", "S!XFD1048576 number 1"};
    }

    void openXml()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, cells);
        ReadFailure failure = ReadFailure::None;
        const auto book = readFile(QStringLiteral("t.xlsx"), file, &failure);
        QVERIFY2(book, qPrintable(WorkbookReader::failureText(failure)));
        QCOMPARE(describe(*book), cells);
    }

    void openDocument_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("cells");
        const QByteArray cell = "<table:table-cell office:value-type=\"float\" office:value=\"";
        QTest::newRow("repeated rows and columns") << odsOf(
            "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell table:number-columns-repeated=\"2\" "
            "office:value-type=\"float\" office:value=\"3\"/></table:table-row>"
            "<table:table-row table:number-rows-repeated=\"1048000\"><table:table-cell table:number-columns-repeated=\"16384\"/></table:table-row>"
            "<table:table-row><table:table-cell/></table:table-row>")
            << QStringList{"sheet T", "T!A1 number 3", "T!B1 number 3", "T!A2 number 3", "T!B2 number 3"};
        QTest::newRow("covered cells keep their place") << odsOf(
            "<table:table-row><table:table-cell table:number-columns-spanned=\"2\" office:value-type=\"string\"><text:p>A</text:p>"
            "</table:table-cell><table:covered-table-cell/>" + cell + "5\"/></table:table-row>")
            << QStringList{"sheet T", "T!A1 text A", "T!C1 number 5"};
        QTest::newRow("blanks as the program shows them") << odsOf(
            "<table:table-row><table:table-cell office:value-type=\"string\"><text:p><text:s/>85<text:s text:c=\"2\"/></text:p></table:table-cell>"
            "<table:table-cell office:value-type=\"string\"><text:p>  a  \n b <text:span> c</text:span></text:p><text:p>d</text:p></table:table-cell>"
            "<table:table-cell office:value-type=\"string\"><office:annotation><text:p>note</text:p></office:annotation><text:p>e</text:p></table:table-cell>"
            "</table:table-row>")
            << QStringList{"sheet T", "T!A1 text  85  ", "T!B1 text a b c\nd", "T!C1 text e"};
        QTest::newRow("formula results of every type") << odsOf(
            "<table:table-row>"
            "<table:table-cell table:formula=\"of:=1/0\" office:value-type=\"string\" office:string-value=\"\" calcext:value-type=\"error\"><text:p>#DIV/0!</text:p></table:table-cell>"
            "<table:table-cell table:formula=\"of:=TRUE()\" office:value-type=\"boolean\" office:boolean-value=\"true\"><text:p>TRUE</text:p></table:table-cell>"
            "<table:table-cell table:formula=\"of:=&quot;a&quot;\" office:value-type=\"string\" office:string-value=\"缺考\"><text:p>缺考</text:p></table:table-cell>"
            "<table:table-cell table:formula=\"of:=1+1\"/>"
            "<table:table-cell office:value-type=\"percentage\" office:value=\"0.5\"/>"
            "<table:table-cell office:value-type=\"date\" office:date-value=\"2024-03-01T12:00:00\"/>"
            "<table:table-cell office:value-type=\"time\" office:time-value=\"PT36H\"/>"
            "</table:table-row>")
            << QStringList{"sheet T", "T!A1 error #DIV/0!", "T!B1 boolean TRUE", "T!C1 text 缺考", "T!D1 error #N/A",
                           "T!E1 number 0.5", "T!F1 number 45352.5", "T!G1 number 1.5"};
        QTest::newRow("numbers in every form") << odsOf(
            "<table:table-row>" + cell + " 7 \"/>" + cell + "1e3\"/>" + cell + "007\"/>" + cell + "-0\"/>"
            + cell + "123456789012345678\"/>" + cell + "0.1234567890123456\"/>" + cell + "-12.5\"/>" + cell + "5.\"/>" + cell + ".5\"/>"
            + cell + "+5\"/>" + cell + "0.000012\"/>" + cell + "99999999999999.9\"/>" + cell + "1E-7\"/></table:table-row>")
            << QStringList{"sheet T", "T!A1 number 7", "T!B1 number 1000", "T!C1 number 7",
                           "T!D1 number 0", "T!E1 number 1.23456789012346E+17", "T!F1 number 0.123456789012346", "T!G1 number -12.5",
                           "T!H1 number 5", "T!I1 number 0.5", "T!J1 number 5", "T!K1 number 1.2E-05",
                           "T!L1 number 99999999999999.9", "T!M1 number 1E-07"};
        // A prefix means what it was last declared as, on whichever element.
        QTest::newRow("value types by their namespace") << odsOf(
            "<table:table-row><table:table-cell xmlns:x=\"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0\" "
            "office:value-type=\"string\" x:value-type=\"error\"><text:p>#N/A</text:p></table:table-cell>"
            "<table:table-cell xmlns:x=\"urn:plain\" office:value-type=\"string\" x:value-type=\"error\"><text:p>#N/A</text:p></table:table-cell>"
            "<table:table-cell office:value-type=\"string\" calcext:value-type=\"error\"><text:p>#REF!</text:p></table:table-cell>"
            "<table:table-cell xmlns:calcext=\"urn:plain\" office:value-type=\"float\" office:value=\"2\" calcext:value-type=\"error\">"
            "<text:p>2</text:p></table:table-cell></table:table-row>")
            << QStringList{"sheet T", "T!A1 error #N/A", "T!B1 text #N/A", "T!C1 error #REF!", "T!D1 text 2"};
    }

    void openDocument()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, cells);
        ReadFailure failure = ReadFailure::None;
        const auto book = readFile(QStringLiteral("t.ods"), file, &failure);
        QVERIFY2(book, qPrintable(WorkbookReader::failureText(failure)));
        QCOMPARE(describe(*book), cells);
    }

    // Thousands of cells whose names, attributes and texts of every length
    // fall across the cursor's refills, some long and with references:
    // each read whole, whichever way it was scanned.
    void valuesAcrossRefills()
    {
        QByteArray xlsxRows, odsRows;
        QStringList xlsxCells{"sheet S"}, odsCells{"sheet T"};
        for (int r = 1; r <= 4000; ++r) {
            const QByteArray row = QByteArray::number(r);
            // 1 to 150 characters, an entity and a line end in the longer ones.
            QByteArray text = QByteArray(r % 150 + 1, char('a' + r % 26));
            QString shown = QString::fromLatin1(text);
            if (r % 3 == 0) {
                text += "&amp;\r\nx";
                shown += QStringLiteral("&\nx");
            }
            xlsxRows += "<row r=\"" + row + "\"><c r=\"A" + row + "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c>"
                        "<c r=\"B" + row + "\" s=\"0\"><v>" + row + ".25</v></c></row>";
            xlsxCells << QStringLiteral("S!A%1 text %2").arg(r).arg(shown) << QStringLiteral("S!B%1 number %1.25").arg(r);
            // In an attribute a line end and a tab are blanks; &#9; is a tab.
            QByteArray value = QByteArray(r % 120 + 1, char('A' + r % 26));
            QString valueShown = QString::fromLatin1(value);
            if (r % 4 == 0) {
                value += "&#9;\t\n&quot;";
                valueShown += QStringLiteral("\t  \"");
            }
            odsRows += "<table:table-row><table:table-cell office:value-type=\"string\" office:string-value=\"" + value
                       + "\"><text:p>p</text:p></table:table-cell><table:table-cell office:value-type=\"float\" office:value=\"-" + row
                       + ".5\"><text:p>x</text:p></table:table-cell></table:table-row>";
            odsCells << QStringLiteral("T!A%1 text %2").arg(r).arg(valueShown) << QStringLiteral("T!B%1 number -%1.5").arg(r);
        }
        ReadFailure failure = ReadFailure::None;
        const auto xlsx = readFile(QStringLiteral("refills.xlsx"), zipOf(xlsxParts(xlsxRows)), &failure);
        QVERIFY2(xlsx, qPrintable(WorkbookReader::failureText(failure)));
        QCOMPARE(describe(*xlsx), xlsxCells);
        const auto ods = readFile(QStringLiteral("refills.ods"), odsOf(odsRows), &failure);
        QVERIFY2(ods, qPrintable(WorkbookReader::failureText(failure)));
        QCOMPARE(describe(*ods), odsCells);
    }

    void biff_data()
    {
        QTest::addColumn<QByteArray>("streamName");
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QStringList>("cells");

        // Shared strings over two CONTINUE records: an empty string, and a
        // string whose characters turn wide at the break.
        QByteArray sst = biffRecord(0x00FC, le32(4) + le32(4) + unicode8("ab") + le16(0) + char(0) + le16(5) + char(0) + "xyz");
        sst += biffRecord(0x003C, QByteArray(1, char(1)) + le16(0x6210) + le16(0x7E3E));
        sst += biffRecord(0x003C, unicode8("last"));
        const QByteArray cells = QByteArray(biffRecord(0x0200, le32(0) + le32(1) + le16(0) + le16(1) + le16(0))) // DIMENSION: A1 only
            + labelSst(0, 0, 0) + labelSst(0, 1, 1) + labelSst(0, 2, 2) + labelSst(0, 3, 3)
            + number(9, 0, 45352.5) // a date: its serial number, and outside DIMENSION
            + biffRecord(0x027E, cellHeader(1, 0) + le32((123 << 2) | 2)) // RK integer
            + biffRecord(0x027E, cellHeader(1, 1) + le32((5850 << 2) | 3)) // RK integer / 100
            + biffRecord(0x00BD, le16(2) + le16(0) + le16(15) + le32((1 << 2) | 2) + le16(15) + le32((2 << 2) | 2) + le16(1)) // MULRK
            + formula(3, 0, leDouble(77.5)) + formula(3, 1, specialResult(0, 0)) + biffRecord(0x0207, unicode8("text"))
            + formula(3, 2, specialResult(1, 1)) + formula(3, 3, specialResult(2, 0x07)) + formula(3, 4, specialResult(0, 0))
            + biffRecord(0x0205, cellHeader(4, 0) + char(0) + char(0)) + biffRecord(0x0205, cellHeader(4, 1) + char(0x2A) + char(1))
            + biffRecord(0x0204, cellHeader(5, 0) + unicode8("label"))
            // An embedded chart: its records are not cells.
            + bof(true, 0x20) + number(0, 5, 999) + biffRecord(0x000A, {}) + number(6, 0, 1);
        const QStringList expected{"sheet 成績", "成績!A1 text ab", "成績!C1 text xyz成績", "成績!D1 text last",
                                   "成績!A2 number 123", "成績!B2 number 58.5", "成績!A3 number 1", "成績!B3 number 2",
                                   "成績!A4 number 77.5", "成績!B4 text text", "成績!C4 boolean TRUE", "成績!D4 error #DIV/0!",
                                   "成績!E4 error #N/A", "成績!A5 boolean FALSE", "成績!B5 error #N/A", "成績!A6 text label",
                                   "成績!A7 number 1", "成績!A10 number 45352.5", "sheet Chart", "sheet 2"};
        QByteArray stream = biffStream(true, {{"XX", cells, 0}, {"Chart", number(0, 0, 5), 2}, {"2", {}, 0}}, sst);
        // Replace the first sheet's name "XX" by 成績 (same length in characters).
        stream.replace(QByteArray("X\0X\0", 4), QByteArray("\x10\x62\x3e\x7e", 4));
        QTest::newRow("BIFF8 in the small-block stream") << QByteArray("Workbook") << stream << expected;
        QTest::newRow("BIFF8 stream named in capitals") << QByteArray("WORKBOOK") << stream << expected;
        QByteArray padding;
        for (int i = 0; i < 400; ++i)
            padding += number(quint16(100 + i), 0, i);
        QByteArray large = biffStream(true, {{"XX", cells + padding, 0}, {"Chart", {}, 2}, {"2", {}, 0}}, sst);
        large.replace(QByteArray("X\0X\0", 4), QByteArray("\x10\x62\x3e\x7e", 4));
        QStringList largeExpected = expected.mid(0, 18);
        for (int i = 0; i < 400; ++i)
            largeExpected << QStringLiteral("成績!A%1 number %2").arg(101 + i).arg(i == 0 ? QStringLiteral("0") : QString::number(i));
        largeExpected << "sheet Chart" << "sheet 2";
        QTest::newRow("BIFF8 in regular blocks") << QByteArray("Workbook") << large << largeExpected;

        // Breaks as some writers leave them, read as Calc reads them: an
        // empty CONTINUE, one holding only the byte that opens it, a stray
        // half character before a break, and an empty label without its
        // options byte.
        QByteArray odd = biffRecord(0x00FC, le32(2) + le32(2) + le16(4) + char(1) + le16('a'));
        odd += biffRecord(0x003C, {});
        odd += biffRecord(0x003C, QByteArray(1, char(1)));
        odd += biffRecord(0x003C, QByteArray(1, char(1)) + le16('b') + char('!'));
        odd += biffRecord(0x003C, QByteArray(1, char(0)) + "cd" + unicode8("next"));
        const QByteArray oddCells = labelSst(0, 0, 0) + labelSst(0, 1, 1) + biffRecord(0x0204, cellHeader(0, 2) + le16(0))
            + number(0, 3, 1);
        QTest::newRow("BIFF8 strings over odd breaks") << QByteArray("Workbook")
            << biffStream(true, {{"S", oddCells, 0}}, odd)
            << QStringList{"sheet S", "S!A1 text abcd", "S!B1 text next", "S!D1 number 1"};

        // Excel 95: 8-bit strings in the code page, formula text results.
        const QByteArray biff5Cells = biffRecord(0x0204, cellHeader(0, 0) + le16(4) + QByteArray("\xa6\xa8\xc1\x5a"))
            + formula(0, 1, specialResult(0, 0)) + biffRecord(0x0207, le16(3) + "abc") + formula(0, 2, leDouble(60));
        QTest::newRow("BIFF5 with a Big5 code page") << QByteArray("Book")
            << biffStream(false, {{"Sheet1", biff5Cells, 0}}, biffRecord(0x0042, le16(950)))
            << QStringList{"sheet Sheet1", "Sheet1!A1 text 成績", "Sheet1!B1 text abc", "Sheet1!C1 number 60"};

        // No code page named: each text in its font's character set. The
        // cells' XF 15 uses font number 5, the fifth record (no font 4).
        const auto fonts = [](quint8 charset) {
            QByteArray records;
            for (int i = 0; i < 5; ++i)
                records += biffRecord(0x0031, QByteArray(12, '\0') + char(i == 4 ? charset : 0) + '\0' + char(5) + "Arial");
            for (int i = 0; i < 16; ++i)
                records += biffRecord(0x00E0, le16(i == 15 ? 5 : 0) + QByteArray(14, '\0'));
            return records;
        };
        const QByteArray big5Label = biffRecord(0x0204, cellHeader(0, 0) + le16(4) + QByteArray("\xa6\xa8\xc1\x5a"));
        QTest::newRow("BIFF5 without a code page, Big5 font") << QByteArray("Book")
            << biffStream(false, {{"Sheet1", big5Label, 0}}, fonts(136)) << QStringList{"sheet Sheet1", "Sheet1!A1 text 成績"};
        QTest::newRow("BIFF5 naming UTF-16, Big5 font") << QByteArray("Book")
            << biffStream(false, {{"Sheet1", big5Label, 0}}, biffRecord(0x0042, le16(1200)) + fonts(136))
            << QStringList{"sheet Sheet1", "Sheet1!A1 text 成績"};
        QTest::newRow("BIFF5 code page before the font's") << QByteArray("Book")
            << biffStream(false, {{"Sheet1", big5Label, 0}}, biffRecord(0x0042, le16(950)) + fonts(204))
            << QStringList{"sheet Sheet1", "Sheet1!A1 text 成績"};
    }

    void biff()
    {
        QFETCH(QByteArray, streamName);
        QFETCH(QByteArray, stream);
        QFETCH(QStringList, cells);
        const QString path = m_dir.filePath(QStringLiteral("t.xls"));
        QVERIFY(writeCompoundFile(path, {{streamName, stream}}));
        ReadFailure failure = ReadFailure::None;
        const auto book = WorkbookReader::read(path, &failure);
        QVERIFY2(book, qPrintable(WorkbookReader::failureText(failure)));
        QCOMPARE(describe(*book), cells);
    }

    // Each number cell's format as Calc takes it: the code of its style,
    // with the class the code has (.xlsx, .xls) or the data style's element
    // and parts (.ods). `classes`: what FormatCode makes of the .xlsx and
    // .xls codes, checked once it classifies them.
    void numberFormats_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QStringList>("classes");
        QTest::addColumn<bool>("dates1904");

        // numFmt 170 is given twice: the last one counts. Calc ignores
        // applyNumberFormat; a cell without "s" is General, not xf 0; an "s"
        // naming no xf is General; "2x" reads as 2 and "" as 0; an id
        // neither given nor built in is General; a t="d" cell takes its
        // xf's format, none included.
        const QByteArray styles = "<styleSheet xmlns=\"" + kMain + "\"><numFmts>"
            "<numFmt numFmtId=\"164\" formatCode=\"000000\"/><numFmt numFmtId=\"165\" formatCode=\"0\"/>"
            "<numFmt numFmtId=\"166\" formatCode=\"yyyy\\-mm\\-dd\"/><numFmt numFmtId=\"167\" formatCode=\"hh:mm:ss\"/>"
            "<numFmt numFmtId=\"168\" formatCode=\"yyyy\\-mm\\-dd\\ hh:mm\"/><numFmt numFmtId=\"170\" formatCode=\"0.0\"/>"
            "<numFmt numFmtId=\"170\" formatCode=\"0.00\"/><numFmt numFmtId=\"171\" formatCode=\"#,##0\"/>"
            "<numFmt numFmtId=\"172\" formatCode=\"0%\"/><numFmt numFmtId=\"173\" formatCode=\"@\"/></numFmts>"
            "<cellStyleXfs><xf numFmtId=\"164\"/></cellStyleXfs><cellXfs>"
            "<xf numFmtId=\"172\"/><xf numFmtId=\"165\"/><xf numFmtId=\"164\"/><xf numFmtId=\"170\"/><xf numFmtId=\"171\"/>"
            "<xf numFmtId=\"172\"/><xf numFmtId=\"166\"/><xf numFmtId=\"167\"/><xf numFmtId=\"168\"/><xf numFmtId=\"173\"/>"
            "<xf numFmtId=\"200\"/><xf numFmtId=\"14\"/><xf numFmtId=\"165\" applyNumberFormat=\"0\"/></cellXfs></styleSheet>";
        const QByteArray sheet = "<row r=\"1\"><c r=\"A1\"><v>0.5</v></c><c r=\"B1\" s=\"1\"><v>1234.5</v></c>"
            "<c r=\"C1\" s=\"2\"><v>91001</v></c><c r=\"D1\" s=\"3\"><v>85.255</v></c><c r=\"E1\" s=\"4\"><v>1234567</v></c>"
            "<c r=\"F1\" s=\"5\"><v>0.85</v></c><c r=\"G1\" s=\"6\"><v>45000</v></c><c r=\"H1\" s=\"7\"><v>0.5</v></c>"
            "<c r=\"I1\" s=\"8\"><v>45000.5</v></c><c r=\"J1\" s=\"9\"><v>42</v></c><c r=\"K1\" s=\"10\"><v>1.5</v></c>"
            "<c r=\"L1\" s=\"11\"><v>45000</v></c><c r=\"M1\" s=\"12\"><v>2.5</v></c><c r=\"N1\" s=\"99\"><v>3</v></c>"
            "<c r=\"O1\" s=\"2x\"><v>7</v></c><c r=\"P1\" s=\"1\" t=\"d\"><v>2024-03-01T12:00:00</v></c>"
            "<c r=\"Q1\" t=\"d\"><v>2024-03-01</v></c><c r=\"R1\" s=\"\"><v>0.25</v></c><c r=\"S1\" s=\"1\" t=\"b\"><v>1</v></c></row>";
        Parts xlsx = xlsxParts(sheet);
        xlsx = withPart(xlsx, "xl/workbook.xml", "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel + "\">"
                        "<workbookPr date1904=\"1\"/><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
        const QByteArray rels = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Id=\"rId1\" Type=\"" + kRel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
            "<Relationship Id=\"rId3\" Type=\"" + kRel + "/styles\" Target=\"styles.xml\"/></Relationships>";
        const QString builtin14 = tallyra::FormatCode::builtinCode(14).value_or(QStringLiteral("General"));
        QTest::newRow("xlsx cell styles") << "s.xlsx" << zipOf(withPart(withPart(xlsx, "xl/_rels/workbook.xml.rels", rels),
                                                                    "xl/styles.xml", styles))
            << QStringList{"A1 0.5 General", "B1 1234.5 0", "C1 91001 000000", "D1 85.255 0.00", "E1 1234567 #,##0",
                           "F1 0.85 0%", "G1 45000 yyyy\\-mm\\-dd", "H1 0.5 hh:mm:ss", "I1 45000.5 yyyy\\-mm\\-dd\\ hh:mm",
                           "J1 42 @", "K1 1.5 General", "L1 45000 " + builtin14, "M1 2.5 0", "N1 3 General",
                           "O1 7 000000", "P1 43890.5 0", "Q1 43890 General", "R1 0.25 0%", "S1 TRUE"}
            << QStringList{"Plain", "Plain", "Plain", "Plain", "Plain", "Percent", "Date", "Time", "DateTime", "Text",
                           "Plain", "Date", "Plain", "Plain", "Plain", "Plain", "Plain", "Percent"}
            << true;
        // Calc reads the values of a file whose styles it cannot read, all General.
        const QStringList allGeneral{"A1 0.5 General", "B1 1234.5 General", "C1 91001 General", "D1 85.255 General",
                                     "E1 1234567 General", "F1 0.85 General", "G1 45000 General", "H1 0.5 General",
                                     "I1 45000.5 General", "J1 42 General", "K1 1.5 General", "L1 45000 General",
                                     "M1 2.5 General", "N1 3 General", "O1 7 General", "P1 45352.5 General",
                                     "Q1 45352 General", "R1 0.25 General", "S1 TRUE"};
        QTest::newRow("xlsx styles cut short") << "cut.xlsx"
            << zipOf(withPart(withPart(xlsxParts(sheet), "xl/_rels/workbook.xml.rels", rels), "xl/styles.xml", styles.left(700)))
            << allGeneral << QStringList() << false;
        QTest::newRow("xlsx styles no relationship names") << "unnamed.xlsx"
            << zipOf(withPart(xlsxParts(sheet), "xl/styles.xml", styles)) << allGeneral << QStringList() << false;

        // BIFF8: FORMAT records' unicode codes, a cell's XF by its number in
        // NUMBER, RK, MULRK and FORMULA, built-in and unknown indexes.
        const auto xf8 = [](quint16 format) { return biffRecord(0x00E0, le16(0) + le16(format) + le16(0xFFF5) + QByteArray(14, '\0')); };
        const auto format8 = [](quint16 index, const QByteArray &code) { return biffRecord(0x041E, le16(index) + unicode8(code)); };
        QByteArray globals8 = biffRecord(0x0022, le16(1)) + format8(164, "000000") + format8(165, "0.00")
            + format8(166, "yyyy\\-mm\\-dd") + format8(167, "@") + format8(168, "0%");
        for (const quint16 format : {0, 164, 165, 166, 167, 168, 300, 14})
            globals8 += xf8(format);
        const QByteArray cells8 = biffRecord(0x0203, at(0, 0, 1) + leDouble(91001))
            + biffRecord(0x027E, at(0, 1, 2) + le32((8525 << 2) | 3))
            + biffRecord(0x00BD, le16(0) + le16(2) + le16(3) + le32((45000 << 2) | 2) + le16(4) + le32((42 << 2) | 2) + le16(3))
            + biffRecord(0x0006, at(0, 4, 5) + leDouble(0.85) + le16(0) + le32(0) + le16(3) + QByteArray::fromHex("1e0100"))
            + biffRecord(0x0203, at(0, 5, 6) + leDouble(1.5)) + biffRecord(0x0203, at(0, 6, 7) + leDouble(45000))
            + biffRecord(0x0203, at(0, 7, 99) + leDouble(2.5)) + biffRecord(0x0203, at(0, 8, 0) + leDouble(3.5));
        const QString xls8 = m_dir.filePath(QStringLiteral("f8.xls"));
        QVERIFY(writeCompoundFile(xls8, {{"Workbook", biffStream(true, {{"S", cells8, 0}}, globals8)}}));
        QFile file8(xls8);
        QVERIFY(file8.open(QIODevice::ReadOnly));
        QTest::newRow("BIFF8 FORMAT and XF") << "f8.xls" << file8.readAll()
            << QStringList{"A1 91001 000000", "B1 85.25 0.00", "C1 45000 yyyy\\-mm\\-dd", "D1 42 @", "E1 0.85 0%",
                           "F1 1.5 General", "G1 45000 " + builtin14, "H1 2.5 General", "I1 3.5 General"}
            << QStringList{"Plain", "Plain", "Date", "Text", "Percent", "Plain", "Date", "Plain", "Plain"} << true;

        // BIFF5: byte strings in the code page (分 in Big5), no DATEMODE.
        const auto xf5 = [](quint16 format) { return biffRecord(0x00E0, le16(0) + le16(format) + le16(0xFFF5) + QByteArray(10, '\0')); };
        const QByteArray globals5 = biffRecord(0x0042, le16(950)) + biffRecord(0x041E, le16(164) + char(5) + QByteArray("0\"\xa4\xc0\""))
            + biffRecord(0x041E, le16(165) + char(6) + QByteArray("000000")) + xf5(0) + xf5(164) + xf5(165);
        const QByteArray cells5 = biffRecord(0x0203, at(0, 0, 1) + leDouble(95)) + biffRecord(0x027E, at(0, 1, 2) + le32((91001 << 2) | 2));
        const QString xls5 = m_dir.filePath(QStringLiteral("f5.xls"));
        QVERIFY(writeCompoundFile(xls5, {{"Book", biffStream(false, {{"S", cells5, 0}}, globals5)}}));
        QFile file5(xls5);
        QVERIFY(file5.open(QIODevice::ReadOnly));
        QTest::newRow("BIFF5 FORMAT in the code page") << "f5.xls" << file5.readAll()
            << QStringList{"A1 95 0\"分\"", "B1 91001 000000"} << QStringList{"Plain", "Plain"} << false;

        // Excel 2: FORMAT records numbered in order. With XF records a
        // cell's attribute names its XF (63: the one IXFE gave) and that
        // XF's format counts, not the one the attribute names; without
        // them Calc shows every number in General, fonts or not.
        const auto format2 = [](const QByteArray &code) { return biffRecord(0x001E, char(code.size()) + code); };
        const QByteArray formats2 = format2("General") + format2("0.00") + format2("0%") + format2("d\\-mmm\\-yy") + format2("000000");
        const auto attribute2 = [](quint16 row, quint16 column, quint8 xf, quint8 format) {
            return le16(row) + le16(column) + char(xf | 0x40) + char(format) + char(0);
        };
        const QByteArray bof2 = biffRecord(0x0009, le16(2) + le16(0x10));
        const auto xf2 = [](quint8 format) { return biffRecord(0x0043, QByteArray(2, '\0') + char(format | 0x40) + char(0)); };
        const QByteArray excel2 = bof2 + formats2 + xf2(0) + xf2(1) + xf2(2) + xf2(3) + xf2(4)
            + biffRecord(0x0003, attribute2(0, 0, 1, 2) + leDouble(85.25))
            + biffRecord(0x0002, attribute2(0, 1, 2, 0) + le16(95))
            + biffRecord(0x0044, le16(3)) + biffRecord(0x0003, attribute2(0, 2, 63, 0) + leDouble(45000))
            + biffRecord(0x0006, attribute2(0, 3, 4, 1) + leDouble(91001) + char(0) + char(0))
            + biffRecord(0x0003, attribute2(0, 4, 40, 1) + leDouble(1.5)) + biffRecord(0x000A, {});
        QTest::newRow("Excel 2 XF") << "f2.xls" << excel2
            << QStringList{"A1 85.25 0.00", "B1 95 0%", "C1 45000 d\\-mmm\\-yy", "D1 91001 000000", "E1 1.5 General"}
            << QStringList{"Plain", "Percent", "Date", "Plain", "Plain"} << false;
        const QByteArray font2 = biffRecord(0x0031, le16(200) + le16(0) + char(5) + QByteArray("Arial"));
        const QByteArray excel2NoXf = bof2 + font2 + font2 + formats2
            + biffRecord(0x0003, attribute2(0, 0, 1, 2) + leDouble(0.85))
            + biffRecord(0x0002, attribute2(0, 1, 0, 0xC0 | 3) + le16(45000))
            + biffRecord(0x0006, attribute2(0, 2, 0, 4) + leDouble(91001) + char(0) + char(0))
            + biffRecord(0x0003, attribute2(0, 3, 0, 9) + leDouble(1.5)) + biffRecord(0x000A, {});
        QTest::newRow("Excel 2 without XF") << "f2n.xls" << excel2NoXf
            << QStringList{"A1 0.85 General", "B1 45000 General", "C1 91001 General", "D1 1.5 General"}
            << QStringList{"Plain", "Plain", "Plain", "Plain"} << false;

        // .ods: each data style as the code that shows the same, its class
        // by its element and parts; cell styles through their parents (a
        // common one in styles.xml), then the column's default.
        const QByteArray dataStyles =
            "<number:number-style style:name=\"N0\"><number:number number:decimal-places=\"0\" number:min-integer-digits=\"1\"/></number:number-style>"
            "<number:number-style style:name=\"N6\"><number:number number:decimal-places=\"0\" number:min-integer-digits=\"6\"/></number:number-style>"
            "<number:number-style style:name=\"N2\"><number:number number:decimal-places=\"2\" number:min-integer-digits=\"1\"/></number:number-style>"
            "<number:number-style style:name=\"NG\"><number:number number:decimal-places=\"0\" number:min-integer-digits=\"1\" number:grouping=\"true\"/></number:number-style>"
            "<number:number-style style:name=\"NM\"><number:number number:decimal-places=\"3\" number:min-decimal-places=\"1\" number:min-integer-digits=\"0\"/></number:number-style>"
            "<number:number-style style:name=\"NQ\"><number:text>No.</number:text><number:number number:decimal-places=\"1\" number:min-integer-digits=\"3\" number:grouping=\"true\"/><number:text>%</number:text></number:number-style>"
            "<number:percentage-style style:name=\"NP\"><number:number number:decimal-places=\"0\" number:min-integer-digits=\"1\"/><number:text>%</number:text></number:percentage-style>"
            "<number:date-style style:name=\"ND\"><number:year number:style=\"long\"/><number:text>-</number:text><number:month number:style=\"long\"/><number:text>-</number:text><number:day number:style=\"long\"/></number:date-style>"
            "<number:time-style style:name=\"NT\"><number:hours number:style=\"long\"/><number:text>:</number:text><number:minutes number:style=\"long\"/><number:text>:</number:text><number:seconds number:style=\"long\"/></number:time-style>"
            "<number:date-style style:name=\"NDT\"><number:day/><number:text>.</number:text><number:month/><number:text> </number:text><number:hours/><number:text>:</number:text><number:minutes number:style=\"long\"/></number:date-style>"
            "<number:date-style style:name=\"NH\"><number:hours/><number:text>:</number:text><number:minutes number:style=\"long\"/></number:date-style>"
            "<number:text-style style:name=\"NX\"><number:text-content/></number:text-style>"
            "<number:boolean-style style:name=\"NB\"><number:boolean/></number:boolean-style>"
            "<number:number-style style:name=\"NPOS\"><number:number number:decimal-places=\"1\" number:min-integer-digits=\"1\"/></number:number-style>"
            "<number:number-style style:name=\"NNEG\"><style:text-properties fo:color=\"#ff0000\"/><number:text>(</number:text><number:number number:decimal-places=\"1\" number:min-integer-digits=\"1\"/><number:text>)</number:text><style:map style:condition=\"value()&gt;=0\" style:apply-style-name=\"NPOS\"/></number:number-style>"
            "<number:number-style style:name=\"NS\"><number:scientific-number number:decimal-places=\"2\" number:min-integer-digits=\"1\" number:min-exponent-digits=\"2\"/></number:number-style>"
            "<number:number-style style:name=\"NF\"><number:number number:decimal-places=\"2\" number:min-integer-digits=\"1\" number:display-factor=\"1000\"/></number:number-style>";
        QByteArray cellStyles;
        for (const char *name : {"N0", "N6", "N2", "NG", "NM", "NQ", "NP", "ND", "NT", "NDT", "NH", "NX", "NB", "NNEG", "NS", "NF"})
            cellStyles += QByteArray("<style:style style:name=\"c") + name + "\" style:family=\"table-cell\" style:data-style-name=\"" + name + "\"/>";
        // A cell style named as a data style is another style.
        cellStyles += "<style:style style:name=\"cinherits\" style:family=\"table-cell\" style:parent-style-name=\"Common\"/>"
                      "<style:style style:name=\"cnone\" style:family=\"table-cell\"/>"
                      "<style:style style:name=\"NB\" style:family=\"table-cell\" style:data-style-name=\"N2\"/>";
        const QByteArray common = "<number:number-style style:name=\"CN\"><number:number number:decimal-places=\"3\" number:min-integer-digits=\"1\"/></number:number-style>"
                                  "<style:style style:name=\"Default\" style:family=\"table-cell\"/>"
                                  "<style:style style:name=\"Common\" style:family=\"table-cell\" style:parent-style-name=\"Default\" style:data-style-name=\"CN\"/>";
        const auto cell = [](const char *style, const char *type, const char *value) {
            const QByteArray attribute = qstrcmp(type, "date") == 0 ? "office:date-value" : qstrcmp(type, "time") == 0 ? "office:time-value"
                                         : qstrcmp(type, "boolean") == 0 ? "office:boolean-value" : "office:value";
            return QByteArray("<table:table-cell") + (*style ? QByteArray(" table:style-name=\"") + style + "\"" : QByteArray())
                   + " office:value-type=\"" + type + "\" " + attribute + "=\"" + value + "\"/>";
        };
        const QByteArray ods = "<table:table-column table:default-cell-style-name=\"cN2\"/><table:table-column table:number-columns-repeated=\"4\"/>"
            "<table:table-row>" + cell("cnone", "float", "1234.5") + cell("cN0", "float", "1234.5") + cell("cN6", "float", "91001")
            + cell("cN2", "float", "85.255") + cell("cNG", "float", "1234567") + cell("cNM", "float", "0.5")
            + cell("cNQ", "float", "1234.5") + cell("cNP", "percentage", "0.85") + cell("cND", "date", "2026-06-30")
            + cell("cNT", "time", "PT12H30M") + cell("cNDT", "date", "2026-06-30T12:30:00") + cell("cNH", "float", "0.5")
            + cell("cNX", "float", "42") + cell("cNB", "float", "0") + cell("cNB", "float", "2")
            + cell("cNNEG", "float", "-2.25") + cell("cNS", "float", "1234.5") + cell("cNF", "float", "1234.5")
            + cell("cinherits", "float", "1.5") + cell("NB", "float", "3") + cell("cNB", "boolean", "0.5") + "</table:table-row>"
            // The value's type where the style is General, in declared columns only.
            "<table:table-row>" + cell("", "float", "1.5") + cell("", "date", "2026-06-30") + cell("", "percentage", "0.125")
            + cell("", "time", "PT12H") + cell("", "currency", "3.5") + cell("", "date", "2026-06-30") + cell("cN2", "date", "2026-06-30")
            + "</table:table-row>";
        const QString noCode = QStringLiteral("[ODS style without a code]");
        QTest::newRow("ods data styles") << "s.ods"
            << odsOf(ods, dataStyles + cellStyles, "<table:calculation-settings><table:null-date table:date-value=\"1904-01-01\"/></table:calculation-settings>", common)
            << QStringList{"A1 1234.5 Plain General", "B1 1234.5 Plain 0", "C1 91001 Plain 000000", "D1 85.255 Plain 0.00",
                           "E1 1234567 Plain #,##0", "F1 0.5 Plain #.0##", "G1 1234.5 Plain \"No.\"#,000.0\"%\"",
                           "H1 0.85 Percent 0%", "I1 44741 Date yyyy\"-\"mm\"-\"dd", "J1 0.520833333333333 Time hh\":\"mm\":\"ss",
                           "K1 44741.5208333333 DateTime d\".\"m\" \"h\":\"mm", "L1 0.5 Time h\":\"mm", "M1 42 Text @", "N1 FALSE",
                           "O1 TRUE", "P1 -2.25 Plain 0.0;\"(\"0.0\")\"", "Q1 1234.5 Plain " + noCode, "R1 1234.5 Plain " + noCode,
                           "S1 1.5 Plain 0.000", "T1 3 Plain 0.00", "U1 TRUE",
                           "A2 1.5 Plain 0.00", "B2 44741 DateTime mm/dd/yy\\ hh:mm\\ AM/PM", "C2 0.125 Percent 0.00%",
                           "D2 0.5 Time hh:mm:ss\\ AM/PM", "E2 3.5 Plain General", "F2 44741 Plain General", "G2 44741 Plain 0.00"}
            << QStringList() << true;
        QTest::newRow("ods counting from its own null date") << "n.ods"
            << odsOf("<table:table-row>" + cell("cND", "date", "2026-06-30") + "</table:table-row>", dataStyles + cellStyles,
                     "<table:calculation-settings><table:null-date table:date-value=\"1900-01-01\"/></table:calculation-settings>")
            << QStringList{"A1 46201 Date yyyy\"-\"mm\"-\"dd"} << QStringList() << false;
    }

    void numberFormats()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, file);
        QFETCH(QStringList, cells);
        QFETCH(QStringList, classes);
        QFETCH(bool, dates1904);
        ReadFailure failure = ReadFailure::None;
        const auto book = readFile(name, file, &failure);
        QVERIFY2(book, qPrintable(WorkbookReader::failureText(failure)));
        const bool ods = name.endsWith(QLatin1String(".ods"));
        QCOMPARE(describeFormats(*book, ods), cells);
        QCOMPARE(book->dates1904, dates1904);
        // Each format held once.
        for (size_t i = 0; i < book->formats.size(); ++i)
            for (size_t j = i + 1; j < book->formats.size(); ++j)
                QVERIFY(book->formats[i].code != book->formats[j].code || book->formats[i].shownAs != book->formats[j].shownAs);
        if (ods || classes.isEmpty())
            return;
        QStringList numberClasses;
        for (const auto &cell : book->sheets.front().rows.front())
            if (cell.isNumber())
                numberClasses << QLatin1String(kClasses[int(cell.shownAs)]);
        if (tallyra::FormatCode::classify(u"0%") != tallyra::NumberClass::Percent)
            QSKIP("FormatCode does not classify codes yet");
        QCOMPARE(numberClasses, classes);
    }

    // The compound file by its chains alone: the streams libgsf writes come
    // back whole, from the small-block stream and from regular sectors.
    void compoundFileByItsChains()
    {
        QByteArray big(70000, Qt::Uninitialized);
        for (qsizetype i = 0; i < big.size(); ++i)
            big[i] = char(i * 7 % 251);
        const QString path = m_dir.filePath(QStringLiteral("two.cfb"));
        QVERIFY(writeCompoundFile(path, {{"Small", "abc"}, {"Big", big}}));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        const WorkbookReader::CompoundFile file(bytes);
        QCOMPARE(file.streamNames(), (std::vector<QString>{QStringLiteral("Small"), QStringLiteral("Big")}));
        QCOMPARE(file.stream(QStringLiteral("Small")), QByteArray("abc"));
        QCOMPARE(file.stream(QStringLiteral("Big")), big);
        QCOMPARE(file.stream(QStringLiteral("None")), std::nullopt);

        // Cut anywhere in the big stream's sectors: refused, never read in part.
        const auto refused = [](const QByteArray &damaged) {
            try {
                const WorkbookReader::CompoundFile cut(damaged);
                cut.stream(QStringLiteral("Big"));
            } catch (const WorkbookReader::Refusal &refusal) {
                return refusal.failure == ReadFailure::Damaged;
            }
            return false;
        };
        QVERIFY(refused(bytes.left(bytes.size() - 1000)));
        QVERIFY(refused(bytes.left(bytes.size() / 2)));
        // Chains that loop: every chain's end made to point back at itself.
        QByteArray looped = bytes;
        for (qsizetype entry = 0x4C; looped.mid(entry, 4) != QByteArray(4, char(0xFF)); entry += 4) {
            const qsizetype fatSector = qsizetype(quint8(bytes[entry]) | quint8(bytes[entry + 1]) << 8);
            for (qsizetype i = 0; i < 128; ++i) {
                const qsizetype at = (fatSector + 1) * 512 + 4 * i;
                if (looped.mid(at, 4) == QByteArray("\xFE\xFF\xFF\xFF", 4))
                    looped.replace(at, 4, le32(quint32((entry - 0x4C) / 4 * 128 + i)));
            }
        }
        QVERIFY(refused(looped));
    }

    // A header whose counts disagree with its chains, as one .xls writer
    // leaves it: libgsf refuses the file, Calc and the chains read it.
    void compoundFileWithWrongCounts()
    {
        const QByteArray stream = biffStream(true, {{"S", number(0, 0, 42), 0}});
        const QString path = m_dir.filePath(QStringLiteral("counts.xls"));
        QVERIFY(writeCompoundFile(path, {{"Workbook", stream}}));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek(0x40) && f.write(le32(17)) == 4); // mini FAT sectors: 17, where there is 1
        f.close();
        ReadFailure failure = ReadFailure::None;
        const auto book = WorkbookReader::read(path, &failure);
        QVERIFY2(book, qPrintable(WorkbookReader::failureText(failure)));
        QCOMPARE(describe(*book), (QStringList{"sheet S", "S!A1 number 42"}));
    }

    // Worksheets written straight into the file: Excel 2 (its own cell
    // records, with a 3-byte attribute) and a BIFF8 sheet stream on its own.
    void loneSheets_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("cells");
        const QByteArray attribute(3, '\0');
        const auto at = [&](quint16 row, quint16 column) { return le16(row) + le16(column) + attribute; };
        const QByteArray excel2 = biffRecord(0x0009, le16(2) + le16(0x10))
            + biffRecord(0x0002, at(0, 0) + le16(95)) + biffRecord(0x0003, at(0, 1) + leDouble(77.5))
            + biffRecord(0x0004, at(1, 0) + char(4) + "S001") + biffRecord(0x0005, at(1, 1) + char(1) + char(0))
            + biffRecord(0x0005, at(1, 2) + char(0x07) + char(1))
            + biffRecord(0x0006, at(2, 0) + leDouble(60) + char(0) + char(0))
            + biffRecord(0x0006, at(2, 1) + specialResult(0, 0) + char(0) + char(0)) + biffRecord(0x0007, char(3) + QByteArray("abc"))
            + biffRecord(0x000A, {});
        // Its one sheet is named after the file, as Calc names it.
        QTest::newRow("Excel 2") << excel2
            << QStringList{"sheet lone", "lone!A1 number 95", "lone!B1 number 77.5", "lone!A2 text S001",
                           "lone!B2 boolean TRUE", "lone!C2 error #DIV/0!", "lone!A3 number 60", "lone!B3 text abc"};
        const QByteArray sheet8 = biffRecord(0x0809, le16(0x0600) + le16(0x0010) + QByteArray(12, '\0'))
            + biffRecord(0x0204, cellHeader(0, 0) + le16(2) + char(1) + QByteArray("\x10\x62\x3e\x7e", 4))
            + number(0, 1, 88) + biffRecord(0x000A, {});
        QTest::newRow("BIFF8 sheet stream") << sheet8 << QStringList{"sheet Sheet1", "Sheet1!A1 text 成績", "Sheet1!B1 number 88"};
    }

    void loneSheets()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, cells);
        ReadFailure failure = ReadFailure::None;
        const auto book = readFile(QStringLiteral("lone.xls"), file, &failure);
        QVERIFY2(book, qPrintable(WorkbookReader::failureText(failure)));
        QCOMPARE(describe(*book), cells);
    }

    // Excel encrypts a workbook whose structure is protected with its
    // default password; such files read as Calc reads them. A password of
    // the teacher's own, or Excel 95's XOR obfuscation, is refused.
    void encryptedWorkbooks_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("cells"); // empty: refused as encrypted
        const QString dir = QStringLiteral(TALLYRA_TEST_FIXTURES "/workbooks/");
        QTest::newRow("default password, RC4") << dir + "corpus/exceldatareader-TestExcel_2040.xls"
            << QStringList{"sheet Sheet1", "Sheet1!A1 text Name", "Sheet1!B1 text Id", "Sheet1!C1 text Education",
                           "Sheet1!A2 text Kathiravan", "Sheet1!B2 number 100", "Sheet1!C2 text M.S", "sheet Sheet2", "sheet Sheet3"};
        QTest::newRow("own password, CryptoAPI") << dir + "locked/exceldatareader-std_rc4_pwd_password.xls" << QStringList();
        QTest::newRow("own password, 40-bit key") << dir + "locked/exceldatareader-crypto_keylength40.xls" << QStringList();
        QTest::newRow("own password, XOR") << dir + "locked/exceldatareader-xor_pwd_password.xls" << QStringList();
    }

    void encryptedWorkbooks()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, cells);
        ReadFailure failure = ReadFailure::None;
        const auto book = WorkbookReader::read(path, &failure);
        if (cells.isEmpty()) {
            QVERIFY(!book);
            QCOMPARE(failure, ReadFailure::Encrypted);
        } else {
            QVERIFY2(book, qPrintable(WorkbookReader::failureText(failure)));
            QCOMPARE(describe(*book), cells);
        }
    }

    // With the password they were locked with, the CryptoAPI files decrypt
    // record for record: written out again without their FILEPASS, they read.
    void decryptionWithTheRightPassword_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("sheets");
        const QString dir = QStringLiteral(TALLYRA_TEST_FIXTURES "/workbooks/locked/");
        QTest::newRow("128-bit") << dir + "exceldatareader-std_rc4_pwd_password.xls" << QStringList{"Sheet1"};
        QTest::newRow("40-bit") << dir + "exceldatareader-crypto_keylength40.xls" << QStringList{"Sheet1", "Sheet2", "Sheet3"};
    }

    void decryptionWithTheRightPassword()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, sheets);
        const QByteArray stream = readCompoundStream(path, "Workbook");
        QVERIFY(!stream.isEmpty());
        QByteArray wrong = stream;
        QCOMPARE(WorkbookReader::decryptXls(wrong, QStringLiteral("passwort")), WorkbookReader::Decryption::WrongPassword);
        QCOMPARE(wrong, stream);
        QByteArray plain = stream;
        QCOMPARE(WorkbookReader::decryptXls(plain, QStringLiteral("password")), WorkbookReader::Decryption::Decrypted);
        const qsizetype filePass = plain.indexOf(QByteArray("\x2f\x00", 2), 4);
        QVERIFY(filePass > 0);
        plain[filePass] = char(0xFF); // an unknown record in its place
        const QString copy = m_dir.filePath(QStringLiteral("plain.xls"));
        QVERIFY(writeCompoundFile(copy, {{"Workbook", plain}}));
        ReadFailure failure = ReadFailure::None;
        const auto book = WorkbookReader::read(copy, &failure);
        QVERIFY2(book, qPrintable(WorkbookReader::failureText(failure)));
        QStringList names;
        for (const auto &sheet : book->sheets)
            names << sheet.name;
        QCOMPARE(names, sheets);
    }

    // Each refused whole, with its reason, within seconds.
    void refusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<ReadFailure>("failure");

        const QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">"
            "<!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">]>"
            "<worksheet xmlns=\"" + kMain + "\"><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&lol2;</t></is></c></row></sheetData></worksheet>";
        QTest::newRow("entities") << "laughs.xlsx" << zipOf(withPart(xlsxParts({}), "xl/worksheets/sheet1.xml", laughs)) << ReadFailure::Damaged;

        QTest::newRow("shared string out of range") << "index.xlsx"
            << zipOf(xlsxParts("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>7</v></c></row>", "<si><t>x</t></si>")) << ReadFailure::Damaged;
        QTest::newRow("column beyond the sheet") << "wide.xlsx"
            << zipOf(xlsxParts("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>")) << ReadFailure::Damaged;
        QTest::newRow("row beyond the sheet") << "tall.xlsx"
            << zipOf(xlsxParts("<row r=\"1048577\"><c><v>1</v></c></row>")) << ReadFailure::Damaged;

        // Cells in the last column of ever more rows: 16,384 slots each.
        QByteArray farRows;
        for (int r = 1; r <= 300; ++r)
            farRows += "<row r=\"" + QByteArray::number(r) + "\"><c r=\"XFD" + QByteArray::number(r) + "\"><v>1</v></c></row>";
        QTest::newRow("a million cells claimed") << "far.xlsx" << zipOf(xlsxParts(farRows)) << ReadFailure::TooLarge;

        QByteArray nested = QByteArray("<row r=\"1\"><c r=\"A1\"><v>1</v>");
        for (int i = 0; i < 200000; ++i)
            nested += "<x>";
        QTest::newRow("mismatched end tag") << "mismatch.xlsx"
            << zipOf(xlsxParts("<row r=\"1\"><c r=\"A1\"><v>1</c></v></row>")) << ReadFailure::Damaged;
        QTest::newRow("unknown entity") << "entity.xlsx"
            << zipOf(xlsxParts("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&nbsp;</t></is></c></row>")) << ReadFailure::Damaged;
        QTest::newRow("deep nesting, never closed") << "deep.xlsx" << zipOf(xlsxParts(nested)) << ReadFailure::Damaged;

        // 300 MiB of blanks packed into a few hundred kilobytes.
        QByteArray blanks(300 * 1024 * 1024, ' ');
        const QByteArray bomb = zipOf(withPart(xlsxParts({}), "xl/worksheets/sheet1.xml", "<worksheet xmlns=\"" + kMain + "\">" + blanks));
        blanks.clear();
        blanks.squeeze();
        QTest::newRow("zip bomb") << "bomb.xlsx" << bomb << ReadFailure::TooLarge;

        // Formats beyond what a cell can name, each used by a style.
        QByteArray numFmts, xfs;
        for (int i = 0; i < 70000; ++i) {
            numFmts += "<numFmt numFmtId=\"" + QByteArray::number(164 + i) + "\" formatCode=\"0&quot;" + QByteArray::number(i) + "&quot;\"/>";
            xfs += "<xf numFmtId=\"" + QByteArray::number(164 + i) + "\"/>";
        }
        Parts manyFormats = withPart(xlsxParts("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>1</v></c></row>"), "xl/_rels/workbook.xml.rels",
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Id=\"rId1\" Type=\"" + kRel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
            "<Relationship Id=\"rId2\" Type=\"" + kRel + "/styles\" Target=\"styles.xml\"/></Relationships>");
        manyFormats.append({"xl/styles.xml", "<styleSheet xmlns=\"" + kMain + "\"><numFmts>" + numFmts + "</numFmts><cellXfs>" + xfs
                                                 + "</cellXfs></styleSheet>"});
        QTest::newRow("seventy thousand number formats") << "formats.xlsx" << zipOf(manyFormats) << ReadFailure::TooLarge;

        QTest::newRow("every cell of a sheet, repeated") << "repeat.ods" << odsOf(
            "<table:table-row table:number-rows-repeated=\"1048576\"><table:table-cell table:number-columns-repeated=\"16384\" "
            "office:value-type=\"float\" office:value=\"1\"/></table:table-row>") << ReadFailure::TooLarge;
        QTest::newRow("repeated past the sheet's end") << "past.ods" << odsOf(
            "<table:table-row table:number-rows-repeated=\"1048576\"><table:table-cell/></table:table-row>"
            "<table:table-row><table:table-cell office:value-type=\"float\" office:value=\"1\"/></table:table-row>") << ReadFailure::Damaged;
        QTest::newRow("encrypted OpenDocument") << "locked.ods" << zipOf({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
            {"META-INF/manifest.xml", "<manifest><file-entry><encryption-data/></file-entry></manifest>"}, {"content.xml", "\x01\x02"}}, false)
            << ReadFailure::Encrypted;
        QTest::newRow("a text document") << "letter.ods" << zipOf({{"mimetype", "application/vnd.oasis.opendocument.text"},
            {"content.xml", "<x/>"}}, false) << ReadFailure::NotWorkbook;
        QTest::newRow("Excel 2 macro sheet") << "old.xls" << biffRecord(0x0009, le16(2) + le16(0x40)) << ReadFailure::TooOld;
        QTest::newRow("workbook globals without their compound file") << "globals.xls"
            << biffRecord(0x0809, le16(0x0600) + le16(0x0005) + QByteArray(12, '\0')) << ReadFailure::NotWorkbook;
        QTest::newRow("CSV named .xls") << "export.xls" << QByteArray("學號,成績\r\n810101,95\r\n") << ReadFailure::TextFile;
        QTest::newRow("web page named .xls") << "table.xls"
            << QByteArray("\xEF\xBB\xBF<html><body><table><tr><td>810101</td><td>95</td></tr></table></body></html>")
            << ReadFailure::TextFile;
        QTest::newRow("UTF-16 text") << "u16.xls" << QByteArray("\xFF\xFE" "a\0,\0b\0", 8) << ReadFailure::TextFile;
        QTest::newRow("neither text nor a workbook") << "noise.xls" << QByteArray("\x01\x02\x03\x04 binary", 11)
            << ReadFailure::NotWorkbook;
    }

    void refusals()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, file);
        QFETCH(ReadFailure, failure);
        QVERIFY(!file.isEmpty());
        QElapsedTimer clock;
        clock.start();
        ReadFailure why = ReadFailure::None;
        QVERIFY(!readFile(name, file, &why));
        QCOMPARE(why, failure);
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    }

    // Files the fuzzers found: read or refused, in bounded time, never a crash.
    void fuzzerFinds_data()
    {
        QTest::addColumn<QString>("path");
        QDir dir(QStringLiteral(TALLYRA_TEST_FIXTURES "/workbooks/regressions"));
        for (const QString &name : dir.entryList(QDir::Files))
            QTest::newRow(qPrintable(name)) << dir.filePath(name);
    }

    void fuzzerFinds()
    {
        QFETCH(QString, path);
        QElapsedTimer clock;
        clock.start();
        ReadFailure why = ReadFailure::None;
        const auto book = WorkbookReader::read(path, &why);
        QVERIFY(book || why != ReadFailure::None);
        QVERIFY(clock.elapsed() < 10000);
    }

    void biffRefusals_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<ReadFailure>("failure");
        QTest::newRow("string index out of range")
            << biffStream(true, {{"S", labelSst(0, 0, 5), 0}}, biffRecord(0x00FC, le32(1) + le32(1) + unicode8("a")))
            << ReadFailure::Damaged;
        QTest::newRow("shared strings cut in a character")
            << biffStream(true, {{"S", {}, 0}}, biffRecord(0x00FC, le32(1) + le32(1) + le16(3) + char(1) + "ab\0")) << ReadFailure::Damaged;
        QByteArray chain = biffRecord(0x00FC, le32(1) + le32(1000000000) + unicode8("a"));
        for (int i = 0; i < 100000; ++i)
            chain += biffRecord(0x003C, {});
        QTest::newRow("endless CONTINUE chain") << biffStream(true, {{"S", labelSst(0, 0, 0), 0}}, chain) << ReadFailure::None;
        QTest::newRow("password") << biffStream(true, {{"S", {}, 0}}, biffRecord(0x002F, le16(1) + QByteArray(52, '\x33')))
                                  << ReadFailure::Encrypted;
        QTest::newRow("globals cut short") << bof(true, 5) + biffRecord(0x0085, le32(0) + le16(0) + le16(1)) << ReadFailure::Damaged;
    }

    void biffRefusals()
    {
        QFETCH(QByteArray, stream);
        QFETCH(ReadFailure, failure);
        const QString path = m_dir.filePath(QStringLiteral("r.xls"));
        QVERIFY(writeCompoundFile(path, {{"Workbook", stream}}));
        QElapsedTimer clock;
        clock.start();
        ReadFailure why = ReadFailure::None;
        const auto book = WorkbookReader::read(path, &why);
        QCOMPARE(why, failure);
        QCOMPARE(book.has_value(), failure == ReadFailure::None);
        QVERIFY(clock.elapsed() < 10000);
    }
};

QTEST_MAIN(TestWorkbookFormats)
#include "tst_workbook_formats.moc"
