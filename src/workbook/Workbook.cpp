#include "workbook/Workbook.h"

#include "workbook/FormatCode.h"
#include "workbook/ReaderSupport.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QTime>

#include <charconv>
#include <cmath>
#include <new>

namespace tallyra {

const CellValue *WorkbookSheet::at(int row, int column) const
{
    if (row < 0 || column < 0 || row >= rowCount())
        return nullptr;
    const auto &cells = rows[static_cast<size_t>(row)];
    if (column >= static_cast<int>(cells.size()))
        return nullptr;
    return &cells[static_cast<size_t>(column)];
}

void WorkbookSheet::set(int row, int column, CellValue value)
{
    if (row < 0 || column < 0)
        return;
    if (row >= rowCount())
        rows.resize(static_cast<size_t>(row) + 1);
    auto &cells = rows[static_cast<size_t>(row)];
    // Rows are read cell by cell: room for as many as the widest row so
    // far (within reason) saves growing each row step by step.
    if (cells.empty())
        cells.reserve(static_cast<size_t>(std::clamp(columnCount, column + 1, std::max(column + 1, 64))));
    if (column >= static_cast<int>(cells.size()))
        cells.resize(static_cast<size_t>(column) + 1);
    cells[static_cast<size_t>(column)] = std::move(value);
    columnCount = std::max(columnCount, column + 1);
}

CellValue Workbook::shown(const CellValue &cell) const
{
    if (cell.kind != CellValue::Kind::Number)
        return cell;
    CellValue out = cell;
    const NumberFormat &format = cell.format < formats.size() ? formats[cell.format] : formats.front();
    if (auto text = FormatCode::show(format.code, cell.number)) {
        out.text = std::move(*text);
        return out;
    }
    out.text.clear();
    const QDate day0 = otherNullDate.isValid() ? otherNullDate : dates1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    const QDateTime origin(day0, QTime(0, 0), Qt::UTC);
    // Whole seconds, rounded as a spreadsheet shows them.
    const auto moment = [&] { return origin.addSecs(static_cast<qint64>(std::llround(cell.number * 86400.0))); };
    const bool inRange = std::abs(cell.number) < 3e6;
    switch (cell.shownAs) {
    case NumberClass::Percent:
        out.text = CellValue::ofNumber(cell.number * 100).textForm() + QLatin1Char('%');
        break;
    case NumberClass::Date:
        if (inRange)
            out.text = moment().toString(QStringLiteral("yyyy-MM-dd"));
        break;
    case NumberClass::Time:
        if (inRange)
            out.text = moment().toString(QStringLiteral("HH:mm:ss"));
        break;
    case NumberClass::DateTime:
        if (inRange)
            out.text = moment().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        break;
    case NumberClass::Plain:
    case NumberClass::Boolean:
    case NumberClass::Text:
        break;
    }
    return out;
}

namespace WorkbookReader {

namespace {

bool startsWith(const QByteArray &bytes, const char *magic, qsizetype length)
{
    return bytes.size() >= length && std::memcmp(bytes.constData(), magic, static_cast<size_t>(length)) == 0;
}

// Text rather than a binary or zipped workbook: a byte order mark, or no
// control character but line ends and tabs in its first kilobytes. Web
// systems often save CSV or an HTML table under a workbook's name; what
// Calc makes of one depends on its guesses at the encoding and separators,
// never on stored cell values, so it is named for what it is and refused.
bool looksLikeText(const QByteArray &bytes)
{
    if (startsWith(bytes, "\xEF\xBB\xBF", 3) || startsWith(bytes, "\xFF\xFE", 2) || startsWith(bytes, "\xFE\xFF", 2))
        return true;
    const qsizetype n = std::min<qsizetype>(bytes.size(), 4096);
    if (n == 0)
        return false;
    for (qsizetype i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f')
            return false;
    }
    return true;
}

Workbook readAny(const QByteArray &bytes)
{
    if (startsWith(bytes, "PK\x03\x04", 4)) {
        // OOXML names its parts in [Content_Types].xml; OpenDocument does not.
        try {
            return readOpenXml(bytes);
        } catch (const Refusal &refusal) {
            if (refusal.failure != ReadFailure::NotWorkbook)
                throw;
        }
        return readOds(bytes);
    }
    if (startsWith(bytes, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
        return readXls(bytes);
    // Excel 2, 3 and 4 wrote their records straight into the file; some
    // programs write a later sheet stream so too.
    if (startsWith(bytes, "\x09\x00", 2) || startsWith(bytes, "\x09\x02", 2) || startsWith(bytes, "\x09\x04", 2)
        || startsWith(bytes, "\x09\x08", 2))
        return readOldXls(bytes);
    refuse(looksLikeText(bytes) ? ReadFailure::TextFile : ReadFailure::NotWorkbook);
}

} // namespace

std::optional<Workbook> readBytes(const QByteArray &bytes, ReadFailure *failure)
{
    ReadFailure why = ReadFailure::None;
    std::optional<Workbook> workbook;
    try {
        workbook = readAny(bytes);
    } catch (const Refusal &refusal) {
        why = refusal.failure;
    } catch (const std::bad_alloc &) {
        why = ReadFailure::TooLarge;
    } catch (...) {
        why = ReadFailure::Damaged;
    }
    if (failure)
        *failure = why;
    return workbook;
}

std::optional<Workbook> read(const QString &path, ReadFailure *failure)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (failure)
            *failure = ReadFailure::Missing;
        return std::nullopt;
    }
    if (file.size() > limits::kFileBytes) {
        if (failure)
            *failure = ReadFailure::TooLarge;
        return std::nullopt;
    }
    auto workbook = readBytes(file.readAll(), failure);
    if (workbook && workbook->namedAfterFile && !workbook->sheets.empty())
        workbook->sheets.front().name = QFileInfo(path).completeBaseName();
    return workbook;
}

QString failureText(ReadFailure failure)
{
    switch (failure) {
    case ReadFailure::None: return {};
    // Short enough for the wizard's status line.
    case ReadFailure::Missing: return QStringLiteral("無法開啟：找不到檔案或沒有讀取權限");
    case ReadFailure::NotWorkbook: return QStringLiteral("無法讀取：不是 Excel 或 ODS 成績冊");
    case ReadFailure::TextFile: return QStringLiteral("無法讀取：這是文字檔，請另存為 Excel 或 ODS 格式");
    case ReadFailure::Damaged: return QStringLiteral("無法讀取：檔案已損壞或不完整");
    case ReadFailure::Encrypted: return QStringLiteral("無法讀取：檔案有密碼保護");
    case ReadFailure::TooOld: return QStringLiteral("無法讀取：格式太舊（Excel 5.0 以前）");
    case ReadFailure::TooLarge: return QStringLiteral("無法讀取：超出成績冊可能的大小");
    }
    return {};
}

bool isErrorCode(const QString &text)
{
    static const QStringList codes = {QStringLiteral("#NULL!"), QStringLiteral("#DIV/0!"), QStringLiteral("#VALUE!"),
                                      QStringLiteral("#REF!"),  QStringLiteral("#NAME?"),  QStringLiteral("#NUM!"),
                                      QStringLiteral("#N/A"),   QStringLiteral("#GETTING_DATA")};
    return codes.contains(text);
}

double serialOf(int year, int month, int day, int hour, int minute, double second, bool from1904)
{
    return serialOf(year, month, day, hour, minute, second, from1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30));
}

double serialOf(int year, int month, int day, int hour, int minute, double second, QDate origin)
{
    // Summed part by part, as Calc does, so that the last digit agrees.
    return double(origin.daysTo(QDate(year, month, day))) + hour / 24.0 + minute / 1440.0 + second / 86400.0;
}

std::optional<double> serialOfIsoDateTime(QStringView text, bool from1904, Seconds seconds)
{
    return serialOfIsoDateTime(text, from1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30), seconds);
}

std::optional<double> serialOfIsoDateTime(QStringView text, QDate origin, Seconds seconds)
{
    QStringView date = text;
    QStringView time;
    const qsizetype t = text.indexOf(u'T');
    if (t >= 0) {
        date = text.left(t);
        time = text.mid(t + 1);
    } else if (text.contains(u':')) {
        date = {};
        time = text;
    }
    // Zone designators say nothing about the serial number.
    if (time.endsWith(u'Z'))
        time.chop(1);
    int h = 0, m = 0;
    double s = 0;
    if (!time.isEmpty()) {
        const auto parts = time.split(u':');
        if (parts.size() < 2 || parts.size() > 3)
            return std::nullopt;
        bool ok1 = false, ok2 = false, ok3 = true;
        h = parts[0].toInt(&ok1);
        m = parts[1].toInt(&ok2);
        s = parts.size() == 3 ? parts[2].toDouble(&ok3) : 0;
        if (!ok1 || !ok2 || !ok3 || h < 0 || h > 24 || m < 0 || m > 59 || s < 0 || s >= 61)
            return std::nullopt;
        if (seconds == Seconds::Whole)
            s = std::floor(s);
    }
    if (date.isEmpty())
        return std::nullopt; // a time alone is no date
    const auto parts = date.split(u'-');
    if (parts.size() != 3)
        return std::nullopt;
    bool ok1 = false, ok2 = false, ok3 = false;
    const int y = parts[0].toInt(&ok1), mo = parts[1].toInt(&ok2), d = parts[2].toInt(&ok3);
    if (!ok1 || !ok2 || !ok3 || !QDate::isValid(y, mo, d))
        return std::nullopt;
    return serialOf(y, mo, d, h, m, s, origin);
}

} // namespace WorkbookReader

} // namespace tallyra
