#pragma once

#include "workbook/Workbook.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <memory>

class QLabel;
class QTabWidget;

namespace tallyra {

// One sheet as a read-only table with column letters and row numbers.
class SheetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    SheetModel(std::shared_ptr<const Workbook> workbook, int sheet, QObject *parent);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static QString columnLetters(int column); // 0 -> "A", 26 -> "AA"

private:
    const WorkbookSheet &sheet() const;
    std::shared_ptr<const Workbook> m_workbook;
    int m_sheet;
};

// The window of one spreadsheet instance: the active workbook, one tab per sheet.
class WorkbookWindow : public QWidget {
    Q_OBJECT
public:
    WorkbookWindow();

    void showWorkbook(const QString &fileName, std::shared_ptr<const Workbook> workbook, bool readOnly);
    // In place of a workbook: the file that could not be read, and why.
    void showFailure(const QString &fileName, const QString &reason);
    void setActiveSheet(int index);
    QString statusText() const;
    int activeSheet() const;
    QTabWidget *tabs() const { return m_tabs; }

signals:
    void closedByUser();
    void activeSheetChanged(int index);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QTabWidget *m_tabs = nullptr;
    QLabel *m_mode = nullptr;
};

} // namespace tallyra
