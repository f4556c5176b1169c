#pragma once

#include "workbook/CellValue.h"

#include <QDate>
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

// A number format the workbook's cells refer to (CellValue::format): its
// class and its code (an .ods data style as the code that shows the same).
struct NumberFormat {
    NumberClass shownAs = NumberClass::Plain;
    QString code = QStringLiteral("General");
};

struct Workbook {
    std::vector<WorkbookSheet> sheets;
    std::vector<NumberFormat> formats{NumberFormat()}; // [0] is General
    bool dates1904 = false; // serial 0 is 1904-01-01, not 1899-12-30
    // Serial 0 of an .ods file whose null date is neither (Calc counts
    // from any); invalid otherwise.
    QDate otherNullDate;

    // The cell as a spreadsheet hands it over: a number with the text its
    // format shows. That text is exact for a plain number whose code
    // FormatCode::show() can show, and empty for any other plain number;
    // a percentage, date or time is shown as its class reads
    // (85%, 2026-06-30, 12:00:00, 2026-06-30 12:00:00).
    CellValue shown(const CellValue &cell) const;
    // An Excel 2 worksheet has no name of its own: Calc names it after the
    // file, which read() does; from bytes alone it stays "Sheet1".
    bool namedAfterFile = false;
};

// Why a file was refused. A file is read whole or not at all: a reader that
// meets something it cannot read faithfully refuses the file.
enum class ReadFailure {
    None,
    Missing,     // no such file, or it cannot be opened
    NotWorkbook, // some other kind of file
    TextFile,    // text, CSV or a web page, whatever its name says
    Damaged,     // cut short or malformed
    Encrypted,   // locked with a password
    TooOld,      // a format before Excel 5
    TooLarge,    // beyond what a gradebook can need; read no further
};

namespace WorkbookReader {

// Reads .xlsx / .xlsm / .ods (by content, whatever the extension) and .xls.
// Nothing when the file is missing, not a workbook, damaged, encrypted or
// holds no sheet; `failure` then says which.
std::optional<Workbook> read(const QString &path, ReadFailure *failure = nullptr);

// The same from bytes in memory (the fuzzers feed these).
std::optional<Workbook> readBytes(const QByteArray &bytes, ReadFailure *failure = nullptr);

// One line for the teacher: why the file could not be read.
QString failureText(ReadFailure failure);

// Whether a formula's text result spells one of the error codes ("#DIV/0!"):
// a result cached as text is still the error the formula gave.
bool isErrorCode(const QString &text);

} // namespace WorkbookReader

} // namespace tallyra
