#include "import/ScoreRules.h"

#include "core/TextNumbers.h"

namespace tallyra::ScoreRules {

Outcome classify(const CellValue &cell)
{
    QString text;
    std::optional<double> value;
    switch (cell.kind) {
    case CellValue::Kind::Empty:
        return {AnomalyKind::Empty, 0};
    case CellValue::Kind::Boolean:
    case CellValue::Kind::Error:
        return {AnomalyKind::NotNumeric, 0};
    case CellValue::Kind::Number:
        if (!cell.isPlainNumber())
            return {cell.shownAs == NumberClass::Boolean ? AnomalyKind::NotNumeric : AnomalyKind::NotAScore, 0};
        text = cell.textForm();
        value = cell.number;
        break;
    case CellValue::Kind::Text:
        text = TextNumbers::typedForm(cell.text);
        if (text.isEmpty())
            return {AnomalyKind::Empty, 0};
        value = TextNumbers::numericValue(text);
        break;
    }
    if (!value)
        return {AnomalyKind::NotNumeric, 0};
    if (*value < 0)
        return {AnomalyKind::Negative, 0};
    if (*value > 100)
        return {AnomalyKind::Over100, 0};
    return {std::nullopt, roundScore(text, *value)};
}

int roundScore(const QString &textForm, double value)
{
    const qsizetype point = textForm.indexOf(QLatin1Char('.'));
    // Ties would go to the even number; the nudge makes a written half round up.
    if (point >= 0 && point + 1 < textForm.size() && textForm.at(point + 1) == QLatin1Char('5'))
        value += 0.01;
    return static_cast<int>(TextNumbers::roundHalfEven(value));
}

bool isBorderline(int score, const Settings &settings)
{
    return settings.AutoReport == 1 && settings.ReportThreshold <= score && score < kPassMark;
}

QString anomalyLine(AnomalyKind kind, const QString &id)
{
    switch (kind) {
    case AnomalyKind::NotFound:
        return QStringLiteral("請注意！Quillo在成績冊中找不到學號 ") + id + QStringLiteral(" !");
    case AnomalyKind::Empty:
        return QStringLiteral("請注意！成績冊中學號 ") + id + QStringLiteral(" 的分數欄內沒有任何資料!");
    case AnomalyKind::Negative:
        return QStringLiteral("請注意！成績冊中學號 ") + id + QStringLiteral(" 的分數欄內為負分!");
    case AnomalyKind::Over100:
        return QStringLiteral("請注意！成積冊中學號 ") + id + QStringLiteral(" 的分數欄內資料超過100分!");
    case AnomalyKind::NotNumeric:
        return QStringLiteral("請注意！成績冊中學號 ") + id + QStringLiteral(" 的分數欄內不是數值資料!");
    case AnomalyKind::NotAScore:
        return QStringLiteral("請注意！成績冊中學號 ") + id + QStringLiteral(" 的分數欄內是日期、時間或百分比，不是分數!");
    case AnomalyKind::Duplicate:
        return QStringLiteral("請注意！成績冊中學號 ") + id + QStringLiteral(" 出現在多個列，無法確定分數!");
    case AnomalyKind::MissingField:
        return QStringLiteral("請注意！成績輸入網頁中找不到學號 ") + id + QStringLiteral(" 的分數欄位!");
    case AnomalyKind::NotWritable:
        return QStringLiteral("請注意！網頁上學號 ") + id + QStringLiteral(" 的成績欄無法輸入!");
    case AnomalyKind::NotKept:
        return QStringLiteral("請注意！網頁沒有保留學號 ") + id + QStringLiteral(" 的成績!");
    }
    return {};
}

QString borderlineNote(const QString &id, int score)
{
    return QStringLiteral("請注意! 學號 ") + id + QStringLiteral(" 的成績剛好在及格邊緣! (") + QString::number(score)
           + QStringLiteral("分)");
}

} // namespace tallyra::ScoreRules
