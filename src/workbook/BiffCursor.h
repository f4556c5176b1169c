#pragma once

// Reading BIFF records: a cursor over a record's bytes, continued over its
// CONTINUE records, that checks every length against what remains.
#include "workbook/ReaderSupport.h"

#include <QByteArrayView>

#include <cstring>
#include <vector>

namespace tallyra::WorkbookReader {

class BiffCursor {
public:
    // A record's own bytes first, then those of each CONTINUE after it.
    explicit BiffCursor(std::vector<QByteArrayView> segments) : m_segments(std::move(segments)) {}
    explicit BiffCursor(QByteArrayView bytes) : m_segments{bytes} {}

    quint8 u8()
    {
        settle();
        return quint8(m_segments[m_segment][m_at++]);
    }
    quint16 u16()
    {
        const quint16 low = u8();
        return quint16(low | quint16(u8()) << 8);
    }
    quint32 u32()
    {
        const quint32 low = u16();
        return low | quint32(u16()) << 16;
    }
    double f64()
    {
        const quint64 low = u32();
        const quint64 bits = low | quint64(u32()) << 32;
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    void skip(qint64 count)
    {
        while (count > 0) {
            settle();
            const qint64 here = std::min<qint64>(count, m_segments[m_segment].size() - m_at);
            m_at += here;
            count -= here;
        }
    }

    // Whether anything remains, over every segment.
    bool atEnd()
    {
        while (m_segment < m_segments.size() && m_at >= m_segments[m_segment].size()) {
            ++m_segment;
            m_at = 0;
        }
        return m_segment >= m_segments.size();
    }

    // Characters of a BIFF8 string: Latin-1 bytes or UTF-16 units, as
    // `wide` says; where the string crosses into the next CONTINUE, that
    // record opens with a byte saying which again.
    QString characters(qsizetype count, bool wide)
    {
        QString text;
        text.reserve(std::min<qsizetype>(count, 8192));
        while (count > 0) {
            if (m_at >= m_segments[m_segment].size()) {
                nextSegment();
                if (!m_segments[m_segment].isEmpty()) // an empty CONTINUE has not even the byte
                    wide = u8() & 0x01;
                continue;
            }
            const qsizetype available = (m_segments[m_segment].size() - m_at) / (wide ? 2 : 1);
            if (available == 0) {
                // Half a character before the break: Calc leaves the stray
                // byte and goes on in the next CONTINUE.
                m_at = m_segments[m_segment].size();
                continue;
            }
            const qsizetype here = std::min(count, available);
            for (qsizetype i = 0; i < here; ++i)
                text += wide ? QChar(u16()) : QChar(u8());
            count -= here;
        }
        return text;
    }

    // A BIFF8 unicode string: length (one or two bytes), options, then
    // the characters; rich-text runs and phonetic data after them are skipped.
    QString unicodeString(bool shortLength = false)
    {
        const qsizetype count = shortLength ? u8() : u16();
        if (count == 0 && atEnd())
            return {}; // an empty string written without its options, read as Calc reads it
        const quint8 options = u8();
        const quint16 runs = (options & 0x08) ? u16() : 0;
        const quint32 phonetic = (options & 0x04) ? u32() : 0;
        QString text = characters(count, options & 0x01);
        skip(qint64(runs) * 4);
        skip(phonetic);
        return text;
    }

    // `count` bytes as they are, for the 8-bit strings of BIFF5.
    QByteArray bytes(qsizetype count)
    {
        QByteArray out;
        while (count > 0) {
            settle();
            const qsizetype here = std::min<qsizetype>(count, m_segments[m_segment].size() - m_at);
            out.append(m_segments[m_segment].data() + m_at, here);
            m_at += here;
            count -= here;
        }
        return out;
    }

private:
    // Moves past a used-up segment; refuses when nothing remains.
    void settle()
    {
        while (m_segment < m_segments.size() && m_at >= m_segments[m_segment].size()) {
            ++m_segment;
            m_at = 0;
        }
        if (m_segment >= m_segments.size())
            refuse(ReadFailure::Damaged);
    }
    void nextSegment()
    {
        ++m_segment;
        m_at = 0;
        if (m_segment >= m_segments.size())
            refuse(ReadFailure::Damaged);
    }

    std::vector<QByteArrayView> m_segments;
    size_t m_segment = 0;
    qsizetype m_at = 0;
};

} // namespace tallyra::WorkbookReader
