// .ods: the cells of content.xml. Repeated rows and columns are counted,
// not stored, unless they hold a value; covered cells (under a merge) take
// their place in the row; formula cells give the result the file holds,
// whatever its type.
#include "workbook/ReaderSupport.h"
#include "workbook/XmlSupport.h"

#include <QHash>

#include <array>
#include <string>

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

// A data style as read: its class, and the code that shows the same, or
// why there is none. Its conditions (style:map) are resolved once all
// styles are known.
struct DataStyle {
    NumberClass shownAs = NumberClass::Plain;
    QString code;
    bool exact = true; // false: no code shows what this style shows
    std::vector<std::pair<QString, QString>> maps; // condition, style applied
};

// A cell style: its own data style, else its parent's.
struct CellStyle {
    QString parent;
    QString dataStyle;
};

// Text as a quoted literal of a format code; nothing for a quote, which
// a literal cannot hold.
std::optional<QString> quoted(const QString &text)
{
    if (text.isEmpty())
        return QString();
    if (text.contains(u'"'))
        return std::nullopt;
    return u'"' + text + u'"';
}

bool isTrue(QByteArrayView v) { return v == "true"; }

// A date or time part's code: "long" doubles it.
QString datePart(const XmlPart &xml, QLatin1StringView name)
{
    const bool longForm = xml.attributeBytes("style") == "long";
    if (name == u"year")
        return longForm ? QStringLiteral("yyyy") : QStringLiteral("yy");
    if (name == u"month") {
        if (isTrue(xml.attributeBytes("textual")))
            return longForm ? QStringLiteral("mmmm") : QStringLiteral("mmm");
        return longForm ? QStringLiteral("mm") : QStringLiteral("m");
    }
    if (name == u"day")
        return longForm ? QStringLiteral("dd") : QStringLiteral("d");
    if (name == u"day-of-week")
        return longForm ? QStringLiteral("dddd") : QStringLiteral("ddd");
    if (name == u"hours")
        return longForm ? QStringLiteral("hh") : QStringLiteral("h");
    if (name == u"minutes")
        return longForm ? QStringLiteral("mm") : QStringLiteral("m");
    if (name == u"seconds") {
        QString code = longForm ? QStringLiteral("ss") : QStringLiteral("s");
        const int decimals = xml.attributeBytes("decimal-places").toInt();
        if (decimals > 0)
            code += u'.' + QString(std::min(decimals, 9), u'0');
        return code;
    }
    if (name == u"am-pm")
        return QStringLiteral("AM/PM");
    if (name == u"quarter")
        return longForm ? QStringLiteral("QQ") : QStringLiteral("Q");
    if (name == u"week-of-year")
        return QStringLiteral("WW");
    if (name == u"era")
        return longForm ? QStringLiteral("GGG") : QStringLiteral("G");
    return {};
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
        if (m_package.contains(QStringLiteral("styles.xml")))
            readStylesPart();
        XmlPart xml(m_package, QStringLiteral("content.xml"));
        while (xml.next()) {
            if (xml.isStart(QLatin1StringView("automatic-styles")))
                readStyles(xml);
            else if (xml.isStart(QLatin1StringView("spreadsheet")))
                readSpreadsheet(xml);
        }
        return m_builder.take();
    }

private:
    // The common styles: cell styles that automatic ones derive from, and
    // the data styles they name.
    void readStylesPart()
    {
        XmlPart xml(m_package, QStringLiteral("styles.xml"));
        while (xml.next()) {
            if (xml.isStart(QLatin1StringView("styles")) || xml.isStart(QLatin1StringView("automatic-styles")))
                readStyles(xml);
        }
    }

    // The data styles and cell styles of one office:styles or
    // office:automatic-styles element, read to its end.
    void readStyles(XmlPart &xml)
    {
        const QByteArray end(xml.name().data(), xml.name().size());
        m_resolved.clear();
        m_lastStyle.reset();
        m_defaultFormat.reset();
        while (xml.next() && !xml.isEnd(QLatin1StringView(end))) {
            if (!xml.isStartElement())
                continue;
            if (++m_styleCount > limits::kCellStyles)
                refuse(ReadFailure::TooLarge);
            const QLatin1StringView name = xml.name();
            if (name == u"style" && xml.attributeBytes("family") == "table-cell") {
                const QString styleName = xml.attribute(QLatin1StringView("name"));
                CellStyle style{xml.attribute(QLatin1StringView("parent-style-name")),
                                xml.attribute(QLatin1StringView("data-style-name"))};
                m_builder.chargeText(styleName.size() + style.parent.size() + style.dataStyle.size());
                m_cellStyles.insert(styleName, std::move(style));
                xml.skipElement();
            } else if (name.endsWith(QLatin1StringView("-style")) && xml.namespaceUri().contains("datastyle")) {
                const QString styleName = xml.attribute(QLatin1StringView("name"));
                m_builder.chargeText(styleName.size());
                m_dataStyles.insert(styleName, readDataStyle(xml, name));
            } else {
                xml.skipElement();
            }
        }
    }

    // One number:*-style element, read to its end.
    DataStyle readDataStyle(XmlPart &xml, QLatin1StringView element)
    {
        // The element's name, kept: the parser's buffer moves on.
        const QByteArray end(element.data(), element.size());
        const QLatin1StringView kind(end);
        DataStyle style;
        const bool percentage = kind == u"percentage-style";
        const bool dateTime = kind == u"date-style" || kind == u"time-style";
        bool hasDate = false, hasTime = false;
        if (kind == u"boolean-style") {
            style.shownAs = NumberClass::Boolean;
        } else if (kind == u"text-style") {
            style.shownAs = NumberClass::Text;
        } else if (percentage) {
            style.shownAs = NumberClass::Percent;
        } else if (kind == u"currency-style") {
            style.exact = false; // its symbol and its locale's ways
        } else if (!dateTime && kind != u"number-style") {
            style.exact = false;
        }
        // [h] for hours past a day, as a time style says by default.
        const bool elapsed = kind == u"time-style" && xml.attributeBytes("truncate-on-overflow") == "false";
        while (xml.next() && !xml.isEnd(kind)) {
            if (!xml.isStartElement())
                continue;
            const QLatin1StringView name = xml.name();
            if (name == u"text") {
                const QString text = xml.elementText();
                if (percentage) {
                    // Its % is the sign that multiplies by 100.
                    const auto parts = text.split(u'%');
                    for (qsizetype i = 0; i < parts.size(); ++i) {
                        const auto literal = quoted(parts[i]);
                        literal ? void(style.code += *literal) : void(style.exact = false);
                        if (i + 1 < parts.size())
                            style.code += u'%';
                    }
                } else if (const auto literal = quoted(text)) {
                    style.code += *literal;
                } else {
                    style.exact = false;
                }
            } else if (name == u"number" && !dateTime) {
                style.code += numberCode(xml, style.exact);
            } else if (name == u"boolean") {
                style.code += QStringLiteral("BOOLEAN");
                xml.skipElement();
            } else if (name == u"text-content") {
                style.code += u'@';
                xml.skipElement();
            } else if (name == u"map") {
                style.maps.emplace_back(xml.attribute(QLatin1StringView("condition")).remove(u' '),
                                        xml.attribute(QLatin1StringView("apply-style-name")));
                xml.skipElement();
            } else if (name == u"text-properties") {
                xml.skipElement(); // a colour: the text is the same
            } else if (dateTime && !datePart(xml, name).isEmpty()) {
                const bool time = name == u"hours" || name == u"minutes" || name == u"seconds" || name == u"am-pm";
                (time ? hasTime : hasDate) = true;
                const QString part = datePart(xml, name);
                style.code += elapsed && name == u"hours" ? u'[' + part + u']' : part;
                xml.skipElement();
            } else {
                // Scientific notation, fractions, currency symbols, fill
                // characters: no code here shows what they show.
                style.exact = false;
                xml.skipElement();
            }
        }
        if (dateTime) {
            // Its parts decide, not its element: hours alone are a time.
            style.shownAs = hasDate && hasTime ? NumberClass::DateTime
                            : hasTime          ? NumberClass::Time
                            : hasDate          ? NumberClass::Date
                            : kind == u"time-style" ? NumberClass::Time
                                                    : NumberClass::Date;
        }
        if (style.code.isEmpty() && style.shownAs == NumberClass::Plain)
            style.code = QStringLiteral("General");
        return style;
    }

    // number:number as the integer and decimal digits of a code, read to
    // its end: "000000", "#,##0", "0.00", "#.0##"; General when it names no
    // decimals.
    static QString numberCode(XmlPart &xml, bool &exact)
    {
        const auto count = [&](QByteArrayView text, int fallback) {
            if (text.isEmpty())
                return fallback;
            bool ok = false;
            const int n = text.toByteArray().trimmed().toInt(&ok);
            if (!ok || n < 0 || n > 30) {
                exact = false;
                return 0;
            }
            return n;
        };
        const QByteArrayView factor = xml.attributeBytes("display-factor");
        if ((!factor.isEmpty() && factor != "1") || !xml.attributeBytes("decimal-replacement").isEmpty())
            exact = false;
        const bool general = xml.attributeBytes("decimal-places").isEmpty();
        const int decimals = count(xml.attributeBytes("decimal-places"), 0);
        // number: (ODF 1.3) or loext: (before it); as many as decimal-places without.
        const int shownDecimals = std::min(decimals, count(xml.attributeBytes("min-decimal-places"), decimals));
        const int integers = count(xml.attributeBytes("min-integer-digits"), 1);
        const bool grouping = isTrue(xml.attributeBytes("grouping"));
        // Text inside the number ("embedded text") has no code here.
        for (int depth = 1; depth > 0 && xml.next();) {
            if (xml.isStartElement()) {
                exact = false;
                ++depth;
            } else if (xml.isEndElement()) {
                --depth;
            }
        }
        if (general && integers <= 1 && !grouping)
            return QStringLiteral("General");
        if (general)
            exact = false;
        // Digits to group need four places: "#,##0", "#,000", "000,000".
        QString digits = QString(std::max(0, (grouping ? 4 : 1) - integers), u'#') + QString(integers, u'0');
        if (grouping)
            for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
                digits.insert(at, u',');
        if (decimals > 0)
            digits += u'.' + QString(shownDecimals, u'0') + QString(decimals - shownDecimals, u'#');
        return digits;
    }

    // The format of a data style, its conditions turned into sections
    // where they are a code's own: "value()>=0" (positive;negative), or
    // "value()>0" with "value()<0" (positive;negative;zero).
    CellFormat formatOfDataStyle(const DataStyle &style)
    {
        QString code = style.code;
        bool exact = style.exact;
        if (!style.maps.empty()) {
            const auto sectionOf = [&](const QString &name) -> QString {
                const auto mapped = m_dataStyles.constFind(name);
                if (mapped == m_dataStyles.cend() || !mapped->exact || !mapped->maps.empty()) {
                    exact = false;
                    return {};
                }
                return mapped->code;
            };
            QHash<QString, QString> byCondition;
            for (const auto &[condition, name] : style.maps)
                byCondition.insert(condition, name);
            if (style.maps.size() == 1 && byCondition.contains(QStringLiteral("value()>=0")))
                code = sectionOf(byCondition.value(QStringLiteral("value()>=0"))) + u';' + code;
            else if (style.maps.size() == 2 && byCondition.contains(QStringLiteral("value()>0"))
                     && byCondition.contains(QStringLiteral("value()<0")))
                code = sectionOf(byCondition.value(QStringLiteral("value()>0"))) + u';'
                       + sectionOf(byCondition.value(QStringLiteral("value()<0"))) + u';' + code;
            else
                exact = false;
        }
        // A code that shows nothing, where no code shows what Calc shows.
        if (!exact)
            code = QStringLiteral("[ODS style without a code]");
        return m_builder.addFormat(style.shownAs, code);
    }

    // The format of cell style `name`: its data style, else its parent's,
    // up to "Default", which every other style derives from.
    CellFormat formatOfStyle(const QString &name)
    {
        const auto known = m_resolved.constFind(name);
        if (known != m_resolved.cend())
            return *known;
        CellFormat format;
        QString current = name;
        const QString root = QStringLiteral("Default");
        for (int depth = 0; depth < 64; ++depth) {
            const auto style = m_cellStyles.constFind(current);
            if (style != m_cellStyles.cend()) {
                const auto data = m_dataStyles.constFind(style->dataStyle);
                if (data != m_dataStyles.cend()) {
                    format = formatOfDataStyle(*data);
                    break;
                }
            }
            if (style != m_cellStyles.cend() && !style->parent.isEmpty())
                current = style->parent;
            else if (current != root)
                current = root;
            else
                break;
        }
        m_resolved.insert(name, format);
        return format;
    }

    // A cell's format by its style-name attribute: the last one's again
    // without a look-up, as most cells share their neighbour's.
    CellFormat formatOfStyleName(QByteArrayView name)
    {
        if (!m_lastStyle || name != QByteArrayView(m_lastStyleName)) {
            m_lastStyleName = name.toByteArray();
            m_lastStyle = formatOfStyle(utf8Text(name));
        }
        return *m_lastStyle;
    }

    void readSpreadsheet(XmlPart &xml)
    {
        while (xml.next() && !xml.isEnd(QLatin1StringView("spreadsheet"))) {
            if (xml.isStart(QLatin1StringView("null-date"))) {
                // Calc counts serial numbers from any null date it is given.
                const auto date = QDate::fromString(utf8Text(xml.attributeBytes("date-value")).left(10), Qt::ISODate);
                if (date.isValid())
                    m_nullDate = date;
                m_builder.setNullDate(m_nullDate);
            } else if (xml.isStart(QLatin1StringView("calculation-settings"))) {
                continue; // the null date is in there
            } else if (xml.isStart(QLatin1StringView("table")))
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
        m_columnFormats.clear();
        while (xml.next() && !xml.isEnd(QLatin1StringView("table"))) {
            if (xml.isStart(QLatin1StringView("table-column"))) {
                // A column's cells without a style of their own take its default.
                const std::int64_t repeat = repeatCount(xml.attributeBytes("number-columns-repeated"));
                const QByteArrayView style = xml.attributeBytes("default-cell-style-name");
                const CellFormat format = style.isEmpty() ? defaultFormat() : formatOfStyleName(style);
                const auto columns = size_t(std::min<std::int64_t>(limits::kColumns - std::int64_t(m_columnFormats.size()), repeat));
                m_columnFormats.insert(m_columnFormats.end(), columns, format);
            } else if (xml.isStart(QLatin1StringView("table-row"))) {
                const std::int64_t repeat = repeatCount(xml.attributeBytes("number-rows-repeated"));
                // Cells beyond the columns declared take the row's default.
                const QByteArrayView style = xml.attributeBytes("default-cell-style-name");
                m_rowFormat = style.isEmpty() ? defaultFormat() : formatOfStyleName(style);
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
        std::vector<Cell> &cells = m_rowCells; // kept from row to row
        cells.clear();
        std::int64_t column = 0;
        while (xml.next() && !xml.isEnd(QLatin1StringView("table-row"))) {
            if (xml.isStart(QLatin1StringView("table-cell")) || xml.isStart(QLatin1StringView("covered-table-cell"))) {
                const std::int64_t columns = repeatCount(xml.attributeBytes("number-columns-repeated"));
                CellValue value = readCell(xml, column);
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
        for (std::int64_t r = row; r < row + repeat; ++r) {
            for (Cell &cell : cells) {
                for (std::int64_t c = cell.column; c < cell.column + cell.repeat; ++c) {
                    // The last copy takes the value itself.
                    if (r + 1 == row + repeat && c + 1 == cell.column + cell.repeat)
                        m_builder.put(sheet, r, c, std::move(cell.value));
                    else
                        m_builder.put(sheet, r, c, cell.value);
                }
            }
        }
    }

    // The "Default" cell style's format, which a cell without a style has.
    CellFormat defaultFormat()
    {
        if (!m_defaultFormat)
            m_defaultFormat = formatOfStyle(QStringLiteral("Default"));
        return *m_defaultFormat;
    }

    // A number of the cell's format. Where that is General and the column
    // is declared, Calc shows a value typed as a percentage, a date or a
    // time in its standard format for the type; a number of a boolean
    // style is the logical value it shows.
    CellValue typedNumber(double value, CellFormat format, QByteArrayView type, bool declared)
    {
        if (format.shownAs == NumberClass::Boolean)
            return std::isfinite(value) ? CellValue::ofBoolean(value != 0) : numberCell(value);
        if (format.format == 0 && declared) {
            if (type == "percentage")
                format = m_builder.addFormat(NumberClass::Percent, QStringLiteral("0.00%"));
            else if (type == "date")
                format = m_builder.addFormat(NumberClass::DateTime, QStringLiteral("mm/dd/yy\\ hh:mm\\ AM/PM"));
            else if (type == "time")
                format = m_builder.addFormat(NumberClass::Time, QStringLiteral("hh:mm:ss\\ AM/PM"));
        }
        return numberCell(value, format);
    }

    // Whether a prefix's namespace URI holds a word: looked up once per
    // prefix until a declaration may have changed it.
    struct NamespaceTest {
        const char *word;
        struct Entry {
            std::string prefix;
            quint64 declarations = ~quint64(0);
            bool result = false;
        };
        std::array<Entry, 4> entries{};
        size_t nextEntry = 0;

        bool operator()(const XmlPart &xml, QByteArrayView prefix)
        {
            for (const Entry &e : entries)
                if (e.declarations == xml.namespaceDeclarations() && XmlPart::same(e.prefix, prefix))
                    return e.result;
            Entry &e = entries[nextEntry++ % entries.size()];
            e.prefix.assign(prefix.data(), size_t(prefix.size()));
            e.declarations = xml.namespaceDeclarations();
            e.result = xml.namespaceOf(prefix).contains(word);
            return e.result;
        }
    };

    // One cell's value, read up to the cell's end. The attributes are
    // copied into buffers kept from cell to cell, as reading its text
    // moves the parser on.
    CellValue readCell(XmlPart &xml, std::int64_t column)
    {
        const bool declared = column < std::int64_t(m_columnFormats.size());
        CellFormat format = declared ? m_columnFormats[size_t(column)] : m_rowFormat;
        std::string &type = m_type;
        std::string &extensionType = m_extensionType;
        std::string &value = m_valueAttribute;
        type.clear();
        extensionType.clear();
        value.clear();
        bool formula = false;
        bool hasStringValue = false, hasDate = false, hasTime = false, hasBoolean = false;
        for (const auto &a : xml.attributes()) {
            const QByteArrayView name = a.name;
            if (name == "value-type")
                (m_isCalcext(xml, a.prefix) ? extensionType : type) = a.value;
            else if (name == "formula")
                formula = true;
            else if (name == "string-value")
                m_stringValue = a.value, hasStringValue = true;
            else if (name == "value")
                value = a.value;
            else if (name == "date-value")
                m_dateValue = a.value, hasDate = true;
            else if (name == "time-value")
                m_timeValue = a.value, hasTime = true;
            else if (name == "boolean-value")
                m_booleanValue = a.value, hasBoolean = true;
            else if (name == "style-name")
                format = formatOfStyleName(a.value);
        }
        const auto bytes = [](bool has, const std::string &s) { return has ? QByteArrayView(s) : QByteArrayView(); };
        // A number's text is read past, not kept: only an error uses it.
        const QByteArrayView t(type);
        const bool numeric = t == "float" || t == "percentage" || t == "currency" || t == "date" || t == "time" || t == "boolean";
        const QString text = cellText(xml, !numeric || QByteArrayView(extensionType) == "error");

        if (QByteArrayView(extensionType) == "error")
            return CellValue::ofError(text);
        if (QByteArrayView(type) == "float" || QByteArrayView(type) == "percentage" || QByteArrayView(type) == "currency") {
            double number = 0;
            if (!parseShortDecimal(value, number)) {
                bool ok = false;
                number = utf8Text(value).trimmed().toDouble(&ok);
                if (!ok)
                    refuse(ReadFailure::Damaged);
            }
            return typedNumber(number, format, type, declared);
        }
        if (QByteArrayView(type) == "date") {
            const auto serial = serialOfIsoDateTime(utf8Text(bytes(hasDate, m_dateValue)).trimmed(), m_nullDate);
            if (!serial)
                refuse(ReadFailure::Damaged);
            return typedNumber(*serial, format, type, declared);
        }
        if (QByteArrayView(type) == "time") {
            const auto days = durationDays(utf8Text(bytes(hasTime, m_timeValue)).trimmed());
            if (!days)
                refuse(ReadFailure::Damaged);
            return typedNumber(*days, format, type, declared);
        }
        if (QByteArrayView(type) == "boolean") {
            const QString b = utf8Text(bytes(hasBoolean, m_booleanValue)).trimmed().toLower();
            if (b == QLatin1String("true") || b == QLatin1String("1"))
                return CellValue::ofBoolean(true);
            if (b == QLatin1String("false") || b == QLatin1String("0"))
                return CellValue::ofBoolean(false);
            // Calc writes a number of a boolean style so ("2", "0.5"), and
            // reads it back as that number.
            bool ok = false;
            const double number = b.toDouble(&ok);
            if (!ok)
                refuse(ReadFailure::Damaged);
            return typedNumber(number, format, type, declared);
        }
        if (QByteArrayView(type) == "string" || !text.isEmpty()) {
            const QString s = hasStringValue ? utf8Text(m_stringValue) : text;
            return formula ? formulaTextCell(s) : textCell(s);
        }
        return formula ? missingResultCell() : CellValue();
    }

    // The cell's paragraphs, one line each. Runs of white space count as
    // one blank and none opens a paragraph; <text:s> spaces always count.
    // Notes and drawings anchored in the cell are not its text.
    QString cellText(XmlPart &xml, bool keep = true)
    {
        QString text;
        int paragraphs = 0;
        bool lastWasBlank = true;
        int depth = 1;
        int paragraphDepth = 0; // of the paragraph being read, 0 between them
        while (depth > 0 && xml.next()) {
            if (xml.isStartElement()) {
                const QLatin1StringView name = xml.name();
                if (name == u"annotation" || m_isDrawing(xml, xml.prefix()) || name == u"table"
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
                    if (keep)
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
            } else if (xml.isCharacters() && paragraphDepth > 0 && keep) {
                const QByteArrayView bytes = xml.textBytes();
                // White space is ASCII: without any, the text goes in whole.
                bool blanks = false;
                for (const char c : bytes)
                    blanks = blanks || c == ' ' || c == '\t' || c == '\n' || c == '\r';
                if (!blanks) {
                    if (!bytes.isEmpty()) {
                        text += utf8Text(bytes);
                        lastWasBlank = false;
                    }
                    continue;
                }
                for (const QChar c : utf8Text(bytes)) {
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
    QDate m_nullDate{1899, 12, 30}; // serial number 0
    QHash<QString, DataStyle> m_dataStyles;
    QHash<QString, CellStyle> m_cellStyles;
    std::int64_t m_styleCount = 0;
    QHash<QString, CellFormat> m_resolved; // by cell style name
    QByteArray m_lastStyleName;
    std::optional<CellFormat> m_lastStyle;
    std::optional<CellFormat> m_defaultFormat;
    std::vector<CellFormat> m_columnFormats; // the current table's declared columns
    CellFormat m_rowFormat;                  // the current row's, beyond them
    std::vector<Cell> m_rowCells;            // the current row's values
    // The current cell's attributes.
    std::string m_type, m_extensionType, m_valueAttribute, m_stringValue, m_dateValue, m_timeValue, m_booleanValue;
    NamespaceTest m_isCalcext{"calcext"};
    NamespaceTest m_isDrawing{"drawing"};
};

} // namespace

Workbook readOds(const QByteArray &bytes) { return OdsReader(bytes).read(); }

} // namespace tallyra::WorkbookReader
