#include "platform/Spreadsheet.h"

#include "platform/workbook/EmbeddedSpreadsheet.h"

#include <QLocale>

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
        return QLocale::c().toString(number, 'g', 15).toUpper();
    }
    case Kind::Text:
    case Kind::Error:
        return text;
    case Kind::Boolean:
        return number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    }
    return {};
}

namespace {
Spreadsheet::Factory &factorySlot()
{
    static Spreadsheet::Factory factory;
    return factory;
}
} // namespace

std::shared_ptr<Spreadsheet> Spreadsheet::start()
{
    if (const auto &factory = factorySlot())
        return factory();
    return EmbeddedSpreadsheet::start();
}

void Spreadsheet::setFactory(Factory factory) { factorySlot() = std::move(factory); }

} // namespace tallyra
