#pragma once

#include "platform/Spreadsheet.h"

#include <QStringList>

#include <memory>

namespace tallyra {

// The wizard's hold on the gradebook: the spreadsheet instance started by
// the last file choice. Failures are skipped, never reported.
class WorkbookSession {
public:
    // The folder of a chosen file with its trailing "/", or "" without one.
    static QString folderOf(const QString &fileName);

    // Begins starting the instance the next open() will use, so that the
    // teacher's file choice does not wait for the application to start.
    void startAhead();

    // Starts a new instance (an earlier one keeps running), or takes the
    // one started ahead, shows it, opens the file and returns the names of
    // its sheets in workbook order; an empty list when the instance or the
    // file could not be opened.
    QStringList open(const QString &fileName, bool readOnly);

    // The names of the active workbook's sheets now, in workbook order.
    QStringList sheetNames() const;

    // Makes sheet `number` (from 1) the active sheet of the active workbook.
    bool activateSheet(int number);

    // Drops the reference; the instance and its workbook stay open. One
    // started ahead and never used ends.
    void release()
    {
        m_app.reset();
        m_ahead.reset();
    }

    const std::shared_ptr<Spreadsheet> &ExcelApp() const { return m_app; }
    // The file the last open was asked for, for the journal of transfers.
    const QString &fileName() const { return m_fileName; }

    // Why the last open could not read its file, in one line; empty when
    // it could, or when the spreadsheet application told the teacher itself.
    const QString &failure() const { return m_failure; }

private:
    std::shared_ptr<Spreadsheet> m_app;
    std::unique_ptr<Spreadsheet::Pending> m_ahead;
    QString m_failure;
    QString m_fileName;
};

} // namespace tallyra
