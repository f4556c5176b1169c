#pragma once

// Number format codes as .xlsx and .xls files store them ("0.00",
// "000000", "#,##0", "0%", "yyyy/m/d", "[$-404]hh:mm:ss", "@"): their
// class, and the text they show for a number where that is simple enough
// to know for certain. Anything beyond is never guessed.
#include "workbook/CellValue.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace tallyra::FormatCode {

// What the code shows a number as: a date, a time, both, a percentage, a
// logical value (the code "BOOLEAN"), text ("@"), or a plain number. The
// section for positive numbers decides; "General" and anything that names
// no date, time or percent part is plain.
NumberClass classify(QStringView code);

// The text `code` shows for `value`: General (15 significant digits, no
// exponents; rounded as fixed decimals are, so 656.7794761286555 shows as
// 656.779476128656 where CellValue::textForm gives 656.779476128655),
// integers and fixed decimals with their zeros and thousands separators,
// percentages, quoted and escaped text, and the section that applies to
// the value's sign ("000000" shows 91001 as "091001", "0.0" shows 85.25 as
// "85.3", "#,##0" shows 1234 as "1,234"). Nothing for a code it cannot
// show exactly: dates, times, fractions, scientific notation, conditions,
// colours other than as plain markers, or anything it does not understand.
std::optional<QString> show(QStringView code, double value);

// The code of a built-in format id that a file may use without storing
// its code (.xlsx numFmtId, .xls FORMAT index), as Excel defines them for
// the en-US locale; nothing for an id without one.
std::optional<QString> builtinCode(int id);

} // namespace tallyra::FormatCode
