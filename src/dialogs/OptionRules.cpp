#include "dialogs/OptionRules.h"

#include "core/TextNumbers.h"

namespace tallyra::OptionRules {

namespace {
constexpr double kPassMark = 60;

double stored(const QString &text) { return TextNumbers::roundHalfEven(TextNumbers::leadingValue(text)); }

bool outsideScoreRange(double value) { return value >= kPassMark || value <= 0; }

Verdict failure(int check, const QString &message) { return {check, message, 0, 0, 0}; }
} // namespace

Verdict check(const Entries &entries)
{
    using TextNumbers::isNumeric;
    if (!isNumeric(entries.reportThreshold))
        return failure(1, QStringLiteral("及格邊緣成績門檻值需為數值!"));
    const double report = stored(entries.reportThreshold);
    if (outsideScoreRange(report))
        return failure(2, QStringLiteral("及格邊緣成績門檻值需介於 0 ～ 59 分間!"));
    if (!isNumeric(entries.threshold1))
        return failure(3, QStringLiteral("「標示區段一」下限須為數值!"));
    if (!isNumeric(entries.threshold2))
        return failure(4, QStringLiteral("「標示區段二」下限須為數值!"));
    const double band1 = stored(entries.threshold1);
    if (outsideScoreRange(band1))
        return failure(5, QStringLiteral("「標示區段一」值需介於 0 ～ 59 分間!"));
    const double band2 = stored(entries.threshold2);
    if (band1 <= band2 || band2 <= 0)
        return failure(6, QStringLiteral("「標示區段二」值需介於 0 ～ ") + TextNumbers::decimalText(band1)
                              + QStringLiteral(" 分間!"));
    return {0, {}, quint8(report), quint8(band1), quint8(band2)};
}

std::optional<QString> bandUpperLabel(const QString &text)
{
    if (!TextNumbers::isNumeric(text))
        return std::nullopt;
    const double value = TextNumbers::leadingValue(text);
    if (!(value > 0))
        return std::nullopt;
    return QStringLiteral("分～") + TextNumbers::decimalText(value - 1) + QStringLiteral("分");
}

} // namespace tallyra::OptionRules
