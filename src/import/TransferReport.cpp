#include "import/TransferReport.h"

#include <QDate>
#include <QFile>
#include <QLocale>

namespace tallyra {

TransferReport::TransferReport(QString path)
    : m_path(std::move(path))
{
}

bool TransferReport::write(const QStringList &lines, bool replace)
{
    QFile file(m_path);
    const QIODevice::OpenMode mode = replace ? QIODevice::WriteOnly | QIODevice::Truncate : QIODevice::Append;
    if (!file.open(mode)) {
        m_written = false;
        return false;
    }
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + "\r\n";
    const bool ok = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!ok)
        m_written = false;
    return ok;
}

void TransferReport::RecordAnomaly(AnomalyKind kind, const QString &id)
{
    ++m_anomalies;
    QStringList lines;
    if (m_anomalies == 1)
        lines << QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat) << anomalyHeader();
    lines << ScoreRules::anomalyLine(kind, id);
    write(lines, m_anomalies == 1);
}

void TransferReport::writeBorderlineSection(const QStringList &notes)
{
    QStringList lines;
    if (m_anomalies > 0)
        lines << QString() << QString() << QString() << QString();
    lines << borderlineHeader() << notes << QString();
    write(lines, m_anomalies == 0);
}

} // namespace tallyra
