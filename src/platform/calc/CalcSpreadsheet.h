#pragma once

#include "platform/Spreadsheet.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace tallyra {

namespace calc {
class Office;
struct Cell;
}
class OfficeStarter;

// The spreadsheet application played by LibreOffice Calc: an office of its
// own for every instance, started by Tallyra in a profile folder of its
// own and driven through the Calc plugin. Every office call runs on a
// worker thread while the caller waits in an event loop that takes no user
// input; an office that does not answer in time is killed.
class CalcSpreadsheet : public Spreadsheet {
public:
    struct Options {
        QString pluginPath;   // the Calc plugin
        QString officePath;   // soffice
        QString profileRoot;  // where the profile folders are kept
        int startTimeoutMs = 30000;
        int callTimeoutMs = 60000;
        int endTimeoutMs = 10000;
        bool generalText = false; // see calc::Office::setGeneralText
    };
    static Options defaultOptions();
    // Replaces the options (tests); restores the defaults when empty.
    static void setOptions(std::optional<Options> options);

    // A new office with Calc's window ready for a workbook, or nothing when
    // the plugin does not load, no office is installed, or the office does
    // not answer in time (nothing of it is then left running).
    static std::shared_ptr<CalcSpreadsheet> start();

    // An office being started while its caller goes on: launched at once
    // and connected to in the background, for take() to hand over.
    class Pending {
    public:
        ~Pending(); // an office never taken ends here, whatever it had reached
        // start()'s answer: the office once it answers, waited for if need be.
        std::shared_ptr<CalcSpreadsheet> take();

    private:
        friend class CalcSpreadsheet;
        Pending() = default;
        std::shared_ptr<CalcSpreadsheet> claim();
        void giveUp(bool tell);
        std::unique_ptr<OfficeStarter> m_starter;
    };
    // Starts launching an office; nothing when it cannot even be launched
    // (see lastStartFailure). With `warmUp`, the office also readies itself
    // for a first file before it counts as started: worth it only while
    // the caller has other things to wait for.
    static std::unique_ptr<Pending> launch(bool warmUp = true);
    // Why the last start() gave nothing.
    static QString lastStartFailure();

    ~CalcSpreadsheet() override;

    bool setVisible(bool visible) override;
    bool open(const QString &path, bool readOnly) override;
    bool activateWorkbook(int number) override;
    std::optional<int> sheetCount() const override;
    std::optional<QString> sheetName(int number) const override;
    bool activateSheet(int number) override;
    std::optional<QVector<int>> findInColumn(int column, const QString &text) const override;
    std::optional<CellValue> cell(int row, int column) const override;
    std::optional<QVector<QVector<CellValue>>> readColumns(int sheet, const QVector<int> &columns) const override;
    std::optional<int> otherDocumentCount() const override;
    std::optional<bool> hasUnsavedChanges() const override;
    bool closeActiveWorkbook() override;
    bool quit() override;

    qint64 processId() const { return m_pid; }
    // Why the last office call failed, as the office said it.
    QString lastError() const { return m_lastError; }
    QString profileFolder() const { return m_profile; }
    // As the teacher would in Calc: type into a cell, run a menu command.
    bool enterText(int row, int column, const QString &text);
    bool dispatch(const QString &command);
    bool removeSheet(int number);

private:
    CalcSpreadsheet(std::shared_ptr<calc::Office> office, qint64 pid, QString pipe, QString profile, Options options);

    template <typename T>
    std::optional<T> call(std::function<T(calc::Office &)> work, int timeoutMs) const;
    // A call whose answer may itself be missing: nothing either way.
    template <typename T>
    std::optional<T> ask(std::function<std::optional<T>(calc::Office &)> work) const
    {
        return call<std::optional<T>>(std::move(work), -1).value_or(std::nullopt);
    }
    bool callBool(std::function<bool(calc::Office &)> work, int timeoutMs = -1) const;
    void markCachedBooleans(int sheet, const QVector<int> &columns, const std::vector<std::vector<calc::Cell>> &read,
                            QVector<QVector<CellValue>> &cells) const;
    // Once the office has ended: its leftovers go, its profile is free again.
    void finish() const;

    std::shared_ptr<calc::Office> m_office;
    qint64 m_pid = 0;
    QString m_pipe;
    QString m_profile;
    QStringList m_documents; // every file loaded, for the locks a killed office leaves
    Options m_options;
    bool m_visible = false;
    mutable bool m_running = true;
    mutable QString m_lastError;
    QString m_activePath; // the file of the workbook opened last
};

} // namespace tallyra
