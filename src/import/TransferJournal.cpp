#include "import/TransferJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>

namespace tallyra {

namespace {

const QByteArray kHeader = "tallyra-transfers\t1";
constexpr int kTransferFields = 14;
constexpr int kStudentFields = 5;

QByteArray escaped(const QString &value)
{
    QByteArray out;
    const QByteArray utf8 = value.toUtf8();
    out.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::optional<QString> unescaped(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == field.size())
            return std::nullopt;
        switch (field[i]) {
        case '\\': out += '\\'; break;
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: return std::nullopt;
        }
    }
    QString text = QString::fromUtf8(out);
    if (text.contains(QChar::ReplacementCharacter) && !QByteArray(out).contains("\xEF\xBF\xBD"))
        return std::nullopt;
    return text;
}

std::optional<int> count(const QString &text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= 0 ? std::optional<int>(n) : std::nullopt;
}

} // namespace

TransferJournal::TransferJournal(QString path)
    : m_path(std::move(path))
{
}

QByteArray TransferJournal::serialize(const QVector<JournalEntry> &entries)
{
    QByteArray out = kHeader + '\n';
    for (qsizetype n = 0; n < entries.size(); ++n) {
        const JournalEntry &e = entries[n];
        const QByteArray number = QByteArray::number(n + 1);
        const QList<QByteArray> fields{"T",
                                       number,
                                       escaped(e.when.toString(Qt::ISODateWithMs)),
                                       escaped(e.pageUrl),
                                       escaped(e.pageTitle),
                                       escaped(e.gradebook),
                                       escaped(e.sheet),
                                       escaped(e.idColumn),
                                       escaped(e.scoreColumn),
                                       QByteArray::number(e.written),
                                       QByteArray::number(e.emptied),
                                       QByteArray::number(e.anomalies),
                                       QByteArray::number(e.borderline),
                                       escaped(e.report)};
        out += fields.join('\t') + '\n';
        for (const auto &s : e.students)
            out += QList<QByteArray>{"S", number, escaped(s.id), escaped(s.written), escaped(s.before)}.join('\t') + '\n';
    }
    return out;
}

std::optional<QVector<JournalEntry>> TransferJournal::parse(const QByteArray &bytes)
{
    // A journal always ends its last line: anything else was cut short.
    if (!bytes.startsWith(kHeader + '\n') || !bytes.endsWith('\n'))
        return std::nullopt;
    QVector<JournalEntry> entries;
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast(); // after the final line break
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> raw = lines[i].split('\t');
        QStringList f;
        for (const QByteArray &field : raw) {
            const auto text = unescaped(field);
            if (!text)
                return std::nullopt;
            f << *text;
        }
        if (f.value(0) == QLatin1String("T") && f.size() == kTransferFields) {
            if (f[1] != QString::number(entries.size() + 1))
                return std::nullopt;
            JournalEntry e;
            e.when = QDateTime::fromString(f[2], Qt::ISODateWithMs);
            const auto written = count(f[9]), emptied = count(f[10]), anomalies = count(f[11]), borderline = count(f[12]);
            if (!e.when.isValid() || !written || !emptied || !anomalies || !borderline)
                return std::nullopt;
            e.pageUrl = f[3];
            e.pageTitle = f[4];
            e.gradebook = f[5];
            e.sheet = f[6];
            e.idColumn = f[7];
            e.scoreColumn = f[8];
            e.written = *written;
            e.emptied = *emptied;
            e.anomalies = *anomalies;
            e.borderline = *borderline;
            e.report = f[13];
            entries.push_back(e);
        } else if (f.value(0) == QLatin1String("S") && f.size() == kStudentFields && !entries.isEmpty()
                   && f[1] == QString::number(entries.size())) {
            entries.last().students.push_back({f[2], f[3], f[4]});
        } else {
            return std::nullopt;
        }
    }
    return entries;
}

TransferJournal::Contents TransferJournal::load() const
{
    QFile file(m_path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return {{}, true};
    const auto entries = parse(file.readAll());
    return entries ? Contents{*entries, false} : Contents{{}, true};
}

QString TransferJournal::freeDamagedPath() const
{
    QString candidate = m_path + QStringLiteral(".damaged");
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = m_path + QStringLiteral(".%1.damaged").arg(n);
    return candidate;
}

bool TransferJournal::append(const JournalEntry &entry)
{
    m_movedAside.clear();
    if (!QDir().mkpath(QFileInfo(m_path).path()))
        return false;
    Contents contents = load();
    if (contents.damaged) {
        if (!QFileInfo(m_path).isFile())
            return false; // a folder or device in its place is not ours to move
        // Kept for a person to look at; never overwritten by a new journal.
        const QString aside = freeDamagedPath();
        if (!QFile::rename(m_path, aside))
            return false;
        m_movedAside = aside;
    }
    contents.entries.push_back(entry);
    if (contents.entries.size() > kMaxTransfers)
        contents.entries.remove(0, contents.entries.size() - kMaxTransfers);
    const QByteArray bytes = serialize(contents.entries);
    QSaveFile file(m_path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

QString TransferJournal::summary(const JournalEntry &e)
{
    return QStringLiteral("%1　%2　%3").arg(e.when.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                                          e.pageTitle.isEmpty() ? e.pageUrl : e.pageTitle,
                                          QFileInfo(e.gradebook).fileName() + QStringLiteral(" / ") + e.sheet);
}

QString TransferJournal::details(const JournalEntry &e)
{
    QStringList lines{
        QStringLiteral("時間：") + e.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
        QStringLiteral("網頁：") + e.pageTitle,
        QStringLiteral("網址：") + e.pageUrl,
        QStringLiteral("成績冊：") + QDir::toNativeSeparators(e.gradebook),
        QStringLiteral("工作表：%1　學號欄：%2　成績欄：%3").arg(e.sheet, e.idColumn, e.scoreColumn),
        QStringLiteral("寫入 %1 筆，清空 %2 筆，異常 %3 筆，需留意 %4 筆")
            .arg(e.written)
            .arg(e.emptied)
            .arg(e.anomalies)
            .arg(e.borderline),
    };
    if (!e.report.isEmpty())
        lines << QString() << e.report.trimmed();
    return lines.join(QLatin1Char('\n'));
}

} // namespace tallyra
