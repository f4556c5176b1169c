#pragma once

// The top-level streams of an OLE2 compound file, found by following its
// allocation chains alone. libgsf reads the workbooks it accepts; this
// reads those it refuses over a header whose counts disagree with the
// chains, as Calc does (some .xls writers get the counts wrong). A chain
// that is cut, loops or leaves the file is refused: no stream is ever
// read in part.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

namespace tallyra::WorkbookReader {

class CompoundFile {
public:
    // Refuses (ReadFailure::Damaged) a file whose header or directory
    // cannot be followed.
    explicit CompoundFile(QByteArrayView bytes);

    // The names of the root storage's streams, in directory order.
    std::vector<QString> streamNames() const;
    // A stream of the root storage by its name; refuses one whose chain is
    // damaged, and nothing when there is no such stream.
    std::optional<QByteArray> stream(const QString &name) const;

private:
    struct Entry {
        QString name;
        quint8 type = 0; // 1 storage, 2 stream, 5 root
        quint32 left = 0, right = 0, child = 0;
        quint32 start = 0;
        quint64 size = 0;
    };

    std::vector<quint32> chain(quint32 start, const std::vector<quint32> &table, quint64 limit) const;
    QByteArray sectors(const std::vector<quint32> &chain) const;

    QByteArrayView m_bytes;
    qsizetype m_sectorSize = 512;
    quint64 m_sectorCount = 0;
    quint32 m_cutoff = 4096;
    std::vector<quint32> m_fat;
    std::vector<quint32> m_miniFat;
    QByteArray m_miniStream;
    std::vector<Entry> m_entries;
    std::vector<quint32> m_rootStreams; // directory ids of the root's streams
};

} // namespace tallyra::WorkbookReader
