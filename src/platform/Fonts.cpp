#include "platform/Fonts.h"

#include <QStringList>

namespace tallyra::Fonts {

namespace {
QFont withFamilies(const QStringList &families, qreal pointSize)
{
    QFont font;
    font.setFamilies(families);
    font.setPointSizeF(pointSize);
    return font;
}
} // namespace

QFont ming(qreal pointSize)
{
    return withFamilies({QStringLiteral("新細明體"), QStringLiteral("PMingLiU"),
                         QStringLiteral("AR PL UMing TW"), QStringLiteral("Noto Serif CJK TC")},
                        pointSize);
}

QFont kai(qreal pointSize)
{
    return withFamilies({QStringLiteral("標楷體"), QStringLiteral("DFKai-SB"),
                         QStringLiteral("AR PL UKai TW")},
                        pointSize);
}

QFont tahoma(qreal pointSize)
{
    return withFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")}, pointSize);
}

} // namespace tallyra::Fonts
