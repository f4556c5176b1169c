#include "import/ImportWizard.h"

#include "core/Settings.h"
#include "import/GradeTransfer.h"
#include "import/TransferCheck.h"
#include "import/TransferRun.h"
#include "page/GradeForm.h"
#include "platform/Browser.h"
#include "platform/FileDialog.h"
#include "platform/Fonts.h"
#include "platform/MessageBox.h"
#include "platform/Twips.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

namespace tallyra {

namespace {

template <typename W>
W *place(W *widget, const QString &name, int left, int top, int width, int height)
{
    widget->setObjectName(name);
    widget->setGeometry(twipsRect(left, top, width, height));
    return widget;
}

void paintButton(QPushButton *button, const QColor &colour)
{
    QPalette p = button->palette();
    p.setColor(QPalette::Button, colour);
    button->setPalette(p);
    button->setAutoFillBackground(true);
}

} // namespace

ImportWizard::ImportWizard(Browser *browser, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint)
    , m_browser(browser)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("輸入成績"));
    setFixedSize(twipsToPixels(4965), twipsToPixels(2745));
    setFont(Fonts::ming(11.25));

    m_label1 = place(new QLabel(QStringLiteral("請選擇 Excel 格式之成績冊"), this), QStringLiteral("Label1"), 240, 240, 3015, 255);
    m_label1->setFont(Fonts::ming(12));
    m_command3 = place(new QPushButton(QStringLiteral("選擇檔案"), this), QStringLiteral("Command3"), 3600, 180, 1215, 375);

    const QString captions[3] = {QStringLiteral("頁面名稱："), QStringLiteral("學號欄位："), QStringLiteral("成績欄位：")};
    QComboBox **lists[3] = {&m_combo1, &m_combo2, &m_combo3};
    for (int i = 0; i < 3; ++i) {
        const int top = 720 + 360 * i;
        m_label2[i] = place(new QLabel(captions[i], this), QStringLiteral("Label2_%1").arg(i), 240, top + 45, 1215, 255);
        *lists[i] = new QComboBox(this);
        (*lists[i])->setObjectName(QStringLiteral("Combo%1").arg(i + 1));
        const QRect r = twipsRect(1440, top, 3375, 0);
        (*lists[i])->setGeometry(r.x(), r.y(), r.width(), (*lists[i])->sizeHint().height());
        m_label2[i]->hide();
        (*lists[i])->hide();
    }

    m_command1 = place(new QPushButton(QStringLiteral("取消"), this), QStringLiteral("Command1"), 240, 1920, 1455, 375);
    paintButton(m_command1, QColor(255, 128, 128));
    m_command5 = place(new QPushButton(QStringLiteral("輸入成績"), this), QStringLiteral("Command5"), 3360, 1920, 1455, 375);
    paintButton(m_command5, QColor(0, 192, 0));
    m_command5->hide();
    m_preview = place(new QPushButton(QStringLiteral("預覽"), this), QStringLiteral("cmdPreview"), 1920, 1920, 1215, 375);
    m_preview->hide();
    for (QPushButton *button : {m_command1, m_command3, m_command5, m_preview})
        button->setAutoDefault(false);

    m_status = new QStatusBar(this);
    m_status->setObjectName(QStringLiteral("StatusBar1"));
    m_status->setSizeGripEnabled(false);
    // Smaller than the rest, so that the longest step hint fits the narrow window.
    m_status->setFont(Fonts::ming(9));
    const int statusHeight = m_status->sizeHint().height();
    m_status->setGeometry(0, height() - statusHeight, width(), statusHeight);

    setTabOrder(m_combo1, m_command1);
    setTabOrder(m_command1, m_command3);
    setTabOrder(m_command3, m_combo2);
    setTabOrder(m_combo2, m_combo3);
    setTabOrder(m_combo3, m_preview);
    setTabOrder(m_preview, m_command5);

    wireList(m_combo1, &ImportWizard::Combo1_Click);
    wireList(m_combo2, &ImportWizard::Combo2_Click);
    wireList(m_combo3, &ImportWizard::Combo3_Click);
    connect(m_command1, &QPushButton::clicked, this, &ImportWizard::Command1_Click);
    connect(m_command3, &QPushButton::clicked, this, &ImportWizard::Command3_Click);
    connect(m_command5, &QPushButton::clicked, this, &ImportWizard::Command5_Click);
    connect(m_preview, &QPushButton::clicked, this, &ImportWizard::cmdPreview_Click);
    connect(m_combo2, &QComboBox::highlighted, this, [this](int index) {
        const QString hint = m_combo2->itemData(index, Qt::ToolTipRole).toString();
        if (!hint.isEmpty())
            m_status->showMessage(hint);
    });

    Form_Load();
    // Calc starts while the teacher is still looking for the file.
    m_session.startAhead();
}

void ImportWizard::wireList(QComboBox *list, void (ImportWizard::*handler)())
{
    // The handler runs for every change of selection, also from code, and
    // when the teacher picks the entry that is already selected.
    auto changed = std::make_shared<bool>(false);
    connect(list, &QComboBox::currentIndexChanged, this, [this, handler, changed] {
        *changed = true; // "activated" follows at once when the teacher made this change
        QTimer::singleShot(0, this, [changed] { *changed = false; });
        (this->*handler)();
    });
    connect(list, &QComboBox::activated, this, [this, handler, changed] {
        if (!*changed)
            (this->*handler)();
        *changed = false;
    });
}

void ImportWizard::Form_Load()
{
    if (const QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2,
             area.y() + (area.height() - height() - twipsToPixels(200)) / 2);
    }
    for (QComboBox *list : {m_combo2, m_combo3}) {
        const QSignalBlocker quiet(list); // filling is not a choice
        list->clear();
        list->addItem(list == m_combo2 ? QStringLiteral("請指定「學號」所在欄位") : QStringLiteral("請指定「成績」所在欄位"));
        for (char16_t c = u'A'; c <= u'Z'; ++c)
            list->addItem(QString(QChar(c)));
        list->setCurrentIndex(-1);
    }
    ShowStep(1);
}

void ImportWizard::ShowStep(int step)
{
    static const QString texts[] = {
        QStringLiteral("步驟 1/5：請按下「選擇檔案」鈕來開啟成績冊"),
        QStringLiteral("步驟 2/5：請選擇本次要輸入成績所在的活頁簿名稱"),
        QStringLiteral("步驟 3/5：請指定學號所在的欄位名稱"),
        QStringLiteral("步驟 4/5：請指定本次要輸入分數所在的欄位名稱"),
        QStringLiteral("步驟 5/5：請按下「輸入成績」鈕，開始輸入成績!!"),
    };
    if (step < 1 || step > 5)
        return;

    QComboBox *reset = step == 2 ? m_combo1 : step == 3 ? m_combo2 : step == 4 ? m_combo3 : nullptr;
    if (reset) {
        const bool alreadyPrompt = reset->currentIndex() == 0;
        reset->setCurrentIndex(0); // a change runs the list's handler
        // Only the score list's handler acts on its prompt: it hides 輸入成績.
        if (alreadyPrompt && reset == m_combo3)
            Combo3_Click();
    }

    m_label2[0]->setVisible(step >= 2);
    m_combo1->setVisible(step >= 2);
    m_label2[1]->setVisible(step >= 3);
    m_combo2->setVisible(step >= 3);
    m_label2[2]->setVisible(step >= 4);
    m_combo3->setVisible(step >= 4);
    m_status->showMessage(texts[step - 1]);
    if (step == 5)
        m_columnsChosen = true;
    updateCommand5();
}

void ImportWizard::updateCommand5()
{
    m_command5->setVisible(m_columnsChosen && m_sheetCurrent);
    m_preview->setVisible(m_command5->isVisibleTo(this));
}

void ImportWizard::Combo1_Click()
{
    const int index = m_combo1->currentIndex();
    if (index <= 0)
        return;
    const int position = m_combo1->itemData(index).toInt();
    // The position is kept in one byte; a later sheet cannot be chosen.
    const bool activated = position >= 1 && position <= 255 && m_session.activateSheet(position);
    if (!activated) {
        m_sheetCurrent = false;
        MessageBox::warning(this, QStringLiteral("無法開啟所選的工作表，成績冊可能已經關閉，請重新選擇工作表或檔案!"), QStringLiteral("輸入成績"));
        ShowStep(2);
        return;
    }
    m_sheetIndex = static_cast<quint8>(position);
    m_sheetName = m_combo1->itemText(index);
    m_sheetCurrent = true;
    showColumnHints();
    ShowStep(3);
}

void ImportWizard::Combo2_Click()
{
    const int index = m_combo2->currentIndex();
    if (index <= 0)
        return;
    m_idColumn = m_combo2->itemText(index);
    ShowStep(4);
}

void ImportWizard::Combo3_Click()
{
    const int index = m_combo3->currentIndex();
    if (index <= 0) {
        m_columnsChosen = false;
        updateCommand5();
        return;
    }
    const QString letter = m_combo3->itemText(index);
    // IDs must never be read as scores: neither the letter shown for the IDs
    // nor the one stored for them.
    if (letter == m_combo2->currentText() || letter == m_idColumn)
        return;
    m_scoreColumn = static_cast<quint8>(letter.at(0).unicode() - 64);
    ShowStep(5);
}

void ImportWizard::Command1_Click()
{
    if (m_closed)
        return;
    m_closed = true;
    // The gradebook stays open in its window for the teacher.
    m_session.release();
    QDialog::reject();
}

void ImportWizard::reject() { Command1_Click(); }

void ImportWizard::Command3_Click()
{
    const QString fileName = FileDialog::openFile(
        this, {QStringLiteral("開啟成績冊"), settings().LastFolder,
               {QStringLiteral("Excel (*.xls *.xlsx *.xlsm)"), QStringLiteral("OpenDocument (*.ods)")}});
    if (fileName.isEmpty())
        return;
    settings().LastFolder = WorkbookSession::folderOf(fileName);

    m_session.open(fileName, settings().ReadOnly == 1);
    refillSheets();
    // A new workbook: its sheet must be chosen before anything is read.
    m_sheetCurrent = false;
    ShowStep(2);
    // No message box interrupts the steps: in place of step 2's prompt, the
    // status line says why the sheet list is empty.
    if (!m_session.failure().isEmpty())
        m_status->showMessage(m_session.failure());
    raise();
    activateWindow();
}

void ImportWizard::showColumnHints()
{
    // Read once per sheet chosen: the page's IDs and the sheet's 26 columns.
    QVector<TransferCheck::ColumnCount> found(26);
    int students = 0;
    bool known = false;
    const auto &app = m_session.ExcelApp();
    if (m_browser && app) {
        const FormSnapshot page = m_browser->snapshotForm(GradePageNames::contentFrame, GradePageNames::scoreForm);
        const auto form = page.ok() ? GradeForm::collect(page.elements) : std::nullopt;
        QVector<int> letters;
        for (int c = 1; c <= 26; ++c)
            letters << c;
        const auto columns = form ? app->readColumns(m_sheetIndex, letters) : std::nullopt;
        if (columns) {
            students = static_cast<int>(form->studentIds().size());
            found = TransferCheck::studentsPerColumn(form->studentIds(), *columns);
            known = true;
        }
    }
    for (int c = 1; c <= 26 && c < m_combo2->count(); ++c) {
        const QString letter = m_combo2->itemText(c);
        m_combo2->setItemData(c, known ? TransferCheck::hint(letter, found[c - 1], students) : QVariant(), Qt::ToolTipRole);
        // Columns without any ID of the page are greyed, not hidden: the letters stay as they are.
        m_combo2->setItemData(c, known && found[c - 1].found == 0 ? QVariant(QColor(Qt::gray)) : QVariant(), Qt::ForegroundRole);
    }
}

void ImportWizard::refillSheets()
{
    const QStringList names = m_session.sheetNames();
    const QSignalBlocker quiet(m_combo1); // refilling is not a choice
    m_combo1->clear();
    m_combo1->addItem(sheetPrompt());
    for (int i = 0; i < names.size(); ++i)
        m_combo1->addItem(names[i], i + 1);
    m_combo1->setCurrentIndex(-1);
}

void ImportWizard::Command5_Click() { transfer(false); }

void ImportWizard::cmdPreview_Click() { transfer(true); }

void ImportWizard::transfer(bool preview)
{
    TransferRun run(this, m_browser, m_session, {m_sheetIndex, m_sheetName, m_idColumn, m_scoreColumn},
                    [this](const QString &text) { m_status->showMessage(text); });
    run.setLateWriteAskMs(m_lateWriteAskMs);
    const TransferRun::Next next = run.run(preview);
    if (!run.undo().isEmpty())
        m_lastTransfer = run.undo();
    switch (next) {
    case TransferRun::Next::Close:
        Command1_Click();
        break;
    case TransferRun::Next::ChooseSheet:
        refillSheets();
        m_sheetCurrent = false;
        ShowStep(2);
        break;
    case TransferRun::Next::Columns:
        ShowStep(5);
        break;
    }
}

} // namespace tallyra
