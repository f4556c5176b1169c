#include "import/WorkbookSession.h"

namespace tallyra {

QString WorkbookSession::folderOf(const QString &fileName)
{
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : fileName.left(slash + 1);
}

void WorkbookSession::startAhead()
{
    if (!m_ahead)
        m_ahead = Spreadsheet::startAhead();
}

QStringList WorkbookSession::open(const QString &fileName, bool readOnly)
{
    m_app.reset();
    m_failure.clear();
    m_fileName = fileName;
    if (m_ahead) {
        const auto ahead = std::move(m_ahead);
        m_app = ahead->take();
    } else {
        m_app = Spreadsheet::start();
    }
    if (!m_app)
        return {};
    m_app->setVisible(true);
    if (!m_app->open(fileName, readOnly))
        m_failure = m_app->openFailure();
    m_app->activateWorkbook(1);
    return sheetNames();
}

QStringList WorkbookSession::sheetNames() const
{
    QStringList names;
    if (!m_app)
        return names;
    const int count = m_app->sheetCount().value_or(0);
    for (int i = 1; i <= count; ++i)
        names << m_app->sheetName(i).value_or(QString());
    return names;
}

bool WorkbookSession::activateSheet(int number) { return m_app && m_app->activateSheet(number); }

} // namespace tallyra
