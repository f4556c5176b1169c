#pragma once

#include "core/Settings.h"
#include "import/IdMatch.h"
#include "import/ScoreRules.h"
#include "page/GradeForm.h"
#include "platform/Spreadsheet.h"

#include <functional>
#include <variant>

namespace tallyra {

// The gradebook as one transfer reads it: the chosen sheet's ID column and
// score column, read together once at its start. Everything the transfer
// decides comes from this one reading, whatever happens in the spreadsheet
// afterwards.
class GradebookColumns {
public:
    GradebookColumns() = default; // nothing could be read
    GradebookColumns(const QVector<CellValue> &ids, QVector<CellValue> scores);

    // Sheet `sheet` (by position, from 1), whichever sheet is active.
    static GradebookColumns read(const Spreadsheet &app, int sheet, int idColumn, int scoreColumn);

    bool readable() const { return m_readable; }
    // The ID column, to find the page's IDs in (IdMatch).
    const ColumnSearch &ids() const { return m_search; }
    CellValue score(int row) const;

    static int columnNumber(const QString &letter); // "A" -> 1

private:
    bool m_readable = false;
    ColumnSearch m_search;
    QVector<CellValue> m_scores;
};

// One student of the page and what the transfer decided for them.
struct StudentResult {
    QString id;
    int fieldIndex = -1; // the score field, -1 when the page has none
    ScoreRules::Outcome outcome;
    bool borderline = false;
    CellValue cell; // the score cell read, when the ID was found in one row
};

// Everything one transfer decided, before anything is written anywhere.
struct TransferPlan {
    GradeForm::Layout layout = GradeForm::Layout::PerStudent;
    QVector<StudentResult> students; // in the order the report lists them
    QVector<FieldWrite> writes;      // one per score field that gets a value
    QStringList notes;               // borderline notes, in order
};

enum class TransferRefusal {
    PageUnreadable,      // no form, another origin, the page went away
    TooManyStudents,     // 255 or more ID fields
    NoStudents,          // no ID field at all
    GradebookUnreadable, // closed meanwhile, or its application is gone
};

namespace GradeTransfer {

using StatusSink = std::function<void(const QString &)>;

// The validation and transfer passes over a form read in one snapshot:
// pairs each student with a score field (per-student: by its name wherever
// it stands; shared-name: k-th "STD" with the k-th ID), reads and classifies
// each student's score, and decides every field's new value.
std::variant<TransferPlan, TransferRefusal> plan(const FormSnapshot &snapshot, const GradebookColumns &gradebook,
                                                 const Settings &settings, const StatusSink &status = {});

} // namespace GradeTransfer

} // namespace tallyra
