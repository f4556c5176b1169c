#pragma once

#include "import/GradeTransfer.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace tallyra {

// What one transfer changed on the page, kept so that it can be put back:
// each field it wrote, with the value and the colour it had before.
class TransferUndo {
public:
    struct Field {
        int index = 0;
        QString name;
        QString id;         // the student's
        QString before;     // value before the transfer
        QString background; // own background colour before the transfer and its highlighting
        QString written;    // value the transfer wrote
    };

    TransferUndo() = default;
    // The fields of `plan` that the write changed, as `snapshot` (read just
    // before the write) held them; `held`: what each field (by index) held
    // once written, where the page kept something else.
    TransferUndo(const TransferPlan &plan, const FormSnapshot &snapshot, const QHash<int, QString> &held = {});

    const QString &formId() const { return m_formId; }
    const QVector<Field> &fields() const { return m_fields; }
    bool isEmpty() const { return m_fields.isEmpty(); }

    // Putting it back on the page as it is now: the writes that restore every
    // field still holding what the transfer wrote, and the IDs of those the
    // teacher changed since (left alone). Nothing when `now` is another form.
    struct Restore {
        QVector<FieldWrite> writes;
        QStringList changedByHand;
    };
    std::optional<Restore> restore(const FormSnapshot &now) const;

private:
    QString m_formId;
    QVector<Field> m_fields;
};

} // namespace tallyra
