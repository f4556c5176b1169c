#include "platform/workbook/WorkbookWindow.h"

#include "core/AppIcon.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace tallyra {

namespace {
// Show an empty grid around small sheets, as a spreadsheet does.
constexpr int kMinimumRows = 60;
constexpr int kMinimumColumns = 26;
} // namespace

SheetModel::SheetModel(std::shared_ptr<const Workbook> workbook, int sheet, QObject *parent)
    : QAbstractTableModel(parent), m_workbook(std::move(workbook)), m_sheet(sheet)
{
}

const WorkbookSheet &SheetModel::sheet() const { return m_workbook->sheets[static_cast<size_t>(m_sheet)]; }

int SheetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : std::max(sheet().rowCount(), kMinimumRows);
}

int SheetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : std::max(sheet().columnCount, kMinimumColumns);
}

QVariant SheetModel::data(const QModelIndex &index, int role) const
{
    const CellValue *value = sheet().at(index.row(), index.column());
    if (!value || value->isEmpty())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        // As the transfer's preview names the cell: 091001, 85%, 2026-06-30.
        return m_workbook->shown(*value).shownText();
    case Qt::TextAlignmentRole:
        if (value->kind == CellValue::Kind::Text)
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        if (value->kind == CellValue::Kind::Number)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignCenter);
    default:
        return {};
    }
}

QVariant SheetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    return orientation == Qt::Horizontal ? columnLetters(section) : QString::number(section + 1);
}

QString SheetModel::columnLetters(int column)
{
    QString letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters;
}

WorkbookWindow::WorkbookWindow()
    : QWidget(nullptr, Qt::Window)
{
    setObjectName(QStringLiteral("WorkbookWindow"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowIcon(AppIcon::icon());
    resize(720, 480);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("sheets"));
    m_tabs->setTabPosition(QTabWidget::South);
    m_tabs->setDocumentMode(true);
    layout->addWidget(m_tabs);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0)
            emit activeSheetChanged(index);
    });
    auto *status = new QStatusBar(this);
    m_mode = new QLabel(status);
    status->addWidget(m_mode);
    layout->addWidget(status);
}

void WorkbookWindow::showWorkbook(const QString &fileName, std::shared_ptr<const Workbook> workbook, bool readOnly)
{
    while (m_tabs->count() > 0) {
        QWidget *page = m_tabs->widget(0);
        m_tabs->removeTab(0);
        page->deleteLater();
    }
    setWindowTitle(fileName.isEmpty() ? QStringLiteral("Tallyra 成績冊") : fileName);
    m_mode->setText(!workbook ? QString() : readOnly ? QStringLiteral("唯讀模式") : QStringLiteral("編輯模式（本視窗僅供檢視）"));
    if (!workbook)
        return;
    for (size_t i = 0; i < workbook->sheets.size(); ++i) {
        auto *view = new QTableView(m_tabs);
        view->setModel(new SheetModel(workbook, static_cast<int>(i), view));
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->horizontalHeader()->setDefaultSectionSize(72);
        view->verticalHeader()->setDefaultSectionSize(22);
        view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        m_tabs->addTab(view, workbook->sheets[i].name);
    }
}

void WorkbookWindow::showFailure(const QString &fileName, const QString &reason)
{
    showWorkbook(fileName, nullptr, true);
    m_mode->setText(reason);
}

QString WorkbookWindow::statusText() const { return m_mode->text(); }

void WorkbookWindow::setActiveSheet(int index)
{
    if (index >= 0 && index < m_tabs->count())
        m_tabs->setCurrentIndex(index);
}

int WorkbookWindow::activeSheet() const { return m_tabs->currentIndex(); }

void WorkbookWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    emit closedByUser();
}

} // namespace tallyra
