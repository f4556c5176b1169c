#include "platform/Spreadsheet.h"

#include "core/TextNumbers.h"
#include "platform/calc/CalcSpreadsheet.h"
#include "platform/workbook/EmbeddedSpreadsheet.h"

#include <cmath>

namespace tallyra {

void ColumnSearch::add(int row, const CellValue &value)
{
    if (value.isEmpty())
        return;
    const QString text = key(value.textForm());
    m_rows[text].push_back(row);
    if (!value.isPlainNumber())
        return;
    if (!value.text.isEmpty()) {
        const QString shown = key(value.text);
        if (shown != text)
            m_rows[shown].push_back(row);
    }
    // Exactly representable whole numbers only: a double holds every
    // integer below 2^53, and IDs have at most 15 digits.
    if (value.number >= 0 && value.number < 1e15 && value.number == std::floor(value.number))
        m_numbers[static_cast<qint64>(value.number)].push_back(row);
}

std::optional<qint64> ColumnSearch::idNumber(const QString &id)
{
    const QString digits = TextNumbers::typedForm(id);
    if (digits.isEmpty())
        return std::nullopt;
    qint64 number = 0;
    int significant = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        if (number > 0 || c != QLatin1Char('0'))
            ++significant;
        if (significant > 15)
            return std::nullopt;
        number = number * 10 + (c.unicode() - '0');
    }
    return number;
}

QString ColumnSearch::key(const QString &text) { return TextNumbers::typedForm(text).toCaseFolded(); }

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

namespace {
// Calc launched at once, the embedded reader where Calc does not answer.
class CalcAhead : public Spreadsheet::Pending {
public:
    explicit CalcAhead(std::unique_ptr<CalcSpreadsheet::Pending> calc) : m_calc(std::move(calc)) {}
    std::shared_ptr<Spreadsheet> take() override
    {
        if (m_calc) {
            const auto pending = std::move(m_calc);
            if (auto calc = pending->take())
                return calc;
        }
        return EmbeddedSpreadsheet::start();
    }

private:
    std::unique_ptr<CalcSpreadsheet::Pending> m_calc;
};

// Nothing worth starting early: started when taken.
class StartWhenTaken : public Spreadsheet::Pending {
public:
    std::shared_ptr<Spreadsheet> take() override { return Spreadsheet::start(); }
};
} // namespace

std::unique_ptr<Spreadsheet::Pending> Spreadsheet::startAhead()
{
    if (!factorySlot())
        if (auto calc = CalcSpreadsheet::launch())
            return std::make_unique<CalcAhead>(std::move(calc));
    return std::make_unique<StartWhenTaken>();
}

void Spreadsheet::setFactory(Factory factory) { factorySlot() = std::move(factory); }

} // namespace tallyra
