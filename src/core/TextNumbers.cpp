#include "core/TextNumbers.h"

#include <QLocale>

#include <cmath>
#include <charconv>
#include <limits>

namespace tallyra::TextNumbers {

namespace {

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

int digitValue(QChar c, int base)
{
    int v = -1;
    if (isDigit(c))
        v = c.unicode() - '0';
    else if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        v = c.unicode() - 'a' + 10;
    else if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        v = c.unicode() - 'A' + 10;
    return v >= 0 && v < base ? v : -1;
}

int radixOfPrefix(QStringView s)
{
    if (s.size() < 2 || s[0] != QLatin1Char('&'))
        return 0;
    const QChar p = s[1].toUpper();
    return p == QLatin1Char('H') ? 16 : p == QLatin1Char('O') ? 8 : 0;
}

double radixValue(QStringView digits, int base)
{
    double value = 0;
    for (const QChar c : digits) {
        const int d = digitValue(c, base);
        if (d < 0)
            break;
        value = value * base + d;
    }
    return value;
}

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

// `text` without the characters around it that `blank` accepts.
template <typename Blank>
QStringView trimmed(QStringView text, Blank blank)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

} // namespace

QString typedForm(QStringView text)
{
    const auto blank = [](QChar c) {
        const char16_t u = c.unicode();
        return c.isSpace() || u == u'\u200B' || u == u'\uFEFF';
    };
    QString out = trimmed(text, blank).toString();
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        // U+FF01..U+FF5E mirror ASCII 0x21..0x7E; only these are taken back.
        const bool alnum = (u >= u'\uFF10' && u <= u'\uFF19') || (u >= u'\uFF21' && u <= u'\uFF3A')
                           || (u >= u'\uFF41' && u <= u'\uFF5A');
        if (alnum || u == u'\uFF0E' || u == u'\uFF0D' || u == u'\uFF0B')
            c = QChar(char16_t(u - 0xFEE0));
    }
    return out;
}

double leadingValue(QStringView text)
{
    QString s;
    s.reserve(text.size());
    for (const QChar c : text)
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n'))
            s.append(c);

    if (const int base = radixOfPrefix(s))
        return radixValue(QStringView(s).mid(2), base);

    // Collect the part that fits into plain C syntax, then let the C locale convert it.
    QByteArray number;
    qsizetype i = 0;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
        number += char(s[i++].unicode());
    bool digits = false;
    bool period = false;
    for (; i < s.size(); ++i) {
        if (isDigit(s[i])) {
            digits = true;
            number += char(s[i].unicode());
        } else if (s[i] == QLatin1Char('.') && !period) {
            period = true;
            number += '.';
        } else {
            break;
        }
    }
    if (!digits)
        return 0;
    if (i < s.size() && QStringLiteral("EeDd").contains(s[i])) {
        qsizetype j = i + 1;
        QByteArray exponent = "e";
        if (j < s.size() && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')))
            exponent += char(s[j++].unicode());
        bool expDigits = false;
        for (; j < s.size() && isDigit(s[j]); ++j) {
            expDigits = true;
            exponent += char(s[j].unicode());
        }
        if (expDigits)
            number += exponent;
    }
    // from_chars ignores the process locale; it takes no leading '+'.
    const bool negative = number.startsWith('-');
    const char *first = number.constData() + ((negative || number.startsWith('+')) ? 1 : 0);
    const char *last = number.constData() + number.size();
    double value = 0;
    const auto [ptr, error] = std::from_chars(first, last, value);
    if (error == std::errc::result_out_of_range) {
        const bool tiny = number.contains("e-");
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

std::optional<double> numericValue(QStringView text)
{
    const QStringView s = trimmed(text, isBlank);
    if (s.isEmpty())
        return std::nullopt;

    if (const int base = radixOfPrefix(s)) {
        if (s.size() == 2)
            return std::nullopt;
        for (const QChar c : s.mid(2))
            if (digitValue(c, base) < 0)
                return std::nullopt;
        return radixValue(s.mid(2), base);
    }

    // The number in plain C syntax, separators and currency left out.
    QByteArray number;
    qsizetype i = 0;
    const auto skipCurrency = [&] {
        if (s.mid(i).startsWith(QLatin1String("NT$")))
            i += 3;
        else if (i < s.size() && s[i] == QLatin1Char('$'))
            ++i;
        else
            return false;
        return true;
    };
    const bool currencyFirst = skipCurrency();
    bool negative = false;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
        negative = s[i++] == QLatin1Char('-');
    if (!currencyFirst)
        skipCurrency();

    // Integer part: digits, with separators only between complete groups of three.
    int digits = 0;
    int groupDigits = 0;
    bool grouped = false;
    for (; i < s.size(); ++i) {
        if (isDigit(s[i])) {
            ++digits;
            ++groupDigits;
            number += char(s[i].unicode());
        } else if (s[i] == QLatin1Char(',')) {
            if (groupDigits == 0 || (grouped && groupDigits != 3) || (!grouped && groupDigits > 3))
                return std::nullopt;
            grouped = true;
            groupDigits = 0;
        } else {
            break;
        }
    }
    if (grouped && groupDigits != 3)
        return std::nullopt;

    if (i < s.size() && s[i] == QLatin1Char('.')) {
        number += '.';
        ++i;
        for (; i < s.size() && isDigit(s[i]); ++i) {
            ++digits;
            number += char(s[i].unicode());
        }
    }
    if (digits == 0)
        return std::nullopt;

    if (i < s.size() && QStringLiteral("EeDd").contains(s[i])) {
        number += 'e';
        ++i;
        if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
            number += char(s[i++].unicode());
        int expDigits = 0;
        for (; i < s.size() && isDigit(s[i]); ++i) {
            ++expDigits;
            number += char(s[i].unicode());
        }
        if (expDigits == 0)
            return std::nullopt;
    }
    if (i != s.size())
        return std::nullopt;

    double value = 0;
    const auto [ptr, error] = std::from_chars(number.constData(), number.constData() + number.size(), value);
    if (error == std::errc::result_out_of_range)
        value = number.contains("e-") ? 0.0 : std::numeric_limits<double>::infinity();
    return negative ? -value : value;
}

bool isNumeric(QStringView text) { return numericValue(text).has_value(); }

double roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return value;
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction < 0.5)
        return lower;
    if (fraction > 0.5)
        return lower + 1;
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

QString decimalText(double value)
{
    if (value == 0)
        return QStringLiteral("0"); // also for -0
    return QLocale::c().toString(value, 'g', 15);
}

} // namespace tallyra::TextNumbers
