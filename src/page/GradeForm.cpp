#include "page/GradeForm.h"

namespace tallyra {

std::optional<GradeForm> GradeForm::collect(const QVector<FormElement> &elements)
{
    GradeForm form;
    for (const FormElement &e : elements) {
        if (e.name == GradePageNames::studentIdField) {
            if (form.m_ids.size() == kMaxStudents)
                return std::nullopt;
            form.m_ids.append(e.value);
        }
        if (e.name == GradePageNames::sharedScoreField)
            form.m_layout = Layout::SharedName;
    }
    return form;
}

QString GradeForm::scoreFieldName(int k) const
{
    if (m_layout == Layout::SharedName)
        return GradePageNames::sharedScoreField;
    return GradePageNames::perStudentPrefix + m_ids.value(k - 1);
}

QVector<int> GradeForm::scoreFields(const QVector<FormElement> &elements) const
{
    const int students = static_cast<int>(m_ids.size());
    QVector<int> fields(students, -1);
    if (m_layout == Layout::SharedName) {
        int k = 0;
        for (const FormElement &e : elements) {
            if (e.name != GradePageNames::sharedScoreField)
                continue;
            if (k >= students)
                break;
            fields[k++] = e.index;
        }
        return fields;
    }
    QVector<bool> taken(elements.size(), false);
    for (int k = 0; k < students; ++k) {
        const QString name = scoreFieldName(k + 1);
        for (qsizetype i = 0; i < elements.size(); ++i) {
            if (elements[i].name == name && !taken[i]) {
                taken[i] = true;
                fields[k] = elements[i].index;
                break;
            }
        }
    }
    return fields;
}

QVector<int> GradeForm::idFields(const QVector<FormElement> &elements)
{
    QVector<int> fields;
    for (const FormElement &e : elements) {
        if (e.name == GradePageNames::studentIdField)
            fields.push_back(e.index);
    }
    return fields;
}

} // namespace tallyra
