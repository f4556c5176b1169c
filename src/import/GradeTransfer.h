#pragma once

#include "app/Settings.h"
#include "import/ScoreRules.h"
#include "page/GradeForm.h"
#include "platform/Browser.h"
#include "platform/Spreadsheet.h"

#include <functional>
#include <variant>

namespace tallyra {

// The gradebook as the transfer reads it: the ID column and the score
// column of the active sheet.
class GradebookColumns {
public:
    GradebookColumns(std::shared_ptr<Spreadsheet> app, int idColumn, int scoreColumn);

    // Every row holding the ID as a whole cell; nothing when the search failed.
    std::optional<QVector<int>> rowsOf(const QString &id) const;
    std::optional<CellValue> score(int row) const;
    // Whether the workbook can be read at all (still open, application running).
    bool readable() const;

    static int columnNumber(const QString &letter); // "A" -> 1

private:
    std::shared_ptr<Spreadsheet> m_app;
    int m_idColumn;
    int m_scoreColumn;
};

// One student of the page and what the transfer decided for them.
struct StudentResult {
    QString id;
    int fieldIndex = -1; // the score field, -1 when the page has none
    ScoreRules::Outcome outcome;
    bool borderline = false;
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
