#include "import/TransferCheck.h"

namespace tallyra::TransferCheck {

Counts count(const TransferPlan &plan)
{
    Counts c;
    for (const StudentResult &s : plan.students) {
        const auto anomaly = s.outcome.anomaly;
        // A field that cannot take a score says nothing about the columns.
        if (anomaly == AnomalyKind::NotWritable)
            continue;
        ++c.students;
        if (anomaly == AnomalyKind::NotFound || anomaly == AnomalyKind::MissingField)
            continue;
        ++c.found;
        if (anomaly == AnomalyKind::Duplicate)
            ++c.duplicates;
        if (!anomaly || anomaly == AnomalyKind::Negative || anomaly == AnomalyKind::Over100)
            ++c.withNumber;
    }
    return c;
}

QString question(const Counts &counts, const QString &idLetter, const QString &scoreLetter)
{
    const QString ask = QStringLiteral("仍要輸入嗎?");
    if (counts.found * 2 < counts.students)
        return QStringLiteral("學號欄位 %1 只找到 %2 / %3 位學生，可能選錯了工作表或欄位。")
                   .arg(idLetter)
                   .arg(counts.found)
                   .arg(counts.students)
               + ask;
    if (counts.withNumber * 2 >= counts.found)
        return {};
    const int without = counts.found - counts.withNumber;
    // IDs in several rows are the ID column's doing, not the score column's.
    if (counts.duplicates * 2 >= without)
        return QStringLiteral("學號欄位 %1 中有 %2 位學生出現在多個列，這些學生的成績欄會被清空。")
                   .arg(idLetter)
                   .arg(counts.duplicates)
               + ask;
    return QStringLiteral("成績欄位 %1 只有 %2 / %3 位學生有分數，其餘 %4 位的成績欄會被清空。")
               .arg(scoreLetter)
               .arg(counts.withNumber)
               .arg(counts.found)
               .arg(without)
           + ask;
}

QVector<ColumnCount> studentsPerColumn(const QStringList &pageIds, const QVector<QVector<CellValue>> &columns)
{
    const IdMatch match(pageIds);
    QVector<ColumnCount> counts;
    for (const QVector<CellValue> &column : columns) {
        ColumnSearch search;
        for (int r = 0; r < column.size(); ++r)
            search.add(r + 1, column[r]);
        ColumnCount count;
        for (const QString &id : pageIds) {
            const IdMatch::Found found = match.find(search, id);
            if (found.rows.isEmpty())
                continue;
            ++count.found;
            count.byNumber += found.byNumber ? 1 : 0;
        }
        counts.push_back(count);
    }
    return counts;
}

QString hint(const QString &letter, const ColumnCount &count, int students)
{
    if (count.found == 0)
        return QStringLiteral("%1 欄：沒有本頁學生的學號").arg(letter);
    QString text = QStringLiteral("%1 欄：%2 位學生中找到 %3 位").arg(letter).arg(students).arg(count.found);
    if (count.byNumber == count.found)
        text += QStringLiteral("（學號以數字儲存）");
    return text;
}

} // namespace tallyra::TransferCheck
