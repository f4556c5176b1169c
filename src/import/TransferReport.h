#pragma once

#include "import/ScoreRules.h"

#include <QString>
#include <QStringList>

namespace tallyra {

// The report file of one transfer, gathered while the transfer runs and
// written once its write has landed on the page and been read back, so that
// a write that never landed leaves the earlier report as it was. It replaces
// that report when there is anything to say.
class TransferReport {
public:
    explicit TransferReport(QString path);

    const QString &path() const { return m_path; }
    int anomalyCount() const { return static_cast<int>(m_anomalies.size()); }

    void RecordAnomaly(AnomalyKind kind, const QString &id);

    // The file: the anomaly section, four empty lines when both are there,
    // then the borderline notes. Nothing is written, and the earlier file
    // stays, when there is neither. False when the file could not be written.
    bool save(const QStringList &notes);
    // What save writes, with "\n" line breaks; "" when it writes nothing.
    QString text(const QStringList &notes) const;

    static QString anomalyHeader() { return QStringLiteral("==== Quillo: 成績輸入異常狀況回報 ===="); }
    static QString borderlineHeader() { return QStringLiteral("==== Quillo: 提醒您注意以下成績 ===="); }

private:
    QStringList lines(const QStringList &notes) const;

    QString m_path;
    QStringList m_anomalies;
};

} // namespace tallyra
