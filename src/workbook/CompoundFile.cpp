#include "workbook/CompoundFile.h"

#include "workbook/ReaderSupport.h"

#include <algorithm>

namespace tallyra::WorkbookReader {

namespace {

constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFree = 0xFFFFFFFF;
constexpr qsizetype kMiniSector = 64;
constexpr qsizetype kEntrySize = 128;


} // namespace

CompoundFile::CompoundFile(QByteArrayView bytes) : m_bytes(bytes)
{
    if (bytes.size() < 512 || !bytes.startsWith(QByteArrayView("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)))
        refuse(ReadFailure::Damaged);
    const quint16 major = u16At(bytes, 0x1A);
    const quint16 shift = u16At(bytes, 0x1E);
    if (!((major == 3 && shift == 9) || (major == 4 && shift == 12)) || u16At(bytes, 0x20) != 6)
        refuse(ReadFailure::Damaged);
    m_sectorSize = qsizetype(1) << shift;
    if (bytes.size() <= m_sectorSize)
        refuse(ReadFailure::Damaged);
    // A last sector cut short still counts; what lies past the end is missing.
    m_sectorCount = quint64((bytes.size() - m_sectorSize + m_sectorSize - 1) / m_sectorSize);

    // The FAT's own sectors: 109 named in the header, the rest in the DIFAT
    // chain. The header's counts are not trusted, only the chains.
    std::vector<quint32> fatSectors;
    for (int i = 0; i < 109; ++i)
        if (const quint32 s = u32At(bytes, 0x4C + 4 * i); s != kFree)
            fatSectors.push_back(s);
    const qsizetype perSector = m_sectorSize / 4;
    quint32 difat = u32At(bytes, 0x44);
    for (quint64 hops = 0; difat != kEndOfChain && difat != kFree; ++hops) {
        if (difat >= m_sectorCount || hops > m_sectorCount)
            refuse(ReadFailure::Damaged);
        const qsizetype at = (qsizetype(difat) + 1) * m_sectorSize;
        if (at + m_sectorSize > bytes.size())
            refuse(ReadFailure::Damaged);
        for (qsizetype i = 0; i + 1 < perSector; ++i)
            if (const quint32 s = u32At(bytes, at + 4 * i); s != kFree)
                fatSectors.push_back(s);
        difat = u32At(bytes, at + 4 * (perSector - 1));
    }
    if (fatSectors.empty() || fatSectors.size() > m_sectorCount)
        refuse(ReadFailure::Damaged);
    m_fat.reserve(fatSectors.size() * size_t(perSector));
    for (const quint32 s : fatSectors) {
        const qsizetype at = (qsizetype(s) + 1) * m_sectorSize;
        if (s >= m_sectorCount || at + m_sectorSize > bytes.size())
            refuse(ReadFailure::Damaged);
        for (qsizetype i = 0; i < perSector; ++i)
            m_fat.push_back(u32At(bytes, at + 4 * i));
    }

    // The directory, its root first.
    const QByteArray directory = sectors(chain(u32At(bytes, 0x30), m_fat, m_sectorCount));
    for (qsizetype at = 0; at + kEntrySize <= directory.size(); at += kEntrySize) {
        const QByteArrayView e = QByteArrayView(directory).sliced(at, kEntrySize);
        Entry entry;
        const qsizetype nameBytes = std::min<qsizetype>(u16At(e, 64), 64);
        for (qsizetype i = 0; i + 1 < nameBytes - 1; i += 2)
            entry.name += QChar(u16At(e, i));
        entry.type = quint8(e[66]);
        entry.left = u32At(e, 68);
        entry.right = u32At(e, 72);
        entry.child = u32At(e, 76);
        entry.start = u32At(e, 116);
        entry.size = major == 3 ? u32At(e, 120) : (u32At(e, 120) | quint64(u32At(e, 124)) << 32);
        m_entries.push_back(entry);
    }
    if (m_entries.empty() || m_entries.front().type != 5)
        refuse(ReadFailure::Damaged);

    // The small streams live in the root's stream, in 64-byte sectors.
    const Entry &root = m_entries.front();
    m_miniStream = sectors(chain(root.start, m_fat, m_sectorCount));
    m_miniStream.truncate(qsizetype(std::min<quint64>(root.size, quint64(m_miniStream.size()))));
    const quint32 miniFatStart = u32At(bytes, 0x3C);
    if (miniFatStart != kEndOfChain && miniFatStart != kFree) {
        const QByteArray miniFat = sectors(chain(miniFatStart, m_fat, m_sectorCount));
        for (qsizetype at = 0; at + 4 <= miniFat.size(); at += 4)
            m_miniFat.push_back(u32At(miniFat, at));
    }

    // The root's own children: a tree of siblings under its child.
    std::vector<quint32> pending{root.child};
    std::vector<bool> seen(m_entries.size(), false);
    while (!pending.empty()) {
        const quint32 id = pending.back();
        pending.pop_back();
        if (id >= m_entries.size() || seen[id])
            continue;
        seen[id] = true;
        const Entry &entry = m_entries[id];
        if (entry.type == 2)
            m_rootStreams.push_back(id);
        pending.push_back(entry.left);
        pending.push_back(entry.right);
    }
    std::sort(m_rootStreams.begin(), m_rootStreams.end());
}

std::vector<QString> CompoundFile::streamNames() const
{
    std::vector<QString> names;
    for (const quint32 id : m_rootStreams)
        names.push_back(m_entries[id].name);
    return names;
}

std::optional<QByteArray> CompoundFile::stream(const QString &name) const
{
    for (const quint32 id : m_rootStreams) {
        const Entry &entry = m_entries[id];
        if (entry.name != name)
            continue;
        if (entry.size > quint64(limits::kPartBytes))
            refuse(ReadFailure::TooLarge);
        const qsizetype size = qsizetype(entry.size);
        QByteArray data;
        if (size == 0)
            return data;
        if (entry.size < m_cutoff) {
            const std::vector<quint32> miniSectors = chain(entry.start, m_miniFat, m_miniFat.size());
            for (size_t i = 0; i < miniSectors.size(); ++i) {
                const qsizetype at = qsizetype(miniSectors[i]) * kMiniSector;
                if (at >= m_miniStream.size())
                    refuse(ReadFailure::Damaged);
                const qsizetype here = std::min(kMiniSector, m_miniStream.size() - at);
                if (here < kMiniSector && i + 1 < miniSectors.size())
                    refuse(ReadFailure::Damaged);
                data.append(m_miniStream.constData() + at, here);
            }
        } else {
            data = sectors(chain(entry.start, m_fat, m_sectorCount));
        }
        if (data.size() < size)
            refuse(ReadFailure::Damaged); // cut short: never a stream in part
        data.truncate(size);
        return data;
    }
    return std::nullopt;
}

// The sectors of a chain in order, up to its end; a chain that leaves the
// table, loops or names no sector is damaged.
std::vector<quint32> CompoundFile::chain(quint32 start, const std::vector<quint32> &table, quint64 limit) const
{
    std::vector<quint32> out;
    for (quint32 s = start; s != kEndOfChain; s = table[s]) {
        if (s >= table.size() || out.size() >= limit)
            refuse(ReadFailure::Damaged);
        out.push_back(s);
    }
    return out;
}

QByteArray CompoundFile::sectors(const std::vector<quint32> &chain) const
{
    QByteArray out;
    out.reserve(qsizetype(chain.size()) * m_sectorSize);
    for (size_t i = 0; i < chain.size(); ++i) {
        if (chain[i] >= m_sectorCount)
            refuse(ReadFailure::Damaged);
        const qsizetype at = (qsizetype(chain[i]) + 1) * m_sectorSize;
        const qsizetype here = std::min(m_sectorSize, m_bytes.size() - at);
        if (here < m_sectorSize && i + 1 < chain.size())
            refuse(ReadFailure::Damaged); // the file's cut-off last sector, in mid-chain
        out.append(m_bytes.data() + at, here);
    }
    return out;
}

} // namespace tallyra::WorkbookReader
