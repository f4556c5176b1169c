#include "page/Highlighting.h"

#include "core/TextNumbers.h"
#include "page/GradeForm.h"

namespace tallyra::Highlighting {

qint32 bandColour(double value, const Settings &settings)
{
    if (value >= kPassMark)
        return kWhite;
    if (value >= settings.Threshold1)
        return settings.MarkColor1;
    if (value >= settings.Threshold2)
        return settings.MarkColor2;
    return settings.MarkColor3;
}

QString ColorToHtml(qint32 colour)
{
    QString h = QString::number(static_cast<quint32>(colour), 16).toUpper();
    if (h.size() < 6)
        h = h.rightJustified(6, QLatin1Char('0'));
    return QLatin1Char('#') + h.right(2) + h.mid(2, 2) + h.left(2);
}

std::optional<QVector<FieldWrite>> plan(const FormSnapshot &snapshot, const Settings &settings)
{
    const auto form = GradeForm::collect(snapshot.elements);
    if (!form)
        return std::nullopt;

    QVector<FieldWrite> writes;
    const auto colour = [&](const FormElement &e) {
        const double value = TextNumbers::leadingValue(e.value);
        writes.push_back({e.index, e.name, FieldWrite::Target::BackgroundColor,
                          ColorToHtml(bandColour(value, settings))});
    };

    if (form->studentIds().isEmpty())
        return writes;
    if (form->layout() == GradeForm::Layout::SharedName) {
        for (const FormElement &e : snapshot.elements) {
            if (e.name == GradePageNames::sharedScoreField)
                colour(e);
        }
        return writes;
    }
    // Each student's own field, paired as the transfer pairs them: two
    // fields of one name (a repeated ID) are both coloured, each by its value.
    for (int index : form->scoreFields(snapshot.elements)) {
        if (index >= 0 && index < snapshot.elements.size())
            colour(snapshot.elements[index]);
    }
    return writes;
}

} // namespace tallyra::Highlighting
