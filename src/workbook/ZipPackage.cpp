#include "workbook/ZipPackage.h"

#include <zip.h>

namespace tallyra::WorkbookReader {

// Unpacks one part as it is read, charging the package for every byte so
// that the caps hold whatever sizes the zip's directory claims.
class ZipPartDevice : public QIODevice {
public:
    ZipPartDevice(ZipPackage &package, zip_file_t *file) : m_package(package), m_file(file)
    {
        QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered); // the XML cursor buffers
    }
    ~ZipPartDevice() override { zip_fclose(m_file); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        // No exception may cross Qt's reading code: the failure is kept
        // for the package to raise once the reader has stopped.
        if (m_package.m_failure != ReadFailure::None)
            return -1;
        const zip_int64_t got = zip_fread(m_file, data, static_cast<zip_uint64_t>(maxSize));
        if (got < 0) {
            // A checksum that disagrees once the part has unpacked whole:
            // Calc reads such files, and what came out was sound deflate.
            if (zip_error_code_zip(zip_file_get_error(m_file)) == ZIP_ER_CRC)
                return 0;
            return m_package.fail(ReadFailure::Damaged); // a cut or broken stream
        }
        m_read += got;
        m_package.m_unpacked += got;
        if (m_read > limits::kPartBytes || m_package.m_unpacked > limits::kUnpackedBytes)
            return m_package.fail(ReadFailure::TooLarge);
        return got;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    ZipPackage &m_package;
    zip_file_t *m_file;
    qint64 m_read = 0;
};

ZipPackage::ZipPackage(const QByteArray &bytes) : m_bytes(bytes)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(m_bytes.constData(), static_cast<zip_uint64_t>(m_bytes.size()), 0, &error);
    if (!source) {
        zip_error_fini(&error);
        refuse(ReadFailure::Damaged);
    }
    m_archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    const int code = zip_error_code_zip(&error);
    zip_error_fini(&error);
    if (!m_archive) {
        zip_source_free(source);
        refuse(code == ZIP_ER_NOZIP ? ReadFailure::NotWorkbook : ReadFailure::Damaged);
    }
}

ZipPackage::~ZipPackage()
{
    if (m_archive)
        zip_discard(m_archive);
}

qint64 ZipPackage::locate(const QString &name) const
{
    QString wanted = name;
    while (wanted.startsWith(QLatin1Char('/')))
        wanted.remove(0, 1);
    return zip_name_locate(m_archive, wanted.toUtf8().constData(), ZIP_FL_NOCASE | ZIP_FL_ENC_GUESS);
}

bool ZipPackage::contains(const QString &name) const { return locate(name) >= 0; }

qint64 ZipPackage::fail(ReadFailure failure)
{
    if (m_failure == ReadFailure::None)
        m_failure = failure;
    return -1;
}

void ZipPackage::check() const
{
    if (m_failure != ReadFailure::None)
        refuse(m_failure);
}

std::unique_ptr<QIODevice> ZipPackage::open(const QString &name)
{
    const qint64 index = locate(name);
    if (index < 0)
        refuse(ReadFailure::Damaged);
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(m_archive, static_cast<zip_uint64_t>(index), 0, &stat) == 0
        && (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        refuse(ReadFailure::Encrypted);
    zip_file_t *file = zip_fopen_index(m_archive, static_cast<zip_uint64_t>(index), 0);
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(m_archive));
        refuse(code == ZIP_ER_ENCRNOTSUPP || code == ZIP_ER_NOPASSWD ? ReadFailure::Encrypted : ReadFailure::Damaged);
    }
    return std::make_unique<ZipPartDevice>(*this, file);
}

QByteArray ZipPackage::read(const QString &name, qint64 maxBytes)
{
    const auto device = open(name);
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const qint64 got = device->read(buffer, sizeof buffer);
        check();
        if (got <= 0)
            break;
        if (bytes.size() + got > maxBytes)
            refuse(ReadFailure::TooLarge);
        bytes.append(buffer, got);
    }
    return bytes;
}

} // namespace tallyra::WorkbookReader
