#include "platform/workbook/Workbook.h"

#include <QFile>

#include <charconv>
#include <cmath>

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
    if (column >= static_cast<int>(cells.size()))
        cells.resize(static_cast<size_t>(column) + 1);
    cells[static_cast<size_t>(column)] = std::move(value);
    columnCount = std::max(columnCount, column + 1);
}

QString CellValue::textForm() const
{
    switch (kind) {
    case Kind::Empty:
        return {};
    case Kind::Number: {
        if (number == 0)
            return QStringLiteral("0");
        if (!std::isfinite(number))
            return QStringLiteral("#NUM!");
        // Shortest form within 15 significant digits, "E" for the exponent.
        char buffer[32];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::general, 15).ptr;
        for (char *c = buffer; c != end; ++c)
            if (*c == 'e')
                *c = 'E';
        return QString::fromLatin1(buffer, end - buffer);
    }
    case Kind::Text:
    case Kind::Error:
        return text;
    case Kind::Boolean:
        return number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    }
    return {};
}

namespace WorkbookReader {

std::optional<Workbook> read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray head = file.read(8);
    file.close();
    // Zip (OOXML, ODF) or OLE compound file (BIFF .xls; also encrypted OOXML).
    if (head.startsWith("PK\x03\x04"))
        return readOpenXmlOrOds(path);
    if (head.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1")))
        return readXls(path);
    return std::nullopt;
}

} // namespace WorkbookReader

bool WorkbookReader::isErrorCode(const QString &text)
{
    static const QStringList codes = {QStringLiteral("#NULL!"), QStringLiteral("#DIV/0!"), QStringLiteral("#VALUE!"),
                                      QStringLiteral("#REF!"),  QStringLiteral("#NAME?"),  QStringLiteral("#NUM!"),
                                      QStringLiteral("#N/A"),   QStringLiteral("#GETTING_DATA")};
    return codes.contains(text);
}

} // namespace tallyra
