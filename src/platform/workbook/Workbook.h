#pragma once

#include "platform/Spreadsheet.h"

#include <QString>

#include <optional>
#include <vector>

namespace tallyra {

// A workbook read into memory: its sheets in workbook order, each a grid of
// cell values. Rows and columns count from 0 here.
struct WorkbookSheet {
    QString name;
    std::vector<std::vector<CellValue>> rows; // rows[r][c]; short rows end early
    int columnCount = 0;                      // widest row

    const CellValue *at(int row, int column) const;
    void set(int row, int column, CellValue value);
    int rowCount() const { return static_cast<int>(rows.size()); }
};

struct Workbook {
    std::vector<WorkbookSheet> sheets;
};

namespace WorkbookReader {

// Reads .xlsx / .xlsm / .ods (by content, whatever the extension) and .xls.
// Nothing when the file is missing, not a workbook, damaged, encrypted or
// holds no sheet.
std::optional<Workbook> read(const QString &path);

std::optional<Workbook> readOpenXmlOrOds(const QString &path);
std::optional<Workbook> readXls(const QString &path);

// Whether a formula's text result spells one of the error codes ("#DIV/0!"):
// a result cached as text is still the error the formula gave.
bool isErrorCode(const QString &text);

} // namespace WorkbookReader

} // namespace tallyra
