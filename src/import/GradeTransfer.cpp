#include "import/GradeTransfer.h"

namespace tallyra {

GradebookColumns::GradebookColumns(const QVector<CellValue> &ids, QVector<CellValue> scores)
    : m_readable(true), m_scores(std::move(scores))
{
    for (int r = 0; r < ids.size(); ++r)
        m_search.add(r + 1, ids[r]);
}

GradebookColumns GradebookColumns::read(const Spreadsheet &app, int sheet, int idColumn, int scoreColumn)
{
    const auto columns = app.readColumns(sheet, {idColumn, scoreColumn});
    if (!columns || columns->size() != 2)
        return {};
    return GradebookColumns(columns->at(0), columns->at(1));
}

CellValue GradebookColumns::score(int row) const
{
    return row >= 1 && row <= m_scores.size() ? m_scores[row - 1] : CellValue();
}

int GradebookColumns::columnNumber(const QString &letter)
{
    return letter.size() == 1 && letter.at(0) >= QLatin1Char('A') && letter.at(0) <= QLatin1Char('Z')
               ? letter.at(0).unicode() - 'A' + 1
               : 0;
}

namespace GradeTransfer {

std::variant<TransferPlan, TransferRefusal> plan(const FormSnapshot &snapshot, const GradebookColumns &gradebook,
                                                 const Settings &settings, const StatusSink &status)
{
    const auto say = [&status](const QString &text) {
        if (status)
            status(text);
    };

    if (!snapshot.ok())
        return TransferRefusal::PageUnreadable;
    const auto form = GradeForm::collect(snapshot.elements);
    if (!form)
        return TransferRefusal::TooManyStudents;
    for (const QString &id : form->studentIds())
        say(QStringLiteral("驗證學號 ") + id + QStringLiteral(" 欄位..."));
    if (form->studentIds().isEmpty())
        return TransferRefusal::NoStudents;
    if (!gradebook.readable())
        return TransferRefusal::GradebookUnreadable;

    TransferPlan result;
    result.layout = form->layout();
    const QVector<int> fields = form->scoreFields(snapshot.elements);
    const QStringList &ids = form->studentIds();
    const IdMatch match(ids);

    for (int k = 0; k < ids.size(); ++k) {
        StudentResult student;
        student.id = ids[k];
        student.fieldIndex = fields[k];
        if (!student.id.isEmpty())
            say(QStringLiteral("輸入 ") + student.id + QStringLiteral(" 的成績..."));

        if (student.fieldIndex < 0) {
            student.outcome = {AnomalyKind::MissingField, 0};
            result.students.push_back(student);
            continue;
        }
        // A list, a date, a check box or a disabled field would drop or
        // change a score: it is left as it is.
        if (!snapshot.elements[student.fieldIndex].writable) {
            student.outcome = {AnomalyKind::NotWritable, 0};
            result.students.push_back(student);
            continue;
        }

        const QVector<int> rows = match.find(gradebook.ids(), student.id).rows;
        if (rows.isEmpty())
            student.outcome = {AnomalyKind::NotFound, 0};
        else if (rows.size() > 1)
            student.outcome = {AnomalyKind::Duplicate, 0};
        else {
            student.cell = gradebook.score(rows.first());
            student.outcome = ScoreRules::classify(student.cell);
        }

        const FormElement &field = snapshot.elements[student.fieldIndex];
        if (student.outcome.accepted()) {
            result.writes.push_back({field.index, field.name, FieldWrite::Target::Value,
                                     QString::number(student.outcome.score)});
            student.borderline = ScoreRules::isBorderline(student.outcome.score, settings);
            if (student.borderline)
                result.notes << ScoreRules::borderlineNote(student.id, student.outcome.score);
        } else {
            result.writes.push_back({field.index, field.name, FieldWrite::Target::Value, QString()});
        }
        result.students.push_back(student);
    }
    return result;
}

} // namespace GradeTransfer

} // namespace tallyra
