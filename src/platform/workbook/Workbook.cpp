#include "platform/workbook/Workbook.h"

#include <QFile>

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

} // namespace tallyra
