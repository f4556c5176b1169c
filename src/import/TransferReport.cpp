#include "import/TransferReport.h"

#include <QDate>
#include <QLocale>
#include <QSaveFile>

namespace tallyra {

TransferReport::TransferReport(QString path)
    : m_path(std::move(path))
{
}

void TransferReport::RecordAnomaly(AnomalyKind kind, const QString &id) { m_anomalies << ScoreRules::anomalyLine(kind, id); }

QStringList TransferReport::lines(const QStringList &notes) const
{
    QStringList lines;
    if (m_anomalies.isEmpty() && notes.isEmpty())
        return lines;
    if (!m_anomalies.isEmpty())
        lines << QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat) << anomalyHeader() << m_anomalies;
    if (!m_anomalies.isEmpty() && !notes.isEmpty())
        lines << QString() << QString() << QString() << QString();
    if (!notes.isEmpty())
        lines << borderlineHeader() << notes << QString();
    return lines;
}

QString TransferReport::text(const QStringList &notes) const { return lines(notes).join(QLatin1Char('\n')); }

bool TransferReport::save(const QStringList &notes)
{
    if (m_anomalies.isEmpty() && notes.isEmpty())
        return true;
    QByteArray bytes;
    for (const QString &line : lines(notes))
        bytes += line.toUtf8() + "\r\n";
    // Whole or not at all: the earlier report stays until this one is complete.
    QSaveFile file(m_path);
    file.setDirectWriteFallback(true); // a folder we may not create in, a file we may write
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace tallyra
