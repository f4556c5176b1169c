#include "core/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <limits>
#include <optional>

namespace tallyra {

Settings Settings::defaults()
{
    Settings s;
    s.AutoClose = 1;
    s.ReadOnly = 1;
    s.AutoReport = 1;
    s.AutoMark = 1;
    s.ReportThreshold = 58;
    s.Threshold1 = 55;
    s.Threshold2 = 50;
    s.MarkColor1 = 0x0080FFFF;
    s.MarkColor2 = 0x008080FF;
    s.MarkColor3 = 0x00FF8080;
    s.LastFolder = QDir::homePath() + QLatin1Char('/');
    return s;
}

Settings &settings()
{
    static Settings record;
    return record;
}

namespace SettingsFile {

namespace {

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

struct Field {
    QString text;
    bool quoted = false;
};

// Sequential reader of comma- or line-separated fields, in the manner of a
// BASIC "Input #" statement.
class FieldReader {
public:
    explicit FieldReader(QString text) : m_text(std::move(text))
    {
        if (m_text.startsWith(QChar(0xFEFF)))
            m_pos = 1;
    }

    // The next raw field, or nothing at the end of the file.
    std::optional<Field> next()
    {
        skipBlanks();
        if (m_pos >= m_text.size())
            return std::nullopt;

        Field field;
        QString &value = field.text;
        if (m_text.at(m_pos) == QLatin1Char('"')) {
            field.quoted = true;
            const qsizetype close = m_text.indexOf(QLatin1Char('"'), m_pos + 1);
            const qsizetype end = close < 0 ? m_text.size() : close;
            value = m_text.mid(m_pos + 1, end - m_pos - 1);
            m_pos = close < 0 ? end : close + 1;
            skipToSeparator();
        } else {
            const qsizetype start = m_pos;
            skipToSeparator();
            value = m_text.mid(start, m_pos - start).trimmed();
        }
        consumeSeparator();
        return field;
    }

private:
    static bool isLineEnd(QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); }

    void skipBlanks()
    {
        while (m_pos < m_text.size()
               && (m_text.at(m_pos) == QLatin1Char(' ') || m_text.at(m_pos) == QLatin1Char('\t')))
            ++m_pos;
    }

    void skipToSeparator()
    {
        while (m_pos < m_text.size() && m_text.at(m_pos) != QLatin1Char(',')
               && !isLineEnd(m_text.at(m_pos)))
            ++m_pos;
    }

    void consumeSeparator()
    {
        if (m_pos >= m_text.size())
            return;
        if (m_text.at(m_pos) == QLatin1Char(',')) {
            ++m_pos;
            return;
        }
        if (m_text.at(m_pos) == QLatin1Char('\r'))
            ++m_pos;
        if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('\n'))
            ++m_pos;
    }

    QString m_text;
    qsizetype m_pos = 0;
};

std::optional<qint64> integerIn(const std::optional<Field> &field, qint64 low, qint64 high)
{
    if (!field || field->text.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qint64 value = field->text.toLongLong(&ok, 10);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

void readByte(FieldReader &reader, quint8 &target)
{
    if (const auto v = integerIn(reader.next(), 0, 255))
        target = static_cast<quint8>(*v);
}

void readColour(FieldReader &reader, qint32 &target)
{
    if (const auto v = integerIn(reader.next(), std::numeric_limits<qint32>::min(),
                                 std::numeric_limits<qint32>::max()))
        target = static_cast<qint32>(*v);
}

} // namespace

QString fileName() { return QStringLiteral("qv.ini"); }

QString path(const QString &folder) { return folder + QLatin1Char('/') + fileName(); }

QByteArray serialize(const Settings &s)
{
    QByteArray out;
    const auto line = [&out](const QByteArray &text) { out += text + kLineEnd; };
    for (const quint8 v : {s.AutoClose, s.ReadOnly, s.AutoReport, s.AutoMark, s.ReportThreshold,
                           s.Threshold1, s.Threshold2})
        line(QByteArray::number(v));
    for (const qint32 v : {s.MarkColor1, s.MarkColor2, s.MarkColor3})
        line(QByteArray::number(v));
    line('"' + s.LastFolder.toUtf8() + '"');
    return out;
}

Settings parse(const QByteArray &bytes, const Settings &fallback)
{
    Settings s = fallback;
    FieldReader reader(QString::fromUtf8(bytes));
    readByte(reader, s.AutoClose);
    readByte(reader, s.ReadOnly);
    readByte(reader, s.AutoReport);
    readByte(reader, s.AutoMark);
    readByte(reader, s.ReportThreshold);
    readByte(reader, s.Threshold1);
    readByte(reader, s.Threshold2);
    readColour(reader, s.MarkColor1);
    readColour(reader, s.MarkColor2);
    readColour(reader, s.MarkColor3);
    // A blank unquoted line supplies no folder; a quoted "" is an empty one.
    if (const auto folder = reader.next(); folder && (folder->quoted || !folder->text.isEmpty()))
        s.LastFolder = folder->text;
    return s;
}

Settings load(const QString &folder)
{
    const QString file = path(folder);
    if (!QFileInfo(file).isFile())
        return Settings::defaults();
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return Settings::defaults();
    return parse(in.readAll());
}

bool save(const QString &folder, const Settings &values)
{
    // The configuration folder of a new user may not exist yet.
    if (!QDir().mkpath(folder))
        return false;
    QSaveFile out(path(folder));
    // A portable copy may own a writable qv.ini in a folder it cannot
    // write: there the file is rewritten in place.
    out.setDirectWriteFallback(true);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(serialize(values));
    return out.commit();
}

} // namespace SettingsFile

} // namespace tallyra
