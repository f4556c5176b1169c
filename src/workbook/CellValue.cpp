#include "workbook/CellValue.h"

#include <charconv>
#include <cmath>

namespace tallyra {

QString CellValue::textForm() const
{
    switch (kind) {
    case Kind::Empty:
        return {};
    case Kind::Number: {
        if (number == 0)
            return QStringLiteral("0");
        if (!std::isfinite(number))
            return QStringLiteral("#NUM!");
        // Shortest form within 15 significant digits, "E" for the exponent.
        char buffer[32];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::general, 15).ptr;
        for (char *c = buffer; c != end; ++c)
            if (*c == 'e')
                *c = 'E';
        return QString::fromLatin1(buffer, end - buffer);
    }
    case Kind::Text:
    case Kind::Error:
        return text;
    case Kind::Boolean:
        return number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    }
    return {};
}

} // namespace tallyra
