#pragma once

// What the format readers share: the limits that keep a hostile file from
// taking the machine, the refusal they throw, and the sheet they fill.
#include "workbook/Workbook.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QString>

#include <cmath>
#include <cstdint>

namespace tallyra::WorkbookReader {

namespace limits {
// The largest sheet a spreadsheet program makes; a cell beyond is damage.
inline constexpr std::int64_t kRows = 1048576;
inline constexpr std::int64_t kColumns = 16384;
// Cell slots held in memory, empty ones between cells included: about
// 40 bytes each (a gradebook of 100,000 rows by 40 columns fits), so a
// workbook stays well under 1 GiB.
inline constexpr std::int64_t kCellSlots = 4 * 1024 * 1024;
// Characters of text held, over the whole workbook (2 bytes each).
inline constexpr std::int64_t kTextCharacters = 64 * 1024 * 1024;
// Bytes a file may unpack to (a zip part, an OLE stream), and in all.
// A sheet of 50,000 rows and 10 columns unpacks to about 30 MB.
inline constexpr std::int64_t kPartBytes = 256 * 1024 * 1024;
inline constexpr std::int64_t kUnpackedBytes = 512 * 1024 * 1024;
inline constexpr std::int64_t kFileBytes = 512 * 1024 * 1024;
// Cell styles (.xlsx xf, .xls XF, .ods cell style) a workbook may declare:
// Excel makes at most 64,000.
inline constexpr std::int64_t kCellStyles = 256 * 1024;
// Distinct number formats its cells may use: as many as CellValue::format
// can index.
inline constexpr std::int64_t kNumberFormats = 65536;
} // namespace limits

// Thrown by a reader that cannot go on; caught where the reading started.
struct Refusal {
    ReadFailure failure;
};

[[noreturn]] inline void refuse(ReadFailure failure) { throw Refusal{failure}; }

// Little-endian integers at a byte offset, the caller having checked the bounds.
inline quint16 u16At(QByteArrayView b, qsizetype at) { return quint16(quint8(b[at]) | quint8(b[at + 1]) << 8); }
inline quint32 u32At(QByteArrayView b, qsizetype at) { return u16At(b, at) | quint32(u16At(b, at + 2)) << 16; }

// "-12.5" without exponent, blanks, sign "+" or leading zeros, and at
// most 15 digits: the digits are an exact integer and the power of ten an
// exact double, so one division rounds exactly as a full parser does.
// False for anything else, which the caller parses in full.
inline bool parseShortDecimal(QByteArrayView text, double &value)
{
    static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char *p = text.data();
    const char *end = p + text.size();
    const bool negative = p != end && *p == '-';
    if (negative)
        ++p;
    const char *digits = p;
    std::int64_t mantissa = 0;
    while (p != end && *p >= '0' && *p <= '9' && p - digits < 15)
        mantissa = mantissa * 10 + (*p++ - '0');
    const qsizetype integers = p - digits;
    if (integers == 0 || (integers > 1 && *digits == '0'))
        return false;
    qsizetype decimals = 0;
    if (p != end && *p == '.') {
        ++p;
        const char *fraction = p;
        while (p != end && *p >= '0' && *p <= '9' && p - fraction + integers < 15)
            mantissa = mantissa * 10 + (*p++ - '0');
        decimals = p - fraction;
        if (decimals == 0)
            return false;
    }
    if (p != end || (negative && mantissa == 0)) // -0 is left to the full parser
        return false;
    const double magnitude = decimals ? double(mantissa) / kPowers[decimals] : double(mantissa);
    value = negative ? -magnitude : magnitude;
    return true;
}

// A number as a cell holds it: never a NaN or an infinity, which no
// spreadsheet stores; such bits read as the error Calc shows for them.
inline CellValue numberCell(double value)
{
    return std::isfinite(value) ? CellValue::ofNumber(value) : CellValue::ofError(QStringLiteral("#NUM!"));
}

// A cell style's number format, resolved once per style: what each number
// cell of that style carries.
struct CellFormat {
    NumberClass shownAs = NumberClass::Plain;
    quint16 format = 0; // index into Workbook::formats
};

inline CellValue numberCell(double value, CellFormat format)
{
    CellValue cell = numberCell(value);
    if (cell.isNumber()) {
        cell.shownAs = format.shownAs;
        cell.format = format.format;
    }
    return cell;
}

// A text typed into a cell: an empty one is no cell at all, as in Calc.
inline CellValue textCell(QString text)
{
    return text.isEmpty() ? CellValue() : CellValue::ofText(std::move(text));
}

// A formula's cached text: an error code stays the error it is.
inline CellValue formulaTextCell(const QString &text)
{
    return isErrorCode(text) ? CellValue::ofError(text) : CellValue::ofText(text);
}

// A formula cell the file holds no result for: an error, so that it is
// never taken for a score, an empty cell or a student ID.
inline CellValue missingResultCell() { return CellValue::ofError(QStringLiteral("#N/A")); }

// The sheets of one workbook being read, with the budget they share.
class WorkbookBuilder {
public:
    WorkbookSheet &addSheet(const QString &name)
    {
        m_workbook.sheets.push_back({name, {}, 0});
        return m_workbook.sheets.back();
    }

    // Stores a cell of sheet `sheet`; an empty value stores nothing.
    void put(WorkbookSheet &sheet, std::int64_t row, std::int64_t column, CellValue value)
    {
        if (value.isEmpty())
            return;
        if (row < 0 || column < 0 || row >= limits::kRows || column >= limits::kColumns)
            refuse(ReadFailure::Damaged);
        const auto r = static_cast<size_t>(row);
        const auto c = static_cast<size_t>(column);
        // What the cell needs at least, checked before anything is allocated...
        std::int64_t needed = 0;
        if (r >= sheet.rows.size())
            needed += static_cast<std::int64_t>(r + 1 - sheet.rows.size());
        const size_t have = r < sheet.rows.size() ? sheet.rows[r].size() : 0;
        if (c >= have)
            needed += static_cast<std::int64_t>(c + 1 - have);
        m_characters += value.text.size();
        if (m_slots + needed > limits::kCellSlots || m_characters > limits::kTextCharacters)
            refuse(ReadFailure::TooLarge);
        // ...and what was allocated in the end, room to grow included.
        const size_t rowsBefore = sheet.rows.capacity();
        const size_t cellsBefore = r < sheet.rows.size() ? sheet.rows[r].capacity() : 0;
        sheet.set(static_cast<int>(row), static_cast<int>(column), std::move(value));
        m_slots += static_cast<std::int64_t>(sheet.rows.capacity() - rowsBefore)
                   + static_cast<std::int64_t>(sheet.rows[r].capacity() - cellsBefore);
        if (m_slots > limits::kCellSlots)
            refuse(ReadFailure::TooLarge);
    }

    // Text kept outside the cells (a shared-string table) counts too.
    void chargeText(qsizetype characters)
    {
        m_characters += characters;
        if (m_characters > limits::kTextCharacters)
            refuse(ReadFailure::TooLarge);
    }

    // The index of a number format in the workbook's table, each format
    // held once however many styles name it.
    CellFormat addFormat(NumberClass shownAs, const QString &code)
    {
        if (shownAs == NumberClass::Plain && code == QLatin1String("General"))
            return {};
        const QString key = QChar(u'0' + int(shownAs)) + code;
        const auto found = m_formatIndex.constFind(key);
        if (found != m_formatIndex.cend())
            return {shownAs, *found};
        if (std::int64_t(m_workbook.formats.size()) >= limits::kNumberFormats)
            refuse(ReadFailure::TooLarge);
        chargeText(code.size() + 8);
        const auto index = quint16(m_workbook.formats.size());
        m_workbook.formats.push_back({shownAs, code});
        m_formatIndex.insert(key, index);
        return {shownAs, index};
    }

    void setDates1904(bool from1904) { m_workbook.dates1904 = from1904; }
    void setNullDate(QDate date)
    {
        m_workbook.dates1904 = date == QDate(1904, 1, 1);
        m_workbook.otherNullDate = date == QDate(1899, 12, 30) || m_workbook.dates1904 ? QDate() : date;
    }

    Workbook take()
    {
        if (m_workbook.sheets.empty())
            refuse(ReadFailure::NotWorkbook);
        return std::move(m_workbook);
    }

private:
    Workbook m_workbook;
    QHash<QString, quint16> m_formatIndex; // class and code
    std::int64_t m_slots = 0;
    std::int64_t m_characters = 0;
};

// Serial number of a date and time, as the spreadsheet counts days: from
// 1899-12-30, or from 1904-01-01 in workbooks that use the 1904 system.
double serialOf(int year, int month, int day, int hour, int minute, double second, bool from1904);
// The same from a day 0 of the file's own (an .ods null date).
double serialOf(int year, int month, int day, int hour, int minute, double second, QDate origin);

// ISO 8601 "2024-03-01" or "2024-03-01T08:30:00"; nothing for anything
// else, a time alone included (Calc keeps that as text). Calc drops the
// fraction of a second of an .xlsx's date cell (Seconds::Whole).
enum class Seconds { WithFraction, Whole };
std::optional<double> serialOfIsoDateTime(QStringView text, bool from1904, Seconds seconds = Seconds::WithFraction);
std::optional<double> serialOfIsoDateTime(QStringView text, QDate origin, Seconds seconds = Seconds::WithFraction);

// The readers, one per format, each on the file's bytes.
Workbook readOpenXml(const QByteArray &bytes);
Workbook readOds(const QByteArray &bytes);
Workbook readXls(const QByteArray &bytes);
Workbook readOldXls(const QByteArray &bytes); // a lone worksheet outside a compound file: BIFF2 to 4, or a BIFF5/8 sheet stream

} // namespace tallyra::WorkbookReader
