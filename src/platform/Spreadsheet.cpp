#include "platform/Spreadsheet.h"

#include "platform/calc/CalcSpreadsheet.h"
#include "platform/workbook/EmbeddedSpreadsheet.h"

namespace tallyra {

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
    // Calc where it is installed and answers; the teacher loses nothing without it.
    if (auto calc = CalcSpreadsheet::start())
        return calc;
    return EmbeddedSpreadsheet::start();
}

void Spreadsheet::setFactory(Factory factory) { factorySlot() = std::move(factory); }

} // namespace tallyra
