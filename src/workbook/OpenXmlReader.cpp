// .xlsx / .xlsm: SpreadsheetML read for its values. Sheets come in the
// order of workbook.xml, whatever their sheetId; formula cells give the
// result the file cached (shared and array formulas included, since every
// cell of theirs carries its own); Strict files differ only in namespaces,
// which are not looked at.
#include "workbook/FormatCode.h"
#include "workbook/ReaderSupport.h"
#include "workbook/XmlSupport.h"

#include <QHash>

#include <cctype>
#include <charconv>

namespace tallyra::WorkbookReader {

namespace {

struct Relationship {
    QString type; // the last segment of the type URI ("worksheet")
    QString target; // a part name, from the package root
};

QString folderOf(const QString &part)
{
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : part.left(slash + 1);
}

// A relationship's target as a part name: absolute ("/xl/workbook.xml") or
// relative to the folder of the part that holds the relationship.
QString resolve(const QString &sourcePart, const QString &target)
{
    QString path = target.startsWith(QLatin1Char('/')) ? target.mid(1) : folderOf(sourcePart) + target;
    QStringList parts;
    for (const QString &segment : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (segment == QLatin1String(".."))
            parts.isEmpty() ? void() : parts.removeLast();
        else if (segment != QLatin1String("."))
            parts << segment;
    }
    return parts.join(QLatin1Char('/'));
}

QString relationshipsOf(const QString &part)
{
    return folderOf(part) + QStringLiteral("_rels/") + part.mid(folderOf(part).size()) + QStringLiteral(".rels");
}

// Malformed relationships are read as none, as Calc reads them: the sheets
// they should lead to then come out empty, and no value is guessed.
QHash<QString, Relationship> readRelationships(ZipPackage &package, const QString &part)
{
    QHash<QString, Relationship> relationships;
    const QString name = relationshipsOf(part);
    if (!package.contains(name))
        return relationships;
    try {
        XmlPart xml(package, name);
        while (xml.next()) {
            if (!xml.isStart(QLatin1StringView("Relationship"))
                || xml.attribute(QLatin1StringView("TargetMode")) == u"External")
                continue;
            const QString type = xml.attribute(QLatin1StringView("Type"));
            relationships.insert(xml.attribute(QLatin1StringView("Id")),
                                 {type.mid(type.lastIndexOf(QLatin1Char('/')) + 1),
                                  resolve(part, xml.attribute(QLatin1StringView("Target")))});
        }
    } catch (const Refusal &refusal) {
        if (refusal.failure != ReadFailure::Damaged)
            throw;
        relationships.clear();
    }
    return relationships;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// "_x000D_" stands for a character XML cannot hold as such, "_x005F_" for
// the underscore that would otherwise start one. Calc decodes only those:
// one to four hex digits naming a control character, the underscore, a
// surrogate or U+FFFE/U+FFFF. Any other code ("_x0041_") is the text it is.
QString unescapeCodes(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'_' && i + 1 < text.size() && text[i + 1] == u'x') {
            qsizetype end = i + 2;
            uint code = 0;
            for (int digit; end < text.size() && end < i + 6 && (digit = hexDigit(text[end])) >= 0; ++end)
                code = code * 16 + uint(digit);
            const bool decoded = code < 0x20 || code == 0x5F || (code >= 0xD800 && code <= 0xDFFF) || code >= 0xFFFE;
            if (end > i + 2 && end < text.size() && text[end] == u'_' && decoded) {
                out += QChar(char16_t(code));
                i = end;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// A line break kept with its carriage return is one line break, as Calc
// reads it.
QString unescape(QString text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    text = unescapeCodes(text);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

// The text of a shared string or an inline string: its own <t> and those of
// its rich-text runs, but never a phonetic guide (<rPh>) over it.
QString richText(XmlPart &xml, QLatin1StringView element)
{
    QString text;
    while (xml.next() && !xml.isEnd(element)) {
        if (xml.isStart(QLatin1StringView("rPh")))
            xml.skipElement();
        else if (xml.isStart(QLatin1StringView("t")))
            text += xml.elementText();
    }
    return unescape(text);
}

// "B17" as a 0-based (row, column); false when it is not a cell address.
bool parseReference(QByteArrayView ref, std::int64_t &row, std::int64_t &column)
{
    qsizetype i = 0;
    std::int64_t c = 0;
    for (; i < ref.size(); ++i) {
        // ASCII letters inline; other bytes as the C library classes them.
        const auto b = static_cast<unsigned char>(ref[i]);
        const bool ascii = b < 0x80;
        const bool letter = ascii ? ((b | 0x20) >= 'a' && (b | 0x20) <= 'z') : std::isalpha(b) != 0;
        if (!letter)
            break;
        if (i >= 3)
            return false;
        c = c * 26 + ((ascii ? (b & ~0x20) : std::toupper(b)) - 'A' + 1);
    }
    std::int64_t r = 0;
    const qsizetype digits = i;
    for (; i < ref.size(); ++i) {
        if (ref[i] < '0' || ref[i] > '9' || i - digits >= 8)
            return false;
        r = r * 10 + (ref[i] - '0');
    }
    if (c == 0 || r == 0 || i == digits)
        return false;
    row = r - 1;
    column = c - 1;
    return true;
}

double parseNumber(QByteArrayView text)
{
    double value = 0;
    if (parseShortDecimal(text, value))
        return value;
    text = text.trimmed();
    if (text.startsWith('+'))
        text = text.sliced(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.isEmpty() || error != std::errc() || end != text.data() + text.size())
        refuse(ReadFailure::Damaged);
    return value;
}

// An integer attribute as Calc reads it: blanks, a sign and the digits up to
// anything else ("1x" is 1; "x", "" and what overflows 32 bits are 0).
std::int64_t leadingInteger(QByteArrayView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
        ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    std::int64_t n = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        n = n * 10 + (text[i] - '0');
        if (n > std::int64_t(INT32_MAX) + 1)
            return 0;
    }
    if (negative)
        n = -n;
    return n < INT32_MIN || n > INT32_MAX ? 0 : n;
}

bool isWorkbookContentType(QStringView type)
{
    return type.endsWith(u".main+xml") && (type.contains(u"spreadsheetml") || type.contains(u"ms-excel"));
}

class OpenXmlReader {
public:
    explicit OpenXmlReader(const QByteArray &bytes) : m_package(bytes) {}

    Workbook read()
    {
        if (!m_package.contains(QStringLiteral("[Content_Types].xml"))) {
            // An encrypted or otherwise foreign zip, or an OpenDocument file.
            refuse(ReadFailure::NotWorkbook);
        }
        readContentTypes();
        const QString workbookPart = findWorkbookPart();
        const auto relationships = readRelationships(m_package, workbookPart);
        bool styles = false;
        for (const Relationship &r : relationships) {
            if (r.type == QLatin1String("sharedStrings")) {
                readSharedStrings(r.target);
            } else if (r.type == QLatin1String("styles") && !styles) {
                readStyles(r.target);
                styles = true;
            }
        }
        readWorkbook(workbookPart);
        for (const auto &sheet : m_sheetList) {
            WorkbookSheet &out = m_builder.addSheet(sheet.first);
            const auto r = relationships.constFind(sheet.second);
            // A chart sheet holds no cells; any other sheet kind is read for them.
            if (r == relationships.cend() || r->type == QLatin1String("chartsheet") || !m_package.contains(r->target))
                continue;
            readSheet(r->target, out);
        }
        return m_builder.take();
    }

private:
    void readContentTypes()
    {
        XmlPart xml(m_package, QStringLiteral("[Content_Types].xml"));
        while (xml.next()) {
            if (xml.isStart(QLatin1StringView("Default")))
                m_defaultTypes.insert(xml.attribute(QLatin1StringView("Extension")).toLower(),
                                      xml.attribute(QLatin1StringView("ContentType")));
            else if (xml.isStart(QLatin1StringView("Override")))
                m_overrideTypes.insert(resolve(QString(), xml.attribute(QLatin1StringView("PartName"))).toLower(),
                                       xml.attribute(QLatin1StringView("ContentType")));
        }
    }

    QString contentTypeOf(const QString &part) const
    {
        const auto o = m_overrideTypes.constFind(part.toLower());
        if (o != m_overrideTypes.cend())
            return *o;
        return m_defaultTypes.value(part.mid(part.lastIndexOf(QLatin1Char('.')) + 1).toLower());
    }

    // The package's main part, by its relationship; failing that, by its
    // content type. A binary workbook (.xlsb) or a document of another kind
    // is not one we read.
    QString findWorkbookPart()
    {
        for (const Relationship &r : readRelationships(m_package, QString())) {
            if (r.type == QLatin1String("officeDocument") && m_package.contains(r.target)) {
                const QString type = contentTypeOf(r.target);
                if (!type.isEmpty() && !isWorkbookContentType(type))
                    refuse(ReadFailure::NotWorkbook);
                return r.target;
            }
        }
        for (auto o = m_overrideTypes.cbegin(); o != m_overrideTypes.cend(); ++o)
            if (isWorkbookContentType(o.value()) && m_package.contains(o.key()))
                return o.key();
        refuse(ReadFailure::NotWorkbook);
    }

    void readWorkbook(const QString &part)
    {
        XmlPart xml(m_package, part);
        while (xml.next()) {
            if (xml.isStart(QLatin1StringView("workbookPr"))) {
                const QByteArrayView v = xml.attributeBytes("date1904");
                m_from1904 = v == "1" || v == "true";
            } else if (xml.isStart(QLatin1StringView("sheet"))) {
                m_sheetList.push_back({xml.attribute(QLatin1StringView("name")),
                                       xml.attribute(QLatin1StringView("id"))});
            }
        }
        if (m_sheetList.empty())
            refuse(ReadFailure::Damaged);
        m_builder.setDates1904(m_from1904);
    }

    // Each cell style's number format, from the styles part. Calc reads a
    // malformed one as none: every cell is General, and the values stand.
    void readStyles(const QString &part)
    {
        if (!m_package.contains(part))
            return;
        QHash<std::int64_t, QString> codes; // numFmtId: formatCode, the last given
        std::vector<std::int64_t> styleFormats; // each cellXfs xf's numFmtId
        try {
            XmlPart xml(m_package, part);
            int inCellXfs = 0;
            while (xml.next()) {
                if (xml.isStart(QLatin1StringView("numFmt"))) {
                    const QString code = xml.attribute(QLatin1StringView("formatCode"));
                    m_builder.chargeText(code.size() + 8);
                    codes.insert(leadingInteger(xml.attributeBytes("numFmtId")), code);
                } else if (xml.isStart(QLatin1StringView("cellXfs"))) {
                    ++inCellXfs;
                } else if (xml.isEnd(QLatin1StringView("cellXfs"))) {
                    --inCellXfs;
                } else if (inCellXfs > 0 && xml.isStart(QLatin1StringView("xf"))) {
                    // Whatever applyNumberFormat says, Calc takes the number format.
                    if (std::int64_t(styleFormats.size()) >= limits::kCellStyles)
                        refuse(ReadFailure::TooLarge);
                    styleFormats.push_back(leadingInteger(xml.attributeBytes("numFmtId")));
                    xml.skipElement();
                }
            }
        } catch (const Refusal &refusal) {
            if (refusal.failure != ReadFailure::Damaged)
                throw;
            return;
        }
        // Each format classified once, however many styles share it.
        QHash<std::int64_t, CellFormat> resolved;
        m_cellFormats.reserve(styleFormats.size());
        for (const std::int64_t id : styleFormats) {
            auto known = resolved.constFind(id);
            if (known == resolved.cend()) {
                // A code of its own overrides a built-in one; an id with
                // neither is General.
                auto code = codes.constFind(id);
                std::optional<QString> builtin;
                if (code == codes.cend() && id >= 0 && id <= INT32_MAX)
                    builtin = FormatCode::builtinCode(int(id));
                const QString &text = code != codes.cend() ? *code : builtin ? *builtin : QString();
                const CellFormat format = text.isEmpty() ? CellFormat()
                                                         : m_builder.addFormat(FormatCode::classify(text), text);
                known = resolved.insert(id, format);
            }
            m_cellFormats.push_back(*known);
        }
    }

    // The number format of a cell by its "s": none (absent, or naming no
    // style) is General, as in Calc.
    CellFormat formatOf(const XmlPart::Attribute *style) const
    {
        if (!style)
            return {};
        const std::int64_t index = leadingInteger(style->value);
        return index >= 0 && index < std::int64_t(m_cellFormats.size()) ? m_cellFormats[size_t(index)] : CellFormat();
    }

    void readSharedStrings(const QString &part)
    {
        if (!m_package.contains(part))
            return;
        XmlPart xml(m_package, part);
        while (xml.next()) {
            if (xml.isStart(QLatin1StringView("si"))) {
                m_strings.push_back(richText(xml, QLatin1StringView("si")));
                m_builder.chargeText(m_strings.back().size() + 8);
            }
        }
    }

    void readSheet(const QString &part, WorkbookSheet &sheet)
    {
        XmlPart xml(m_package, part);
        std::int64_t row = -1;
        std::int64_t nextColumn = 0;
        while (xml.next()) {
            if (xml.isStart(QLatin1StringView("row"))) {
                const QByteArrayView r = xml.attributeBytes("r");
                row = r.isEmpty() ? row + 1 : static_cast<std::int64_t>(parseNumber(r)) - 1;
                if (row < 0 || row >= limits::kRows)
                    refuse(ReadFailure::Damaged);
                nextColumn = 0;
            } else if (xml.isStart(QLatin1StringView("c"))) {
                std::int64_t cellRow = row < 0 ? 0 : row;
                std::int64_t column = nextColumn;
                const QByteArrayView ref = xml.attributeBytes("r");
                if (!ref.isEmpty() && !parseReference(ref, cellRow, column))
                    refuse(ReadFailure::Damaged);
                const CellType type = cellType(xml.attributeBytes("t"));
                const XmlPart::Attribute *style = nullptr;
                for (const auto &a : xml.attributes())
                    if (a.name == "s")
                        style = &a;
                m_builder.put(sheet, cellRow, column, readCell(xml, type, formatOf(style)));
                nextColumn = column + 1;
            }
        }
    }

    enum class CellType { Number, Shared, String, Inline, Boolean, Error, Date };

    static CellType cellType(QByteArrayView t)
    {
        if (t.isEmpty() || t == "n")
            return CellType::Number;
        if (t == "s")
            return CellType::Shared;
        if (t == "str")
            return CellType::String;
        if (t == "inlineStr")
            return CellType::Inline;
        if (t == "b")
            return CellType::Boolean;
        if (t == "e")
            return CellType::Error;
        if (t == "d")
            return CellType::Date;
        refuse(ReadFailure::Damaged);
    }

    // The value of one <c>, read up to its end.
    CellValue readCell(XmlPart &xml, CellType type, CellFormat format)
    {
        bool formula = false;
        bool hasValue = false;
        std::optional<QString> inlineText;
        while (xml.next() && !xml.isEnd(QLatin1StringView("c"))) {
            if (xml.isStart(QLatin1StringView("v"))) {
                // Copied into a buffer of its own, kept from cell to cell.
                const QByteArrayView bytes = xml.elementBytes();
                m_value.assign(bytes.data(), size_t(bytes.size()));
                hasValue = true;
            } else if (xml.isStart(QLatin1StringView("f"))) {
                formula = true;
                xml.skipElement();
            } else if (xml.isStart(QLatin1StringView("is"))) {
                inlineText = richText(xml, QLatin1StringView("is"));
            } else if (xml.isStartElement()) {
                xml.skipElement();
            }
        }
        if (type == CellType::Inline) {
            // Its text is in <is>, and is never a formula's result. Calc takes
            // a cell with a <v> beside it for one whose value has no type it
            // knows, and leaves it empty.
            if (formula)
                return missingResultCell();
            if (hasValue && !QByteArrayView(m_value).trimmed().isEmpty())
                return CellValue();
            return inlineText ? textCell(*inlineText) : CellValue();
        }
        if (!hasValue)
            return formula ? missingResultCell() : CellValue();
        const QByteArrayView value = QByteArrayView(m_value).trimmed();
        switch (type) {
        case CellType::Number:
            if (value.isEmpty())
                return formula ? missingResultCell() : CellValue();
            return numberCell(parseNumber(value), format);
        case CellType::Shared: {
            if (value.isEmpty())
                return {};
            const double index = parseNumber(value);
            if (index < 0 || index >= static_cast<double>(m_strings.size()) || index != std::floor(index))
                refuse(ReadFailure::Damaged);
            return textCell(m_strings[static_cast<size_t>(index)]);
        }
        case CellType::String:
            // A typed "str" value is taken as it stands, codes and all, as in
            // Calc; a formula's result is decoded as a string's text is.
            if (!formula)
                return textCell(utf8Text(m_value));
            return formulaTextCell(unescape(utf8Text(m_value)));
        case CellType::Boolean:
            if (value == "1" || value == "true")
                return CellValue::ofBoolean(true);
            if (value == "0" || value == "false")
                return CellValue::ofBoolean(false);
            refuse(ReadFailure::Damaged);
        case CellType::Error:
            return CellValue::ofError(utf8Text(value));
        case CellType::Date: {
            // A date Calc cannot take for one stays the text it is. Calc
            // shows it in the cell's own format, General included.
            const QString text = utf8Text(value);
            const auto serial = serialOfIsoDateTime(text, m_from1904, Seconds::Whole);
            return serial ? numberCell(*serial, format) : textCell(text);
        }
        case CellType::Inline:
            break;
        }
        refuse(ReadFailure::Damaged);
    }

    ZipPackage m_package;
    WorkbookBuilder m_builder;
    QHash<QString, QString> m_defaultTypes;
    QHash<QString, QString> m_overrideTypes;
    std::vector<std::pair<QString, QString>> m_sheetList; // name, relationship id
    std::vector<QString> m_strings;
    std::vector<CellFormat> m_cellFormats; // by cellXfs index
    std::string m_value; // of the cell being read
    bool m_from1904 = false;
};

} // namespace

Workbook readOpenXml(const QByteArray &bytes) { return OpenXmlReader(bytes).read(); }

} // namespace tallyra::WorkbookReader
