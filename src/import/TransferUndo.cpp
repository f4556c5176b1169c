#include "import/TransferUndo.h"

namespace tallyra {

TransferUndo::TransferUndo(const TransferPlan &plan, const FormSnapshot &snapshot, const QHash<int, QString> &held)
    : m_formId(snapshot.formId)
{
    QHash<int, QString> ids;
    for (const StudentResult &s : plan.students)
        ids.insert(s.fieldIndex, s.id);
    for (const FieldWrite &w : plan.writes) {
        if (w.target != FieldWrite::Target::Value || w.index < 0 || w.index >= snapshot.elements.size())
            continue;
        const FormElement &e = snapshot.elements[w.index];
        m_fields.push_back({w.index, w.name, ids.value(w.index), e.value, e.background, held.value(w.index, w.text)});
    }
}

std::optional<TransferUndo::Restore> TransferUndo::restore(const FormSnapshot &now) const
{
    if (!now.ok() || m_formId.isEmpty() || now.formId != m_formId)
        return std::nullopt;
    Restore r;
    for (const Field &f : m_fields) {
        if (f.index >= now.elements.size() || now.elements[f.index].name != f.name)
            return std::nullopt; // not the form that was written
        if (now.elements[f.index].value != f.written) {
            r.changedByHand << f.id;
            continue;
        }
        r.writes.push_back({f.index, f.name, FieldWrite::Target::Value, f.before});
        r.writes.push_back({f.index, f.name, FieldWrite::Target::BackgroundColor, f.background});
    }
    return r;
}

} // namespace tallyra
