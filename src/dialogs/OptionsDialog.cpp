#include "dialogs/OptionsDialog.h"

#include "core/Settings.h"
#include "dialogs/ColorSwatch.h"
#include "dialogs/OptionRules.h"
#include "platform/ColorPicker.h"
#include "platform/Fonts.h"
#include "platform/MessageBox.h"
#include "platform/Twips.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

namespace tallyra {

namespace {

// The stored flags are on only when exactly 1; Qt's checked state is 2.
Qt::CheckState stateOf(quint8 flag) { return flag == 1 ? Qt::Checked : Qt::Unchecked; }
quint8 flagOf(const QCheckBox *box) { return box->checkState() == Qt::Checked ? 1 : 0; }

template <typename W>
W *place(W *widget, const char *name, int left, int top, int width, int height)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(twipsRect(left, top, width, height));
    return widget;
}

} // namespace

OptionsDialog::OptionsDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmOption"));
    setWindowTitle(QStringLiteral("操作選項設定"));
    setFixedSize(twipsToPixels(5280), twipsToPixels(3960));
    setFont(Fonts::ming(9.75));

    const auto numberBox = [](QWidget *parent, const QString &text) {
        auto *box = new QLineEdit(text, parent);
        box->setFont(Fonts::ming(11.25));
        box->setAlignment(Qt::AlignCenter);
        box->setMaxLength(2);
        return box;
    };

    m_chkAutoReport = place(new QCheckBox(QStringLiteral("自動回報　　 分以上及格邊緣的成績，避免分數爭議"), this),
                            "chkAutoReport", 240, 135, 4935, 330);
    m_chkAutoReport->setChecked(true);
    m_txtReportThreshold = place(numberBox(this, QStringLiteral("55")), "txtReportThreshold", 1320, 135, 375, 330);
    m_chkAutoMark = place(new QCheckBox(QStringLiteral("啟用自動醒目標示，直接標示分數等級(參考下方設定)"), this),
                          "chkAutoMark", 240, 480, 4935, 255);

    auto *frame1 = place(new QGroupBox(QStringLiteral("醒目標示等級設定"), this), "Frame1", 120, 840, 5055, 1575);
    place(new QLabel(QStringLiteral("標示區段一："), frame1), "Label8", 240, 405, 1170, 195);
    m_txtThreshold1 = place(numberBox(frame1, QStringLiteral("55")), "txtThreshold1", 1440, 360, 375, 285);
    m_label1 = place(new QLabel(QStringLiteral("分～59分"), frame1), "Label1", 1920, 405, 765, 195);
    m_label3 = place(new ColorSwatch(QStringLiteral("點此更改標示顏色"), frame1), "Label3", 2760, 375, 1620, 255);
    place(new QLabel(QStringLiteral("標示區段二："), frame1), "Label10", 240, 765, 1170, 195);
    m_txtThreshold2 = place(numberBox(frame1, QStringLiteral("45")), "txtThreshold2", 1440, 720, 375, 285);
    m_label4 = place(new QLabel(QStringLiteral("分～54分"), frame1), "Label4", 1920, 765, 765, 195);
    m_label5 = place(new ColorSwatch(QStringLiteral("點此更改標示顏色"), frame1), "Label5", 2760, 735, 1620, 255);
    place(new QLabel(QStringLiteral("標示區段三："), frame1), "Label9", 240, 1125, 1170, 195);
    auto *label2 = place(new QLabel(QStringLiteral("0"), frame1), "Label2", 1680, 1125, 90, 195);
    label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_label6 = place(new QLabel(QStringLiteral("分～44分"), frame1), "Label6", 1920, 1125, 765, 195);
    m_label7 = place(new ColorSwatch(QStringLiteral("點此更改標示顏色"), frame1), "Label7", 2760, 1095, 1620, 255);

    auto *frame2 = place(new QGroupBox(QStringLiteral("檔案操作設定"), this), "Frame2", 120, 2520, 5055, 855);
    m_chkReadOnly = place(new QCheckBox(QStringLiteral("以「唯讀模式」開啟成績冊，避免誤動成績"), frame2),
                          "chkReadOnly", 360, 240, 4575, 255);
    m_chkAutoClose = place(new QCheckBox(QStringLiteral("輸入成功時，自動關閉成績冊"), frame2), "chkAutoClose", 360,
                           480, 4575, 255);

    // Captions on the border line, as the design's frames draw them, so that
    // the first row of each frame clears the border.
    for (QGroupBox *frame : {frame1, frame2}) {
        frame->setStyleSheet(QStringLiteral(
            "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 7px; }"
            "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; }"));
    }

    m_command2 = place(new QPushButton(QStringLiteral("確定"), this), "Command2", 3120, 3480, 975, 375);
    m_command1 = place(new QPushButton(QStringLiteral("取消"), this), "Command1", 4200, 3480, 975, 375);
    for (QPushButton *button : {m_command2, m_command1}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    placeReportThreshold();

    setTabOrder(m_txtReportThreshold, m_txtThreshold1);
    setTabOrder(m_txtThreshold1, m_txtThreshold2);
    setTabOrder(m_txtThreshold2, m_command1);
    setTabOrder(m_command1, m_command2);
    setTabOrder(m_command2, m_chkAutoReport);
    setTabOrder(m_chkAutoReport, m_chkAutoMark);
    setTabOrder(m_chkAutoMark, m_chkReadOnly);
    setTabOrder(m_chkReadOnly, m_chkAutoClose);

    // toggled / textChanged also fire when code sets the control, as loading needs.
    connect(m_chkAutoReport, &QCheckBox::toggled, this, &OptionsDialog::chkAutoReport_Click);
    connect(m_txtThreshold1, &QLineEdit::textChanged, this, &OptionsDialog::txtThreshold1_Change);
    connect(m_txtThreshold2, &QLineEdit::textChanged, this, &OptionsDialog::txtThreshold2_Change);
    connect(m_label3, &ColorSwatch::clicked, this, &OptionsDialog::Label3_Click);
    connect(m_label5, &ColorSwatch::clicked, this, &OptionsDialog::Label5_Click);
    connect(m_label7, &ColorSwatch::clicked, this, &OptionsDialog::Label7_Click);
    connect(m_command2, &QPushButton::clicked, this, &OptionsDialog::Command2_Click);
    connect(m_command1, &QPushButton::clicked, this, &OptionsDialog::Command1_Click);

    Form_Load();

    (m_txtReportThreshold->isEnabled() ? m_txtReportThreshold : m_txtThreshold1)->setFocus();
}

void OptionsDialog::placeReportThreshold()
{
    // Over the blank stretch of the check box's caption, so that the line
    // reads as one sentence with the number in it.
    QStyleOptionButton option;
    option.initFrom(m_chkAutoReport);
    option.text = m_chkAutoReport->text();
    const QRect contents = m_chkAutoReport->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, m_chkAutoReport);
    const QFontMetrics metrics(m_chkAutoReport->font());
    const int blankStart = m_chkAutoReport->x() + contents.x() + metrics.horizontalAdvance(QStringLiteral("自動回報"));
    const int blankWidth = metrics.horizontalAdvance(QStringLiteral("　　 "));
    const int width = m_txtReportThreshold->width();
    m_txtReportThreshold->move(blankStart + (blankWidth - width) / 2, m_txtReportThreshold->y());
}

void OptionsDialog::Form_Load()
{
    const Settings &s = settings();
    m_chkAutoClose->setCheckState(stateOf(s.AutoClose));
    m_chkReadOnly->setCheckState(stateOf(s.ReadOnly));
    m_chkAutoReport->setCheckState(stateOf(s.AutoReport));
    m_chkAutoMark->setCheckState(stateOf(s.AutoMark));
    m_txtReportThreshold->setText(QString::number(s.ReportThreshold));
    m_txtThreshold1->setText(QString::number(s.Threshold1));
    m_txtThreshold2->setText(QString::number(s.Threshold2));
    m_label3->setColour(s.MarkColor1);
    m_label5->setColour(s.MarkColor2);
    m_label7->setColour(s.MarkColor3);
}

void OptionsDialog::chkAutoReport_Click() { m_txtReportThreshold->setEnabled(m_chkAutoReport->isChecked()); }

void OptionsDialog::txtThreshold1_Change()
{
    if (const auto label = OptionRules::bandUpperLabel(m_txtThreshold1->text()))
        m_label4->setText(*label);
}

void OptionsDialog::txtThreshold2_Change()
{
    if (const auto label = OptionRules::bandUpperLabel(m_txtThreshold2->text()))
        m_label6->setText(*label);
}

void OptionsDialog::pickColour(ColorSwatch *swatch)
{
    const QColor initial = colorFromValue(swatch->colour());
    const QColor chosen = ColorPicker::pick(this, initial);
    // Unchanged (or cancelled) keeps the stored value exactly, high byte and all.
    if (chosen != initial)
        swatch->setColour(valueFromColor(chosen));
}

void OptionsDialog::Label3_Click() { pickColour(m_label3); }
void OptionsDialog::Label5_Click() { pickColour(m_label5); }
void OptionsDialog::Label7_Click() { pickColour(m_label7); }

void OptionsDialog::Command2_Click()
{
    const OptionRules::Verdict verdict = OptionRules::check(
        {m_txtReportThreshold->text(), m_txtThreshold1->text(), m_txtThreshold2->text()});
    if (!verdict.passed()) {
        MessageBox::warning(this, verdict.message, QString());
        return;
    }
    Settings &s = settings();
    s.AutoClose = flagOf(m_chkAutoClose);
    s.ReadOnly = flagOf(m_chkReadOnly);
    s.AutoReport = flagOf(m_chkAutoReport);
    s.AutoMark = flagOf(m_chkAutoMark);
    s.ReportThreshold = verdict.reportThreshold;
    s.Threshold1 = verdict.threshold1;
    s.Threshold2 = verdict.threshold2;
    s.MarkColor1 = m_label3->colour();
    s.MarkColor2 = m_label5->colour();
    s.MarkColor3 = m_label7->colour();
    accept();
}

void OptionsDialog::Command1_Click() { reject(); }

void OptionsDialog::keyPressEvent(QKeyEvent *event)
{
    // Neither button answers Enter or Escape.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

} // namespace tallyra
