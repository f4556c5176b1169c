#pragma once

// RC4 decryption of a BIFF8 workbook stream. Excel encrypts a workbook whose
// structure is protected with a fixed password, "VelvetSweatshop", so that
// it opens without one; Calc opens such files, and so does the reader. A
// workbook locked with a password of the teacher's own stays refused.
#include <QByteArray>
#include <QString>

namespace tallyra::WorkbookReader {

enum class Decryption {
    NotEncrypted,
    Decrypted,   // the stream now holds the plain records
    WrongPassword,
    Unsupported, // XOR obfuscation, or an encryption this reader does not know
};

// Decrypts `stream` in place with `password`, if its globals hold a FILEPASS.
Decryption decryptXls(QByteArray &stream, const QString &password);

inline const QString kExcelDefaultPassword = QStringLiteral("VelvetSweatshop");

} // namespace tallyra::WorkbookReader
