#pragma once

// Small workbooks written byte by byte, each showing one thing a reader
// must get right: zip packages from their parts, compound files from
// their streams, BIFF streams from their records.
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace tallyra::test {

using Parts = QList<QPair<QString, QByteArray>>;

// A zip of the parts, stored or deflated; nothing on failure.
QByteArray zipOf(const Parts &parts, bool deflate = true);

// An OLE compound file with the given streams.
bool writeCompoundFile(const QString &path, const QList<QPair<QByteArray, QByteArray>> &streams);
// One stream of a compound file; nothing when it has no such stream.
QByteArray readCompoundStream(const QString &path, const char *name);

QByteArray biffRecord(quint16 type, const QByteArray &data);
QByteArray le16(quint16 v);
QByteArray le32(quint32 v);
QByteArray leDouble(double v);

// A minimal .xlsx: one sheet named "S" with `sheetData` inside
// <sheetData>, and the shared strings given (none when empty).
Parts xlsxParts(const QByteArray &sheetData, const QByteArray &sharedStrings = {});

// A minimal .ods whose first table holds `rows` (table-column and
// table-row elements), with content.xml's automatic styles and the
// spreadsheet's settings (table:calculation-settings) given, and a
// styles.xml holding `commonStyles` in office:styles when not empty.
QByteArray odsOf(const QByteArray &rows, const QByteArray &automaticStyles = {}, const QByteArray &settings = {},
                 const QByteArray &commonStyles = {});

} // namespace tallyra::test
