#pragma once

#include "import/GradeTransfer.h"
#include "import/TransferUndo.h"
#include "import/WorkbookSession.h"
#include "platform/Browser.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QStatusBar;

namespace tallyra {

// "輸入成績" (Form5): the five steps from choosing the gradebook to the
// transfer. The steps show only in which controls are visible.
class ImportWizard : public QDialog {
    Q_OBJECT
public:
    // `browser` shows the grade page the transfer fills.
    explicit ImportWizard(Browser *browser, QWidget *parent = nullptr);

    void ShowStep(int step);

    // The wizard variables.
    quint8 SheetIndex() const { return m_sheetIndex; }
    QString IdColumn() const { return m_idColumn; }
    quint8 ScoreColumn() const { return m_scoreColumn; }
    const std::shared_ptr<Spreadsheet> &ExcelApp() const { return m_session.ExcelApp(); }

    static QString sheetPrompt() { return QStringLiteral("請選擇合適的班級(頁面)"); }

    // After a write the page did not answer in time: how long to wait
    // before asking the teacher whether to wait on (tests shorten it).
    void setLateWriteAskMs(int ms) { m_lateWriteAskMs = ms; }

    // What the last transfer of this wizard wrote, once it landed; empty otherwise.
    const TransferUndo &lastTransfer() const { return m_lastTransfer; }

public slots:
    void Combo1_Click();
    void Combo2_Click();
    void Combo3_Click();
    void Command1_Click();
    void Command3_Click();
    void Command5_Click();
    void cmdPreview_Click();

    void reject() override; // the close box and Esc cancel like "取消"

private:
    void Form_Load();
    // 輸入成績, or 預覽 and then 輸入成績.
    void transfer(bool preview);
    void showColumnHints();
    void refillSheets();
    void wireList(QComboBox *list, void (ImportWizard::*handler)());
    void updateCommand5();

    QLabel *m_label1 = nullptr;
    QPushButton *m_command3 = nullptr;
    QLabel *m_label2[3] = {};
    QComboBox *m_combo1 = nullptr;
    QComboBox *m_combo2 = nullptr;
    QComboBox *m_combo3 = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command5 = nullptr;
    QPushButton *m_preview = nullptr;
    QStatusBar *m_status = nullptr;

    Browser *m_browser = nullptr;
    WorkbookSession m_session;
    quint8 m_sheetIndex = 0;
    QString m_sheetName;
    TransferUndo m_lastTransfer;
    int m_lateWriteAskMs = 30000;
    QString m_idColumn;
    quint8 m_scoreColumn = 0;

    // "輸入成績" shows when both columns are chosen (step 5 reached and the
    // score list not reset since) and the chosen sheet is the one to read.
    bool m_columnsChosen = false;
    bool m_sheetCurrent = false;
    bool m_closed = false;
};

} // namespace tallyra
