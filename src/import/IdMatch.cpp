#include "import/IdMatch.h"

#include "core/TextNumbers.h"

namespace tallyra {

IdMatch::IdMatch(const QStringList &pageIds)
{
    QSet<QString> seen;
    QHash<qint64, QString> first;
    for (const QString &id : pageIds) {
        const auto number = ColumnSearch::idNumber(id);
        // The same ID twice on the page is one student's, not two.
        if (!number || seen.contains(TextNumbers::typedForm(id)))
            continue;
        seen.insert(TextNumbers::typedForm(id));
        if (first.contains(*number))
            m_shared.insert(*number);
        else
            first.insert(*number, id);
    }
}

IdMatch::Found IdMatch::find(const ColumnSearch &column, const QString &id) const
{
    if (TextNumbers::typedForm(id).isEmpty())
        return {};
    if (QVector<int> rows = column.find(id); !rows.isEmpty())
        return {rows, false};
    const auto number = ColumnSearch::idNumber(id);
    if (!number || m_shared.contains(*number))
        return {};
    return {column.findNumber(*number), true};
}

} // namespace tallyra
