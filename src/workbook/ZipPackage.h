#pragma once

// A zip package (OOXML, OpenDocument) read from memory through libzip.
// Parts unpack under a cap each and in all, so a zip bomb stops early;
// every failure is a Refusal.
#include "workbook/ReaderSupport.h"

#include <QByteArray>
#include <QIODevice>

#include <memory>

struct zip;
struct zip_file;

namespace tallyra::WorkbookReader {

class ZipPackage {
public:
    explicit ZipPackage(const QByteArray &bytes);
    ~ZipPackage();
    ZipPackage(const ZipPackage &) = delete;
    ZipPackage &operator=(const ZipPackage &) = delete;

    // Part names without a leading "/", matched regardless of letter case.
    bool contains(const QString &name) const;
    // A small part whole; Damaged when it is missing.
    QByteArray read(const QString &name, qint64 maxBytes = 64 * 1024 * 1024);
    // A part to read as it unpacks (a sheet may be hundreds of megabytes).
    std::unique_ptr<QIODevice> open(const QString &name);
    // Raises what went wrong while a part was read through open().
    void check() const;

private:
    friend class ZipPartDevice;
    qint64 locate(const QString &name) const;
    qint64 fail(ReadFailure failure);

    QByteArray m_bytes; // libzip reads from these
    zip *m_archive = nullptr;
    qint64 m_unpacked = 0;
    ReadFailure m_failure = ReadFailure::None;
};

} // namespace tallyra::WorkbookReader
