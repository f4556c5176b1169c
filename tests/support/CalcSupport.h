#pragma once

#include "platform/calc/CalcSpreadsheet.h"

#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace tallyra::test {

// Offices started by a test, in profile folders of the test's own, and
// ended with it whatever the test left open.
class CalcOffices {
public:
    ~CalcOffices();
    // Points the Calc implementation at the built plugin and a scratch
    // profile root; false (see whyNot) when the plugin was not built.
    bool prepare();
    QString whyNot() const { return m_whyNot; }
    const CalcSpreadsheet::Options &options() const { return m_options; }

    std::shared_ptr<CalcSpreadsheet> start();
    // A spreadsheet factory for the wizard that starts Calc and keeps count.
    Spreadsheet::Factory factory();
    const std::vector<std::shared_ptr<CalcSpreadsheet>> &started() const { return m_started; }
    void endAll();

private:
    QTemporaryDir m_profiles;
    CalcSpreadsheet::Options m_options;
    QString m_whyNot;
    std::vector<std::shared_ptr<CalcSpreadsheet>> m_started;
};

} // namespace tallyra::test
