#include "platform/workbook/EmbeddedSpreadsheet.h"

#include "platform/workbook/WorkbookWindow.h"

#include <QFileInfo>
#include <QTimer>

namespace tallyra {

namespace {
// What keeps a started instance alive after the wizard lets go of it.
std::vector<std::shared_ptr<EmbeddedSpreadsheet>> &registry()
{
    static std::vector<std::shared_ptr<EmbeddedSpreadsheet>> instances;
    return instances;
}
} // namespace

std::shared_ptr<Spreadsheet> EmbeddedSpreadsheet::start()
{
    std::shared_ptr<EmbeddedSpreadsheet> instance(new EmbeddedSpreadsheet);
    registry().push_back(instance);
    return instance;
}

std::vector<std::shared_ptr<EmbeddedSpreadsheet>> EmbeddedSpreadsheet::running() { return registry(); }

EmbeddedSpreadsheet::~EmbeddedSpreadsheet()
{
    if (m_window)
        m_window->deleteLater();
}

WorkbookWindow *EmbeddedSpreadsheet::window() const { return m_window; }

bool EmbeddedSpreadsheet::setVisible(bool visible)
{
    if (!m_running)
        return false;
    if (!m_window) {
        m_window = new WorkbookWindow();
        // Closing the window ends this instance, as closing the application would.
        connect(m_window, &WorkbookWindow::closedByUser, this, [this] { end(); });
        // The teacher may switch sheets in the window; the active sheet follows.
        connect(m_window, &WorkbookWindow::activeSheetChanged, this, [this](int index) {
            if (active() && index < static_cast<int>(active()->workbook->sheets.size()))
                m_workbooks[static_cast<size_t>(m_active)].activeSheet = index;
        });
        showActive();
    }
    m_window->setVisible(visible);
    if (visible)
        m_window->raise();
    return true;
}

bool EmbeddedSpreadsheet::open(const QString &path, bool readOnly)
{
    if (!m_running)
        return false;
    const QFileInfo file(path);
    ReadFailure failure = ReadFailure::None;
    auto workbook = WorkbookReader::read(path, &failure);
    if (!workbook) {
        m_openFailure = WorkbookReader::failureText(failure);
        if (m_window)
            m_window->showFailure(file.fileName(), m_openFailure);
        return false;
    }
    m_openFailure.clear();
    m_workbooks.push_back({path, readOnly, std::make_shared<const Workbook>(std::move(*workbook)), 0, file.size(),
                           file.lastModified()});
    m_active = static_cast<int>(m_workbooks.size()) - 1;
    showActive();
    return true;
}

bool EmbeddedSpreadsheet::activateWorkbook(int number)
{
    if (!m_running || number < 1 || number > static_cast<int>(m_workbooks.size()))
        return false;
    m_active = number - 1;
    showActive();
    return true;
}

const EmbeddedSpreadsheet::OpenWorkbook *EmbeddedSpreadsheet::active() const
{
    if (!m_running || m_active < 0 || m_active >= static_cast<int>(m_workbooks.size()))
        return nullptr;
    return &m_workbooks[static_cast<size_t>(m_active)];
}

const WorkbookSheet *EmbeddedSpreadsheet::activeSheet() const
{
    const OpenWorkbook *wb = active();
    if (!wb || wb->activeSheet >= static_cast<int>(wb->workbook->sheets.size()))
        return nullptr;
    return &wb->workbook->sheets[static_cast<size_t>(wb->activeSheet)];
}

bool EmbeddedSpreadsheet::isReadOnly() const
{
    const OpenWorkbook *wb = active();
    return wb && wb->readOnly;
}

std::optional<int> EmbeddedSpreadsheet::sheetCount() const
{
    const OpenWorkbook *wb = active();
    if (!wb)
        return std::nullopt;
    return static_cast<int>(wb->workbook->sheets.size());
}

std::optional<QString> EmbeddedSpreadsheet::sheetName(int number) const
{
    const OpenWorkbook *wb = active();
    if (!wb || number < 1 || number > static_cast<int>(wb->workbook->sheets.size()))
        return std::nullopt;
    return wb->workbook->sheets[static_cast<size_t>(number - 1)].name;
}

bool EmbeddedSpreadsheet::activateSheet(int number)
{
    if (!active() || number < 1 || number > static_cast<int>(active()->workbook->sheets.size()))
        return false;
    m_workbooks[static_cast<size_t>(m_active)].activeSheet = number - 1;
    if (m_window)
        m_window->setActiveSheet(number - 1);
    return true;
}

std::optional<QVector<int>> EmbeddedSpreadsheet::findInColumn(int column, const QString &text) const
{
    const WorkbookSheet *sheet = activeSheet();
    if (!sheet || column < 1)
        return std::nullopt;
    // A transfer searches the same column once per student: index it once.
    if (m_index.sheet != sheet || m_index.column != column) {
        m_index = {sheet, column, {}};
        for (int r = 0; r < sheet->rowCount(); ++r) {
            if (const CellValue *value = sheet->at(r, column - 1))
                m_index.rows.add(r + 1, active()->workbook->shown(*value));
        }
    }
    return m_index.rows.find(text);
}

std::optional<CellValue> EmbeddedSpreadsheet::cell(int row, int column) const
{
    const WorkbookSheet *sheet = activeSheet();
    if (!sheet || row < 1 || column < 1)
        return std::nullopt;
    const CellValue *value = sheet->at(row - 1, column - 1);
    return value ? active()->workbook->shown(*value) : CellValue();
}

std::optional<QVector<QVector<CellValue>>> EmbeddedSpreadsheet::readColumns(int sheet, const QVector<int> &columns) const
{
    const OpenWorkbook *wb = active();
    if (!wb || sheet < 1 || sheet > static_cast<int>(wb->workbook->sheets.size()))
        return std::nullopt;
    const WorkbookSheet &source = wb->workbook->sheets[static_cast<size_t>(sheet - 1)];
    QVector<QVector<CellValue>> result;
    for (int column : columns) {
        if (column < 1)
            return std::nullopt;
        QVector<CellValue> cells(source.rowCount());
        for (int r = 0; r < source.rowCount(); ++r) {
            if (const CellValue *value = source.at(r, column - 1))
                cells[r] = wb->workbook->shown(*value);
        }
        result.push_back(std::move(cells));
    }
    return result;
}

Spreadsheet::FileState EmbeddedSpreadsheet::reloadIfChanged()
{
    if (!active())
        return FileState::Unreadable;
    OpenWorkbook &wb = m_workbooks[static_cast<size_t>(m_active)];
    const QFileInfo file(wb.path);
    // A file moved away leaves what the window shows as the gradebook.
    if (!file.exists() || (file.size() == wb.size && file.lastModified() == wb.modified))
        return FileState::Unchanged;
    auto workbook = WorkbookReader::read(wb.path);
    if (!workbook)
        return FileState::Unreadable;
    wb.workbook = std::make_shared<const Workbook>(std::move(*workbook));
    wb.size = file.size();
    wb.modified = file.lastModified();
    if (wb.activeSheet >= static_cast<int>(wb.workbook->sheets.size()))
        wb.activeSheet = 0;
    showActive();
    return FileState::Reloaded;
}

std::optional<int> EmbeddedSpreadsheet::otherDocumentCount() const
{
    if (!m_running)
        return std::nullopt;
    return std::max(0, static_cast<int>(m_workbooks.size()) - 1);
}

std::optional<bool> EmbeddedSpreadsheet::hasUnsavedChanges() const
{
    // The window only shows the workbook; nothing can change it.
    if (!active())
        return std::nullopt;
    return false;
}

bool EmbeddedSpreadsheet::closeActiveWorkbook()
{
    if (!active())
        return false;
    m_workbooks.erase(m_workbooks.begin() + m_active);
    m_active = m_workbooks.empty() ? -1 : 0;
    showActive();
    return true;
}

bool EmbeddedSpreadsheet::quit()
{
    if (!m_running)
        return false;
    end();
    return true;
}

void EmbeddedSpreadsheet::end()
{
    if (!m_running)
        return;
    m_running = false;
    m_index = {};
    m_workbooks.clear();
    m_active = -1;
    if (m_window) {
        m_window->close();
        m_window->deleteLater();
    }
    // Dropping the registry's reference may destroy this object: do it last.
    auto &instances = registry();
    const auto self = std::find_if(instances.begin(), instances.end(), [this](const auto &p) { return p.get() == this; });
    if (self != instances.end()) {
        // Released from the event loop, never inside our own call or signal.
        QTimer::singleShot(0, [keep = *self] {});
        instances.erase(self);
    }
}

void EmbeddedSpreadsheet::showActive()
{
    m_index = {};
    if (!m_window)
        return;
    const OpenWorkbook *wb = active();
    if (!wb) {
        m_window->showWorkbook({}, {}, false);
        return;
    }
    m_window->showWorkbook(QFileInfo(wb->path).fileName(), wb->workbook, wb->readOnly);
    m_window->setActiveSheet(wb->activeSheet);
}

} // namespace tallyra
