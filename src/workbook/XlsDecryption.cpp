#include "workbook/XlsDecryption.h"

#include "workbook/ReaderSupport.h"

#include <QCryptographicHash>

#include <array>
#include <functional>
#include <optional>

namespace tallyra::WorkbookReader {

namespace {

constexpr quint16 kBof = 0x0809, kEof = 0x000A, kFilePass = 0x002F, kBoundSheet = 0x0085;
constexpr qsizetype kBlock = 1024; // the stream is keyed anew every 1024 bytes

QByteArray le32Bytes(quint32 v)
{
    QByteArray out(4, Qt::Uninitialized);
    for (int i = 0; i < 4; ++i)
        out[i] = char(v >> (8 * i));
    return out;
}

QByteArray utf16le(const QString &text)
{
    QByteArray out;
    for (const QChar c : text)
        out += char(c.unicode() & 0xFF), out += char(c.unicode() >> 8);
    return out;
}

QByteArray hash(QCryptographicHash::Algorithm algorithm, const QByteArray &data)
{
    return QCryptographicHash::hash(data, algorithm);
}

class Rc4 {
public:
    explicit Rc4(const QByteArray &key)
    {
        for (int k = 0; k < 256; ++k)
            m_s[size_t(k)] = quint8(k);
        quint8 j = 0;
        for (int k = 0; k < 256; ++k) {
            j = quint8(j + m_s[size_t(k)] + quint8(key[k % key.size()]));
            std::swap(m_s[size_t(k)], m_s[j]);
        }
    }
    quint8 next()
    {
        m_i = quint8(m_i + 1);
        m_j = quint8(m_j + m_s[m_i]);
        std::swap(m_s[m_i], m_s[m_j]);
        return m_s[quint8(m_s[m_i] + m_s[m_j])];
    }
    QByteArray apply(QByteArray data)
    {
        for (char &c : data)
            c = char(quint8(c) ^ next());
        return data;
    }

private:
    std::array<quint8, 256> m_s{};
    quint8 m_i = 0, m_j = 0;
};

using BlockKey = std::function<QByteArray(quint32 block)>;

// The key of each block, once the verifier in the FILEPASS record shows the
// password is the one the file was encrypted with.
std::optional<BlockKey> keyFor(const QByteArray &filePass, const QString &password, bool &known)
{
    known = false;
    if (filePass.size() < 6 || u16At(filePass, 0) != 1)
        return std::nullopt; // XOR obfuscation
    const quint16 major = u16At(filePass, 2), minor = u16At(filePass, 4);
    const QByteArray secret = utf16le(password);

    if (major == 1 && minor == 1) {
        // RC4 over MD5: salt, encrypted verifier and its hash, 16 bytes each.
        if (filePass.size() < 54)
            return std::nullopt;
        known = true;
        const QByteArray salt = filePass.mid(6, 16);
        const QByteArray h0 = hash(QCryptographicHash::Md5, secret).left(5);
        QByteArray buffer;
        for (int i = 0; i < 16; ++i)
            buffer += h0 + salt;
        const QByteArray h1 = hash(QCryptographicHash::Md5, buffer).left(5);
        BlockKey key = [h1](quint32 block) { return hash(QCryptographicHash::Md5, h1 + le32Bytes(block)); };
        Rc4 rc4(key(0));
        const QByteArray verifier = rc4.apply(filePass.mid(22, 16));
        const QByteArray verifierHash = rc4.apply(filePass.mid(38, 16));
        if (hash(QCryptographicHash::Md5, verifier) != verifierHash)
            return std::nullopt;
        return key;
    }

    if ((major == 2 || major == 3 || major == 4) && minor == 2) {
        // RC4 through CryptoAPI, over SHA-1.
        if (filePass.size() < 14)
            return std::nullopt;
        const qsizetype headerSize = u32At(filePass, 10);
        const qsizetype header = 14, verifierAt = header + headerSize;
        if (headerSize < 32 || verifierAt + 40 > filePass.size())
            return std::nullopt;
        const quint32 algorithm = u32At(filePass, header + 8), hashAlgorithm = u32At(filePass, header + 12);
        quint32 keyBits = u32At(filePass, header + 16);
        if ((algorithm != 0x6801 && algorithm != 0) || (hashAlgorithm != 0x8004 && hashAlgorithm != 0))
            return std::nullopt; // not RC4 with SHA-1
        if (keyBits == 0)
            keyBits = 40;
        if (keyBits < 40 || keyBits > 128 || keyBits % 8 != 0)
            return std::nullopt;
        const qsizetype saltSize = u32At(filePass, verifierAt);
        if (saltSize != 16 || verifierAt + 4 + 16 + 16 + 4 + 20 > filePass.size())
            return std::nullopt;
        known = true;
        const QByteArray salt = filePass.mid(verifierAt + 4, 16);
        const QByteArray h0 = hash(QCryptographicHash::Sha1, salt + secret);
        BlockKey key = [h0, keyBits](quint32 block) {
            QByteArray k = hash(QCryptographicHash::Sha1, h0 + le32Bytes(block)).left(qsizetype(keyBits / 8));
            if (keyBits == 40)
                k += QByteArray(11, '\0'); // a 40-bit key is used as 128 bits, zero-padded
            return k;
        };
        Rc4 rc4(key(0));
        const QByteArray verifier = rc4.apply(filePass.mid(verifierAt + 20, 16));
        const qsizetype hashSize = u32At(filePass, verifierAt + 36);
        if (hashSize != 20)
            return std::nullopt;
        const QByteArray verifierHash = rc4.apply(filePass.mid(verifierAt + 40, 20));
        if (hash(QCryptographicHash::Sha1, verifier) != verifierHash)
            return std::nullopt;
        return key;
    }
    return std::nullopt;
}

// Records whose data is never encrypted.
bool keptPlain(quint16 type)
{
    switch (type) {
    case kBof:
    case kFilePass:
    case 0x0194: // USREXCL
    case 0x0195: // FILELOCK
    case 0x00E1: // INTERFACEHDR
    case 0x0196: // RRDINFO
    case 0x0138: // RRDHEAD
        return true;
    default:
        return false;
    }
}

} // namespace

Decryption decryptXls(QByteArray &stream, const QString &password)
{
    // The FILEPASS record, among the globals before their EOF.
    qsizetype at = 0;
    std::optional<qsizetype> filePassAt;
    bool biff8 = false;
    while (at + 4 <= stream.size()) {
        const quint16 type = u16At(stream, at), size = u16At(stream, at + 2);
        if (at + 4 + size > stream.size())
            break;
        if (at == 0) {
            if (type != kBof || size < 2)
                return Decryption::NotEncrypted;
            biff8 = u16At(stream, 4) == 0x0600;
        }
        if (type == kFilePass) {
            filePassAt = at;
            break;
        }
        if (type == kEof)
            break;
        at += 4 + size;
    }
    if (!filePassAt)
        return Decryption::NotEncrypted;
    if (!biff8)
        return Decryption::Unsupported; // Excel 95's XOR obfuscation
    const QByteArray filePass = stream.mid(*filePassAt + 4, u16At(stream, *filePassAt + 2));
    bool known = false;
    const auto key = keyFor(filePass, password, known);
    if (!key)
        return known ? Decryption::WrongPassword : Decryption::Unsupported;

    // Every byte after FILEPASS is enciphered with the keystream at its own
    // position in the stream; record headers, the plain records and a
    // BOUNDSHEET's stream offset are left as they are but still count.
    std::optional<Rc4> rc4;
    qsizetype block = -1, keyAt = 0;
    const auto keystreamAt = [&](qsizetype position) {
        if (position / kBlock != block) {
            block = position / kBlock;
            rc4.emplace((*key)(quint32(block)));
            keyAt = block * kBlock;
        }
        for (; keyAt < position; ++keyAt)
            rc4->next();
        ++keyAt;
        return rc4->next();
    };
    at = *filePassAt + 4 + filePass.size();
    while (at + 4 <= stream.size()) {
        const quint16 type = u16At(stream, at), size = u16At(stream, at + 2);
        const qsizetype begin = at + 4, end = std::min(begin + size, stream.size());
        if (!keptPlain(type)) {
            for (qsizetype p = type == kBoundSheet ? begin + 4 : begin; p < end; ++p)
                stream[p] = char(quint8(stream[p]) ^ keystreamAt(p));
        }
        at = begin + size;
    }
    return Decryption::Decrypted;
}

} // namespace tallyra::WorkbookReader
