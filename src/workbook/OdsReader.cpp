// .ods: the cells of content.xml. Repeated rows and columns are counted,
// not stored, unless they hold a value; covered cells (under a merge) take
// their place in the row; formula cells give the result the file holds,
// whatever its type.
#include "workbook/ReaderSupport.h"
#include "workbook/XmlSupport.h"

namespace tallyra::WorkbookReader {

namespace {


std::int64_t repeatCount(QByteArrayView text)
{
    if (text.isEmpty())
        return 1;
    bool ok = false;
    const qlonglong n = text.toByteArray().trimmed().toLongLong(&ok);
    if (!ok || n < 1)
        refuse(ReadFailure::Damaged);
    // More than a sheet holds only moves past its end.
    return std::min<qlonglong>(n, limits::kRows * limits::kColumns);
}

// "PT12H30M15.5S" (a duration, also over a day) as a fraction of a day.
std::optional<double> durationDays(QStringView text)
{
    bool negative = text.startsWith(u'-');
    if (negative)
        text = text.mid(1);
    if (!text.startsWith(u'P'))
        return std::nullopt;
    double seconds = 0;
    bool inTime = false;
    qsizetype start = 1;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'T') {
            inTime = true;
            start = i + 1;
            continue;
        }
        if (c.isDigit() || c == u'.')
            continue;
        bool ok = false;
        const double n = text.mid(start, i - start).toDouble(&ok);
        if (!ok)
            return std::nullopt;
        if (c == u'D' && !inTime)
            seconds += n * 86400;
        else if (c == u'H' && inTime)
            seconds += n * 3600;
        else if (c == u'M' && inTime)
            seconds += n * 60;
        else if (c == u'S' && inTime)
            seconds += n;
        else
            return std::nullopt;
        start = i + 1;
    }
    if (start != text.size())
        return std::nullopt;
    return (negative ? -seconds : seconds) / 86400;
}

class OdsReader {
public:
    explicit OdsReader(const QByteArray &bytes) : m_package(bytes) {}

    Workbook read()
    {
        if (m_package.contains(QStringLiteral("mimetype"))) {
            const QByteArray type = m_package.read(QStringLiteral("mimetype"), 1024).trimmed();
            if (!type.startsWith("application/vnd.oasis.opendocument.spreadsheet"))
                refuse(ReadFailure::NotWorkbook);
        }
        if (m_package.contains(QStringLiteral("META-INF/manifest.xml"))
            && m_package.read(QStringLiteral("META-INF/manifest.xml")).contains("encryption-data"))
            refuse(ReadFailure::Encrypted);
        if (!m_package.contains(QStringLiteral("content.xml")))
            refuse(ReadFailure::NotWorkbook);
        XmlPart xml(m_package, QStringLiteral("content.xml"));
        while (xml.next()) {
            if (xml.isStart(QLatin1StringView("spreadsheet")))
                readSpreadsheet(xml);
        }
        return m_builder.take();
    }

private:
    void readSpreadsheet(XmlPart &xml)
    {
        while (xml.next() && !xml.isEnd(QLatin1StringView("spreadsheet"))) {
            if (xml.isStart(QLatin1StringView("null-date")))
                m_from1904 = xml.attributeBytes("date-value").startsWith("1904-01-01");
            else if (xml.isStart(QLatin1StringView("table")))
                readTable(xml, m_builder.addSheet(xml.attribute(QLatin1StringView("name"))));
            else if (xml.isStartElement())
                xml.skipElement();
        }
    }

    // Rows may sit in row groups and header rows at any depth; a table
    // nested in a cell is not the sheet's.
    void readTable(XmlPart &xml, WorkbookSheet &sheet)
    {
        std::int64_t row = 0;
        while (xml.next() && !xml.isEnd(QLatin1StringView("table"))) {
            if (xml.isStart(QLatin1StringView("table-row"))) {
                const std::int64_t repeat = repeatCount(xml.attributeBytes("number-rows-repeated"));
                readRow(xml, sheet, row, repeat);
                row += repeat;
            } else if (xml.isStart(QLatin1StringView("shapes")) || xml.isStart(QLatin1StringView("forms"))
                       || xml.isStart(QLatin1StringView("table-source")) || xml.isStart(QLatin1StringView("named-expressions"))) {
                xml.skipElement();
            }
        }
    }

    struct Cell {
        std::int64_t column;
        std::int64_t repeat;
        CellValue value;
    };

    void readRow(XmlPart &xml, WorkbookSheet &sheet, std::int64_t row, std::int64_t repeat)
    {
        std::vector<Cell> cells;
        std::int64_t column = 0;
        while (xml.next() && !xml.isEnd(QLatin1StringView("table-row"))) {
            if (xml.isStart(QLatin1StringView("table-cell")) || xml.isStart(QLatin1StringView("covered-table-cell"))) {
                const std::int64_t columns = repeatCount(xml.attributeBytes("number-columns-repeated"));
                CellValue value = readCell(xml);
                if (!value.isEmpty())
                    cells.push_back({column, columns, std::move(value)});
                column += columns;
            }
        }
        if (cells.empty())
            return;
        // Checked before anything is stored: a repeat can claim far more cells than exist.
        std::int64_t perRow = 0;
        for (const Cell &cell : cells)
            perRow += cell.repeat;
        if (row + repeat > limits::kRows || cells.back().column + cells.back().repeat > limits::kColumns)
            refuse(ReadFailure::Damaged);
        if (perRow * repeat > limits::kCellSlots)
            refuse(ReadFailure::TooLarge);
        for (std::int64_t r = row; r < row + repeat; ++r)
            for (const Cell &cell : cells)
                for (std::int64_t c = cell.column; c < cell.column + cell.repeat; ++c)
                    m_builder.put(sheet, r, c, cell.value);
    }

    // One cell's value, read up to the cell's end.
    CellValue readCell(XmlPart &xml)
    {
        QString type;
        QString extensionType;
        bool formula = false;
        std::optional<QString> stringValue;
        QString value, dateValue, timeValue, booleanValue;
        for (const auto &a : xml.attributes()) {
            const QByteArrayView name = a.name;
            if (name == "value-type")
                (xml.namespaceOf(a.prefix).contains("calcext") ? extensionType : type) = utf8Text(a.value);
            else if (name == "formula")
                formula = true;
            else if (name == "string-value")
                stringValue = utf8Text(a.value);
            else if (name == "value")
                value = utf8Text(a.value);
            else if (name == "date-value")
                dateValue = utf8Text(a.value);
            else if (name == "time-value")
                timeValue = utf8Text(a.value);
            else if (name == "boolean-value")
                booleanValue = utf8Text(a.value);
        }
        const QString text = cellText(xml);

        if (extensionType == QLatin1String("error"))
            return CellValue::ofError(text);
        if (type == QLatin1String("float") || type == QLatin1String("percentage") || type == QLatin1String("currency")) {
            bool ok = false;
            const double number = value.trimmed().toDouble(&ok);
            if (!ok)
                refuse(ReadFailure::Damaged);
            return numberCell(number);
        }
        if (type == QLatin1String("date")) {
            const auto serial = serialOfIsoDateTime(QStringView(dateValue).trimmed(), m_from1904);
            if (!serial)
                refuse(ReadFailure::Damaged);
            return numberCell(*serial);
        }
        if (type == QLatin1String("time")) {
            const auto days = durationDays(QStringView(timeValue).trimmed());
            if (!days)
                refuse(ReadFailure::Damaged);
            return numberCell(*days);
        }
        if (type == QLatin1String("boolean")) {
            const QString b = booleanValue.trimmed().toLower();
            if (b == QLatin1String("true") || b == QLatin1String("1"))
                return CellValue::ofBoolean(true);
            if (b == QLatin1String("false") || b == QLatin1String("0"))
                return CellValue::ofBoolean(false);
            refuse(ReadFailure::Damaged);
        }
        if (type == QLatin1String("string") || !text.isEmpty()) {
            const QString s = stringValue.value_or(text);
            return formula ? formulaTextCell(s) : textCell(s);
        }
        return formula ? missingResultCell() : CellValue();
    }

    // The cell's paragraphs, one line each. Runs of white space count as
    // one blank and none opens a paragraph; <text:s> spaces always count.
    // Notes and drawings anchored in the cell are not its text.
    QString cellText(XmlPart &xml)
    {
        QString text;
        int paragraphs = 0;
        bool lastWasBlank = true;
        int depth = 1;
        int paragraphDepth = 0; // of the paragraph being read, 0 between them
        while (depth > 0 && xml.next()) {
            if (xml.isStartElement()) {
                const QLatin1StringView name = xml.name();
                if (name == u"annotation" || xml.namespaceUri().contains("drawing") || name == u"table"
                    || name == u"note" || name == u"ruby-text") {
                    xml.skipElement();
                } else if (name == u"p" || name == u"h") {
                    if (paragraphs++ > 0)
                        text += u'\n';
                    lastWasBlank = true;
                    paragraphDepth = ++depth;
                } else if (name == u"s") {
                    const QByteArrayView c = xml.attributeBytes("c");
                    const std::int64_t n = c.isEmpty() ? 1 : repeatCount(c);
                    if (n > 65536)
                        refuse(ReadFailure::Damaged);
                    text += QString(static_cast<qsizetype>(n), u' ');
                    m_builder.chargeText(n);
                    lastWasBlank = false;
                    xml.skipElement();
                } else if (name == u"tab") {
                    text += u'\t';
                    lastWasBlank = false;
                    xml.skipElement();
                } else if (name == u"line-break") {
                    text += u'\n';
                    lastWasBlank = false;
                    xml.skipElement();
                } else {
                    ++depth;
                }
            } else if (xml.isEndElement()) {
                if (depth-- == paragraphDepth)
                    paragraphDepth = 0;
            } else if (xml.isCharacters() && paragraphDepth > 0) {
                for (const QChar c : xml.text()) {
                    if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r') {
                        if (!lastWasBlank)
                            text += u' ';
                        lastWasBlank = true;
                    } else {
                        text += c;
                        lastWasBlank = false;
                    }
                }
            }
        }
        return text;
    }

    ZipPackage m_package;
    WorkbookBuilder m_builder;
    bool m_from1904 = false; // the document's null date
};

} // namespace

Workbook readOds(const QByteArray &bytes) { return OdsReader(bytes).read(); }

} // namespace tallyra::WorkbookReader
