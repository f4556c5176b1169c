#include "dialogs/JournalWindow.h"

#include "platform/Fonts.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace tallyra {

JournalWindow::JournalWindow(const QString &journalPath, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmJournal"));
    setWindowTitle(QStringLiteral("輸入紀錄"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(900, 560);

    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("lblState"));
    m_state->setWordWrap(true);
    m_state->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstTransfers"));

    m_details = new QPlainTextEdit(this);
    m_details->setObjectName(QStringLiteral("txtDetails"));
    m_details->setReadOnly(true);

    m_students = new QTableWidget(0, 3, this);
    m_students->setObjectName(QStringLiteral("tblStudents"));
    m_students->setHorizontalHeaderLabels({QStringLiteral("學號"), QStringLiteral("輸入前"), QStringLiteral("寫入")});
    m_students->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_students->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_students->verticalHeader()->hide();
    m_students->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);

    auto *right = new QSplitter(Qt::Vertical, this);
    right->addWidget(m_details);
    right->addWidget(m_students);
    auto *split = new QSplitter(Qt::Horizontal, this);
    split->setObjectName(QStringLiteral("splJournal"));
    split->addWidget(m_list);
    split->addWidget(right);
    split->setSizes({430, 470});

    auto *close = new QPushButton(QStringLiteral("關閉"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_state, 1);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);

    const TransferJournal journal(journalPath);
    const TransferJournal::Contents contents = journal.load();
    m_entries = contents.entries;
    std::reverse(m_entries.begin(), m_entries.end());
    for (const JournalEntry &entry : m_entries)
        m_list->addItem(TransferJournal::summary(entry));
    const QString where = QDir::toNativeSeparators(journalPath);
    if (contents.damaged)
        m_state->setText(QStringLiteral("輸入紀錄檔 %1 已經損壞，無法讀取；下次輸入成績時會另存為 .damaged 檔並重新開始記錄。").arg(where));
    else if (m_entries.isEmpty())
        m_state->setText(QStringLiteral("還沒有輸入紀錄。"));
    else
        m_state->setText(QStringLiteral("共 %1 次輸入，紀錄檔：%2").arg(m_entries.size()).arg(where));

    connect(m_list, &QListWidget::currentRowChanged, this, &JournalWindow::showTransfer);
    if (!m_entries.isEmpty())
        m_list->setCurrentRow(0);
}

void JournalWindow::showTransfer(int row)
{
    m_students->setRowCount(0);
    if (row < 0 || row >= m_entries.size()) {
        m_details->clear();
        return;
    }
    const JournalEntry &entry = m_entries[row];
    m_details->setPlainText(TransferJournal::details(entry));
    m_students->setRowCount(int(entry.students.size()));
    for (int i = 0; i < entry.students.size(); ++i) {
        const auto &s = entry.students[i];
        m_students->setItem(i, 0, new QTableWidgetItem(s.id));
        m_students->setItem(i, 1, new QTableWidgetItem(s.before));
        m_students->setItem(i, 2, new QTableWidgetItem(s.written.isEmpty() ? QStringLiteral("(清空)") : s.written));
    }
}

} // namespace tallyra
