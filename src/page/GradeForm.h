#pragma once

#include "page/FormSnapshot.h"

#include <QStringList>

namespace tallyra {

// Names by which the teacher information system's score page is found.
namespace GradePageNames {
inline const QString contentFrame = QStringLiteral("FCONTENT");
inline const QString scoreForm = QStringLiteral("wlist");
inline const QString studentIdField = QStringLiteral("mStd_id");
inline const QString sharedScoreField = QStringLiteral("STD");
inline const QString perStudentPrefix = QStringLiteral("S");
} // namespace GradePageNames

// The collection pass over the score form: the layout and the student IDs
// in document order. Names compare whole and case-sensitively.
class GradeForm {
public:
    enum class Layout { PerStudent, SharedName };

    // The ID list has room for 254 students; a 255th ends the pass.
    static constexpr int kMaxStudents = 254;

    // Nothing when the form holds more student-ID fields than the list takes.
    static std::optional<GradeForm> collect(const QVector<FormElement> &elements);

    Layout layout() const { return m_layout; }
    // Entry k of the design's list (numbered from 1) is studentIds()[k - 1].
    const QStringList &studentIds() const { return m_ids; }
    // "S" + ID in the per-student layout; "STD" in the shared-name layout.
    QString scoreFieldName(int k) const;

    // The score field of each student, in the order of the IDs; -1 where the
    // page has none. Per-student: the first field of the student's name not
    // already given to an earlier student (a repeated ID takes the next one);
    // shared-name: the k-th "STD" for the k-th ID, surplus fields left out.
    QVector<int> scoreFields(const QVector<FormElement> &elements) const;

    // The student-ID fields: the values a write checks are still there.
    static QVector<int> idFields(const QVector<FormElement> &elements);

private:
    Layout m_layout = Layout::PerStudent;
    QStringList m_ids;
};

} // namespace tallyra
