#pragma once

#include "core/Settings.h"
#include "platform/Spreadsheet.h"

#include <QString>

#include <optional>

namespace tallyra {

// Why a student's score field is left empty.
enum class AnomalyKind {
    NotFound,     // ID not in the ID column
    Empty,        // score cell empty
    Negative,     // below 0
    Over100,      // above 100
    NotNumeric,   // text, error value, TRUE/FALSE
    NotAScore,    // a number shown as a date, a time or a percentage
    Duplicate,    // ID in more than one row: never guess
    MissingField, // the page has no score field for the student
    NotWritable,  // the student's field cannot take a score (a list, a date, disabled...)
    NotKept,      // the page did not keep the score written into its field
};

namespace ScoreRules {

constexpr int kPassMark = 60;

// The outcome of one score cell: an anomaly, or the whole-number score.
struct Outcome {
    std::optional<AnomalyKind> anomaly;
    int score = 0;
    bool accepted() const { return !anomaly; }
};

// Empty (blank once trimmed), then numeric: a plain number, or a text that
// the numeric-text rule reads in its typed form ("８５" is 85, "85\u00a0"
// is 85). TRUE/FALSE and errors are not numbers; a date, time or
// percentage is a number but no score. Then checked against 0..100 as
// read, and rounded halves up.
Outcome classify(const CellValue &cell);

// Halves round up: the text form decides, "58.5" -> 59, "59.45" -> 59.
int roundScore(const QString &textForm, double value);

// A note is due when AutoReport is on and ReportThreshold <= score < 60.
bool isBorderline(int score, const Settings &settings);

QString anomalyLine(AnomalyKind kind, const QString &id);
QString borderlineNote(const QString &id, int score); // without line end

} // namespace ScoreRules

} // namespace tallyra
