#include "import/PreviewDialog.h"

#include "platform/Fonts.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tallyra {

namespace {
const QColor kAnomaly(255, 200, 200);
const QColor kNote(255, 255, 170);
const QColor kChanged(225, 240, 255);
} // namespace

PreviewDialog::PreviewDialog(const TransferPreview &preview, const QString &warning, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("預覽輸入成績"));
    setFont(Fonts::ming(10.5));
    auto *layout = new QVBoxLayout(this);

    if (!warning.isEmpty()) {
        auto *check = new QLabel(warning, this);
        check->setObjectName(QStringLiteral("lblCheck"));
        check->setWordWrap(true);
        check->setStyleSheet(QStringLiteral("QLabel { color: #a00000; background: #fff0f0; border: 1px solid #d08080;"
                                            " padding: 6px; font-weight: bold; }"));
        layout->addWidget(check);
    }
    auto *summary = new QLabel(preview.summary() + QStringLiteral("（● 表示網頁上的值會改變）"), this);
    summary->setObjectName(QStringLiteral("lblSummary"));
    layout->addWidget(summary);

    const QStringList headers = {QStringLiteral(""), QStringLiteral("學號"), QStringLiteral("成績冊"),
                                 QStringLiteral("將輸入"), QStringLiteral("網頁目前"), QStringLiteral("結果")};
    m_table = new QTableWidget(static_cast<int>(preview.rows.size()), static_cast<int>(headers.size()), this);
    m_table->setObjectName(QStringLiteral("tblPreview"));
    m_table->setHorizontalHeaderLabels(headers);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    for (int r = 0; r < preview.rows.size(); ++r) {
        const TransferPreview::Row &row = preview.rows[r];
        const QString cells[] = {row.changes ? QStringLiteral("●") : QString(), row.id, row.gradebook,
                                 row.hasField ? row.written : QStringLiteral("（無欄位）"), row.current, row.outcome};
        for (int c = 0; c < 6; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (row.changes) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
                item->setBackground(kChanged);
            }
            if (c == 5 && !row.outcome.isEmpty())
                item->setBackground(row.anomaly ? kAnomaly : kNote);
            m_table->setItem(r, c, item);
        }
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table, 1);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *confirm = buttons->addButton(QStringLiteral("確定輸入"), QDialogButtonBox::AcceptRole);
    confirm->setObjectName(QStringLiteral("cmdConfirm"));
    QPushButton *cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    // Only a deliberate click writes: Enter does not.
    confirm->setAutoDefault(false);
    cancel->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    resize(900, 620);
}

namespace PreviewDialogs {

namespace {
Handler &handlerSlot()
{
    static Handler handler;
    return handler;
}
} // namespace

int show(PreviewDialog &dialog)
{
    if (const auto &handler = handlerSlot())
        return handler(dialog);
    return dialog.exec();
}

void setHandler(Handler handler) { handlerSlot() = std::move(handler); }

} // namespace PreviewDialogs

} // namespace tallyra
