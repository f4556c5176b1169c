#include "workbook/CellValue.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cmath>

namespace tallyra {

namespace {

// What the 15-digit form below gives, reached faster for a number that
// needs at most 15 digits and no exponent: a whole number's digits, or the
// shortest digits that read back as the number. When those are at most 15,
// they are also the number rounded to 15 digits. 0 when it does not apply.
qsizetype shortTextForm(double number, char (&out)[32])
{
    const double magnitude = std::abs(number);
    if (magnitude < 1e15 && number == std::trunc(number))
        return std::to_chars(out, out + sizeof out, static_cast<std::int64_t>(number)).ptr - out;
    // A few decimals, as most scores have: the fewest k for which the
    // integer nearest number * 10^k, divided back, is the number. Those are
    // its shortest digits (a shorter form would be that integer for a
    // smaller k), and both steps round exactly as a parser does.
    static constexpr double kPowers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
    if (magnitude >= 1e-4) {
        for (int k = 1; k <= 8; ++k) {
            const double scaled = std::nearbyint(magnitude * kPowers[k]);
            if (scaled >= 1e15)
                break;
            if (scaled / kPowers[k] != magnitude)
                continue;
            char digits[20];
            const int count = int(std::to_chars(digits, digits + sizeof digits, static_cast<std::int64_t>(scaled)).ptr - digits);
            char *o = out;
            if (number < 0)
                *o++ = '-';
            if (count <= k) {
                *o++ = '0';
                *o++ = '.';
                for (int i = count; i < k; ++i)
                    *o++ = '0';
                o = std::copy(digits, digits + count, o);
            } else {
                o = std::copy(digits, digits + count - k, o);
                *o++ = '.';
                o = std::copy(digits + count - k, digits + count, o);
            }
            return o - out;
        }
    }
    char sci[32]; // "-d.ddde-XX"
    const auto end = std::to_chars(sci, sci + sizeof sci, number, std::chars_format::scientific).ptr;
    const char *e = std::find(sci, end, 'e');
    if (e == end)
        return 0;
    int exponent = 0;
    std::from_chars(e + 1 + (e[1] == '+'), end, exponent);
    const bool negative = sci[0] == '-';
    char digits[20];
    int count = 0;
    for (const char *c = sci + negative; c != e; ++c) {
        if (*c == '.')
            continue;
        if (count == 15)
            return 0;
        digits[count++] = *c;
    }
    if (exponent < -4 || exponent >= 15)
        return 0;
    char *o = out;
    if (negative)
        *o++ = '-';
    if (exponent < 0) {
        *o++ = '0';
        *o++ = '.';
        for (int i = -1; i > exponent; --i)
            *o++ = '0';
        for (int i = 0; i < count; ++i)
            *o++ = digits[i];
    } else {
        for (int i = 0; i <= exponent; ++i)
            *o++ = i < count ? digits[i] : '0';
        if (count > exponent + 1) {
            *o++ = '.';
            for (int i = exponent + 1; i < count; ++i)
                *o++ = digits[i];
        }
    }
    return o - out;
}

} // namespace

QString CellValue::textForm() const
{
    switch (kind) {
    case Kind::Empty:
        return {};
    case Kind::Number: {
        if (number == 0)
            return QStringLiteral("0");
        if (!std::isfinite(number))
            return QStringLiteral("#NUM!");
        char buffer[32];
        if (const auto fast = shortTextForm(number, buffer))
            return QString::fromLatin1(buffer, fast);
        // Shortest form within 15 significant digits, "E" for the exponent.
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::general, 15).ptr;
        for (char *c = buffer; c != end; ++c)
            if (*c == 'e')
                *c = 'E';
        return QString::fromLatin1(buffer, end - buffer);
    }
    case Kind::Text:
    case Kind::Error:
        return text;
    case Kind::Boolean:
        return number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    }
    return {};
}

} // namespace tallyra
