#include "platform/Spreadsheet.h"

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
    return EmbeddedSpreadsheet::start();
}

void Spreadsheet::setFactory(Factory factory) { factorySlot() = std::move(factory); }

} // namespace tallyra
