#pragma once

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tallyra {

class ColorSwatch;

// "操作選項設定" (frmOption): edits ten of the settings. "確定" checks and
// stores them in memory; the file is written when the main window closes.
class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit OptionsDialog(QWidget *parent = nullptr);

public slots:
    void chkAutoReport_Click();
    void txtThreshold1_Change();
    void txtThreshold2_Change();
    void Label3_Click();
    void Label5_Click();
    void Label7_Click();
    void Command2_Click();
    void Command1_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Form_Load();
    void placeReportThreshold();
    void pickColour(ColorSwatch *swatch);

    QCheckBox *m_chkAutoReport = nullptr;
    QLineEdit *m_txtReportThreshold = nullptr;
    QCheckBox *m_chkAutoMark = nullptr;
    QLineEdit *m_txtThreshold1 = nullptr;
    QLineEdit *m_txtThreshold2 = nullptr;
    QLabel *m_label1 = nullptr;
    QLabel *m_label4 = nullptr;
    QLabel *m_label6 = nullptr;
    ColorSwatch *m_label3 = nullptr;
    ColorSwatch *m_label5 = nullptr;
    ColorSwatch *m_label7 = nullptr;
    QCheckBox *m_chkReadOnly = nullptr;
    QCheckBox *m_chkAutoClose = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command1 = nullptr;
};

} // namespace tallyra
