#pragma once

#include "import/ScoreRules.h"

#include <QString>
#include <QStringList>

namespace tallyra {

// The report file of one transfer. The first anomaly replaces the file of an
// earlier transfer; every line is on disk as soon as it is recorded.
class TransferReport {
public:
    explicit TransferReport(QString path);

    const QString &path() const { return m_path; }
    int anomalyCount() const { return m_anomalies; }
    // False once any write of this transfer failed.
    bool written() const { return m_written; }

    void RecordAnomaly(AnomalyKind kind, const QString &id);

    // The notes section, after four empty lines when anomalies came first;
    // otherwise it starts a new file.
    void writeBorderlineSection(const QStringList &notes);

    static QString anomalyHeader() { return QStringLiteral("==== Quillo: 成績輸入異常狀況回報 ===="); }
    static QString borderlineHeader() { return QStringLiteral("==== Quillo: 提醒您注意以下成績 ===="); }

private:
    bool write(const QStringList &lines, bool replace);

    QString m_path;
    int m_anomalies = 0;
    bool m_written = true;
};

} // namespace tallyra
