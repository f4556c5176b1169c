#include "import/TransferCheck.h"

namespace tallyra::TransferCheck {

Counts count(const TransferPlan &plan)
{
    Counts c;
    c.students = static_cast<int>(plan.students.size());
    for (const StudentResult &s : plan.students) {
        const auto anomaly = s.outcome.anomaly;
        if (anomaly == AnomalyKind::NotFound || anomaly == AnomalyKind::MissingField)
            continue;
        ++c.found;
        if (!anomaly || anomaly == AnomalyKind::Negative || anomaly == AnomalyKind::Over100)
            ++c.withNumber;
    }
    return c;
}

QString question(const Counts &counts, const QString &idLetter, const QString &scoreLetter)
{
    const QString tail = QStringLiteral("，可能選錯了工作表或欄位。仍要輸入嗎?");
    if (counts.found * 2 < counts.students)
        return QStringLiteral("學號欄位 %1 只找到 %2 / %3 位學生").arg(idLetter).arg(counts.found).arg(counts.students) + tail;
    if (counts.withNumber * 2 < counts.found)
        return QStringLiteral("成績欄位 %1 只有 %2 / %3 位找到的學生有數值分數")
                   .arg(scoreLetter)
                   .arg(counts.withNumber)
                   .arg(counts.found)
               + tail;
    return {};
}

QVector<int> studentsPerColumn(const QStringList &pageIds, const QVector<QVector<CellValue>> &columns)
{
    QVector<int> found;
    for (const QVector<CellValue> &column : columns) {
        ColumnSearch search;
        for (int r = 0; r < column.size(); ++r)
            search.add(r + 1, column[r]);
        int n = 0;
        for (const QString &id : pageIds) {
            if (!id.trimmed().isEmpty() && !search.find(id).isEmpty())
                ++n;
        }
        found.push_back(n);
    }
    return found;
}

QString hint(const QString &letter, int found, int students)
{
    if (found == 0)
        return QStringLiteral("%1 欄：沒有本頁學生的學號").arg(letter);
    return QStringLiteral("%1 欄：%2 位學生中找到 %3 位").arg(letter).arg(students).arg(found);
}

} // namespace tallyra::TransferCheck
