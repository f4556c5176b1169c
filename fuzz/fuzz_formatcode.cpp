// libFuzzer target: a number format code, read from the fuzzer's bytes as
// UTF-8, classified and shown for a few values. Any answer, including none,
// is a good outcome; a crash, undefined behaviour or a hang is not.
#include "workbook/FormatCode.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const double values[] = {
        0.0, -0.0, 1.0, -1.0, 0.5, 85.25, 1.005, -0.04, 1234.5678, -98765.4321, 91001.0,
        1e-300, 1e15, 1e20, 9007199254740993.0, -1e21, 0.0007867077286685385,
        std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max(),
        std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
    };
    const QString code = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    (void)tallyra::FormatCode::classify(code);
    for (double value : values)
        (void)tallyra::FormatCode::show(code, value);
    if (size > 0)
        (void)tallyra::FormatCode::builtinCode(static_cast<int>(data[0]) - 8);
    return 0;
}
