#pragma once

#include "platform/Spreadsheet.h"
#include "workbook/Workbook.h"

#include <QDateTime>
#include <QObject>
#include <QHash>
#include <QPointer>

#include <memory>
#include <vector>

namespace tallyra {

class WorkbookWindow;

// The spreadsheet application played by Tallyra itself: it reads each file
// into memory and shows it, read-only, in a window of its own. The instance
// lives until it quits or its window is closed, like a separate program.
class EmbeddedSpreadsheet : public QObject,
                            public Spreadsheet,
                            public std::enable_shared_from_this<EmbeddedSpreadsheet> {
    Q_OBJECT
public:
    static std::shared_ptr<Spreadsheet> start();
    ~EmbeddedSpreadsheet() override;

    bool setVisible(bool visible) override;
    bool open(const QString &path, bool readOnly) override;
    bool activateWorkbook(int number) override;
    std::optional<int> sheetCount() const override;
    std::optional<QString> sheetName(int number) const override;
    bool activateSheet(int number) override;
    std::optional<QVector<int>> findInColumn(int column, const QString &text) const override;
    std::optional<CellValue> cell(int row, int column) const override;
    std::optional<QVector<QVector<CellValue>>> readColumns(int sheet, const QVector<int> &columns) const override;
    FileState reloadIfChanged() override;
    std::optional<int> otherDocumentCount() const override;
    std::optional<bool> hasUnsavedChanges() const override;
    bool closeActiveWorkbook() override;
    bool quit() override;
    QString openFailure() const override { return m_openFailure; }

    bool isRunning() const { return m_running; }
    bool isReadOnly() const; // of the active workbook
    WorkbookWindow *window() const;

    // Instances that have not quit, oldest first.
    static std::vector<std::shared_ptr<EmbeddedSpreadsheet>> running();

private:
    EmbeddedSpreadsheet() = default;

    struct OpenWorkbook {
        QString path;
        bool readOnly = true;
        std::shared_ptr<const Workbook> workbook;
        int activeSheet = 0; // 0-based
        // The file as it was read, to tell when it changed on disk.
        qint64 size = -1;
        QDateTime modified;
    };

    const OpenWorkbook *active() const;
    const WorkbookSheet *activeSheet() const;
    void showActive();
    void end();

    struct ColumnIndex {
        const WorkbookSheet *sheet = nullptr;
        int column = 0;
        ColumnSearch rows;
    };
    mutable ColumnIndex m_index;

    bool m_running = true;
    QString m_openFailure;
    std::vector<OpenWorkbook> m_workbooks;
    int m_active = -1;
    QPointer<WorkbookWindow> m_window;
};

} // namespace tallyra
