// libFuzzer target: an .xlsx / .xlsm package, read from the fuzzer's bytes. A refusal is a
// good outcome; a crash, a leak, undefined behaviour or a hang is not.
#include "workbook/ReaderSupport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    try {
        (void)tallyra::WorkbookReader::readOpenXml(bytes);
    } catch (const tallyra::WorkbookReader::Refusal &) {
    }
    return 0;
}
