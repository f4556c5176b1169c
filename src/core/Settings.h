#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace tallyra {

// The eleven persisted values, in file order. Flags are on only when exactly 1.
struct Settings {
    quint8 AutoClose = 0;
    quint8 ReadOnly = 0;
    quint8 AutoReport = 0;
    quint8 AutoMark = 0;
    quint8 ReportThreshold = 0;
    quint8 Threshold1 = 0;
    quint8 Threshold2 = 0;
    qint32 MarkColor1 = 0; // 0x00BBGGRR
    qint32 MarkColor2 = 0;
    qint32 MarkColor3 = 0;
    QString LastFolder;

    static Settings defaults();

    friend bool operator==(const Settings &, const Settings &) = default;
};

// The process-wide record. Zero values until LoadSettings runs.
Settings &settings();

// The settings file "qv.ini": eleven CR LF lines, UTF-8, the folder quoted.
namespace SettingsFile {

QString fileName();                      // "qv.ini"
QString path(const QString &folder);     // folder + "/qv.ini"

QByteArray serialize(const Settings &values);

// Reads fields in file order. A comma separates values as well as a line end;
// a field that cannot be read (missing, not a number, out of range) keeps its
// value from `fallback`, and reading resumes at the next separator.
Settings parse(const QByteArray &bytes, const Settings &fallback = Settings::defaults());

// Missing file (or a directory of that name) or an unreadable one: defaults.
Settings load(const QString &folder);

// Creates the folder when missing, writes beside the old file and renames
// over it, so a failed save never leaves a truncated qv.ini behind; only a
// folder that cannot be written but holds a writable qv.ini has the file
// rewritten in place. Returns false when nothing was written.
bool save(const QString &folder, const Settings &values);

} // namespace SettingsFile

} // namespace tallyra
