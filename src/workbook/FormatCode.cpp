#include "workbook/FormatCode.h"

namespace tallyra::FormatCode {

NumberClass classify(QStringView) { return NumberClass::Plain; }

std::optional<QString> show(QStringView, double) { return std::nullopt; }

std::optional<QString> builtinCode(int id)
{
    if (id == 0)
        return QStringLiteral("General");
    return std::nullopt;
}

} // namespace tallyra::FormatCode
