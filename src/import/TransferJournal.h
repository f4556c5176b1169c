#pragma once

#include <QDateTime>
#include <QString>
#include <QVector>

#include <optional>

namespace tallyra {

// One transfer that landed on a page, as the journal keeps it.
struct JournalEntry {
    struct Student {
        QString id;
        QString written; // "" when the field was emptied
        QString before;  // what the field held when the page was read
        bool operator==(const Student &) const = default;
    };
    QDateTime when;
    QString pageUrl;
    QString pageTitle;
    QString gradebook; // the file's path
    QString sheet;
    QString idColumn;    // "B"
    QString scoreColumn; // "E"
    int written = 0;     // fields given a score
    int emptied = 0;     // fields emptied for want of a usable score
    int anomalies = 0;
    int borderline = 0;
    QString report; // the report's text, "" when it had nothing to say
    QVector<Student> students;

    bool operator==(const JournalEntry &) const = default;
};

// transfers.tsv: the last kMaxTransfers transfers, oldest first. Each
// transfer is a "T" line followed by one "S" line per student; tabs, line
// breaks and backslashes inside a value are written as \t, \n, \r and \\.
// The file is only ever replaced whole, so a crash leaves the old one.
class TransferJournal {
public:
    static constexpr int kMaxTransfers = 500;

    explicit TransferJournal(QString path);
    const QString &path() const { return m_path; }

    struct Contents {
        QVector<JournalEntry> entries; // oldest first
        bool damaged = false;          // present but not readable as a journal
    };
    Contents load() const;

    // Adds `entry`, dropping the oldest beyond the cap. A damaged journal is
    // moved aside (see damagedPath) and a new one started. False when the
    // journal could not be written; the earlier file is then as it was.
    bool append(const JournalEntry &entry);
    // Where a damaged journal was moved by the last append; "" when none was.
    const QString &movedAside() const { return m_movedAside; }

    static QByteArray serialize(const QVector<JournalEntry> &entries);
    // Empty when `bytes` is not a journal.
    static std::optional<QVector<JournalEntry>> parse(const QByteArray &bytes);

    // The window's texts for one transfer.
    static QString summary(const JournalEntry &entry);
    static QString details(const JournalEntry &entry);

private:
    QString freeDamagedPath() const;

    QString m_path;
    QString m_movedAside;
};

} // namespace tallyra
