#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace tallyra::TextNumbers {

// The number that a text's leading characters spell, 0 when they spell none.
// Blanks, tabs and line feeds are skipped wherever they stand; then a sign,
// digits with at most one period, an optional E or D exponent; or &H / &O
// followed by hexadecimal / octal digits. Reading stops at the first
// character that does not fit ("55分" is 55). Too large a value gives an
// infinity of its sign.
double leadingValue(QStringView text);

// True when the whole text, blanks around it ignored, is a number: sign,
// digits (thousands separators only between groups of three), decimal
// point with digits, exponent, "$" or "NT$" in front; or &H / &O digits.
// An empty or blank text is not numeric.
bool isNumeric(QStringView text);

// The value of a numeric text as that rule reads it ("$50" is 50, "1,234"
// is 1234), or nothing when the text is not numeric.
std::optional<double> numericValue(QStringView text);

// A gradebook text as the teacher meant it: full-width digits, letters,
// "．", "－" and "＋" (typed with a Chinese input method) in their ASCII
// forms, and every Unicode blank (no-break space, U+3000, zero-width space,
// U+FEFF...) trimmed from both ends. Blanks inside stay: "85 分" is still
// no number.
QString typedForm(QStringView text);

// Nearest whole number; a tie goes to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

// Decimal text without trailing zeros, at most 15 significant digits
// (49, 49.5, 0.333333333333333).
QString decimalText(double value);

} // namespace tallyra::TextNumbers
