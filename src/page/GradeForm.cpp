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

} // namespace tallyra
