#include "support/CalcSupport.h"

#include <QFileInfo>

namespace tallyra::test {

CalcOffices::~CalcOffices()
{
    endAll();
    CalcSpreadsheet::setOptions(std::nullopt);
}

bool CalcOffices::prepare()
{
    m_options = CalcSpreadsheet::defaultOptions();
    m_options.pluginPath = QStringLiteral(TALLYRA_BIN_DIR "/libtallyra-calc.so");
    m_options.profileRoot = m_profiles.filePath(QStringLiteral("profiles"));
    CalcSpreadsheet::setOptions(m_options);
    if (!QFileInfo::exists(m_options.pluginPath))
        m_whyNot = QStringLiteral("the Calc plugin was not built (is libreoffice-dev installed?)");
    else if (!QFileInfo(m_options.officePath).isExecutable())
        m_whyNot = QStringLiteral("no office at %1").arg(m_options.officePath);
    else if (qEnvironmentVariableIsEmpty("DISPLAY"))
        m_whyNot = QStringLiteral("Calc needs a display: run under xvfb-run -a");
    return m_whyNot.isEmpty();
}

std::shared_ptr<CalcSpreadsheet> CalcOffices::start()
{
    auto calc = CalcSpreadsheet::start();
    if (calc)
        m_started.push_back(calc);
    else
        qWarning("Calc did not start: %s", qPrintable(CalcSpreadsheet::lastStartFailure()));
    return calc;
}

Spreadsheet::Factory CalcOffices::factory()
{
    return [this]() -> std::shared_ptr<Spreadsheet> { return start(); };
}

void CalcOffices::endAll()
{
    for (const auto &calc : m_started) {
        // Unsaved changes would make the office ask before it ends; quit
        // kills an office that does not end all the same.
        while (calc->closeActiveWorkbook()) {
        }
        calc->quit();
    }
    m_started.clear();
}

} // namespace tallyra::test
