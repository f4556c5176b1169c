#pragma once

#include <QString>

namespace tallyra {

// What a number cell's format shows it as. A percentage, a date or a time
// holds a number too (85% holds 0.85, 12:00 holds 0.5); only a plain number
// can be a score.
enum class NumberClass : quint8 {
    Plain,    // General, fixed decimals, thousands separators, currency, fractions, scientific
    Percent,
    Date,
    Time,
    DateTime,
    Boolean,  // a number shown as TRUE / FALSE
    Text,     // the text format "@"
};

// One cell's value as the spreadsheet holds it.
struct CellValue {
    enum class Kind : quint8 { Empty, Number, Text, Boolean, Error };

    Kind kind = Kind::Empty;
    NumberClass shownAs = NumberClass::Plain; // Number: its format's class
    // Number: the format it was read with, an index into its workbook's
    // formats (0 is General). Only a reader's own workbook knows them.
    quint16 format = 0;
    double number = 0; // Number; Boolean as 1 or 0
    // Text: the text; Error: its code ("#DIV/0!"); Number: the text the
    // spreadsheet shows for it, when known (empty otherwise).
    QString text;

    static CellValue ofNumber(double value, NumberClass shownAs = NumberClass::Plain, QString shown = {})
    {
        return {Kind::Number, shownAs, 0, value, std::move(shown)};
    }
    static CellValue ofText(QString value) { return {Kind::Text, NumberClass::Plain, 0, 0, std::move(value)}; }
    static CellValue ofBoolean(bool value) { return {Kind::Boolean, NumberClass::Plain, 0, value ? 1.0 : 0.0, {}}; }
    static CellValue ofError(QString code) { return {Kind::Error, NumberClass::Plain, 0, 0, std::move(code)}; }

    bool isEmpty() const { return kind == Kind::Empty; }
    bool isNumber() const { return kind == Kind::Number; }

    // The value as text: numbers with "." and at most 15 significant digits
    // (77.5, 100, 0.333333333333333), texts as stored, errors as their
    // code, TRUE / FALSE. Not how a format shows it: see shownText().
    QString textForm() const;

    // The cell as the spreadsheet shows it: a number as its format shows it
    // where that is known (091001, 85%, 2026-06-30), else its text form.
    QString shownText() const { return kind == Kind::Number && !text.isEmpty() ? text : textForm(); }

    // A number whose format shows it as a number (or as text): the only
    // numbers a student ID or a score can be.
    bool isPlainNumber() const
    {
        return kind == Kind::Number && (shownAs == NumberClass::Plain || shownAs == NumberClass::Text);
    }

    // Equal values: what the cells hold, not how they are shown.
    friend bool operator==(const CellValue &a, const CellValue &b)
    {
        return a.kind == b.kind && a.number == b.number && (a.kind == Kind::Number || a.text == b.text);
    }
};

} // namespace tallyra
