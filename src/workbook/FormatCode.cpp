#include "workbook/FormatCode.h"

#include <QList>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>

// Codes are read as .xlsx and .xls store them: en-US syntax whatever the
// workbook's language. What a code shows was checked against LibreOffice
// Calc 7.4, which is where the teacher's numbers would otherwise be seen;
// anything not checked there is refused rather than guessed.
namespace tallyra::FormatCode {

namespace {

bool isLetter(QChar c, char lower) { return c.toLower() == QLatin1Char(lower); }

bool startsWithAt(QStringView text, qsizetype at, QLatin1String word)
{
    return text.size() - at >= word.size() && text.mid(at, word.size()).compare(word, Qt::CaseInsensitive) == 0;
}

// The sections of a code, split at ';' outside quotes, escapes and
// brackets. Nothing for a quote or bracket left open or a trailing
// backslash: such a code cannot be read with any certainty.
std::optional<QList<QStringView>> splitSections(QStringView code)
{
    QList<QStringView> out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u'"') {
            i = code.indexOf(u'"', i + 1);
            if (i < 0)
                return std::nullopt;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            if (++i >= code.size())
                return std::nullopt;
        } else if (c == u'[') {
            i = code.indexOf(u']', i + 1);
            if (i < 0)
                return std::nullopt;
        } else if (c == u';') {
            out.append(code.mid(start, i - start));
            start = i + 1;
        }
    }
    out.append(code.mid(start));
    return out;
}

// Whether `s` has `wanted` as a code character: outside quotes, brackets,
// and the character after a backslash, '_' or '*'.
bool hasBare(QStringView s, QChar wanted)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'"' || c == u'[') {
            i = s.indexOf(c == u'"' ? u'"' : u']', i + 1);
            if (i < 0)
                return false;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == wanted) {
            return true;
        }
    }
    return false;
}

// ---- Classification -------------------------------------------------------

enum class Part { Year, Month, MonthOrMinute, Minute, Day, Hour, Second, AmPm, Elapsed };

bool isDatePart(Part p) { return p == Part::Year || p == Part::Month || p == Part::Day; }

qsizetype runLength(QStringView s, qsizetype at, char lower)
{
    qsizetype n = 0;
    while (at + n < s.size() && isLetter(s[at + n], lower))
        ++n;
    return n;
}

NumberClass classifySection(QStringView s)
{
    QList<Part> parts;
    bool percent = false, text = false, digits = false;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        const char lower = c.unicode() < 128 ? static_cast<char>(c.toLower().unicode()) : '\0';
        if (c == u'"') {
            i = s.indexOf(u'"', i + 1);
            if (i < 0)
                break;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u'[') {
            const qsizetype end = s.indexOf(u']', i + 1);
            if (end < 0)
                break;
            const QStringView inside = s.mid(i + 1, end - i - 1);
            // [h], [mm], [ss]: elapsed time; anything else is a colour,
            // condition, locale or numeral system and shows no part.
            if (!inside.isEmpty()) {
                const char first = static_cast<char>(inside[0].toLower().unicode());
                if ((first == 'h' || first == 'm' || first == 's') && runLength(inside, 0, first) == inside.size())
                    parts.append(Part::Elapsed);
            }
            i = end;
        } else if (c == u'@') {
            text = true;
        } else if (c == u'%') {
            percent = true;
        } else if (c == u'#' || c == u'?') {
            digits = true;
        } else if (c == u'0') {
            // Fractions of a second ("ss.00") are not digits of a number.
            if (!(i > 0 && s[i - 1] == u'.' && !parts.isEmpty() && parts.last() == Part::Second))
                digits = true;
            else
                while (i + 1 < s.size() && s[i + 1] == u'0')
                    ++i;
        } else if (lower == 'g' && startsWithAt(s, i, QLatin1String("general"))) {
            i += 6;
        } else if (lower == 'e') {
            if (i + 1 < s.size() && (s[i + 1] == u'+' || s[i + 1] == u'-'))
                ++i; // scientific notation
            else
                parts.append(Part::Year); // era year
        } else if (lower == 'g') {
            parts.append(Part::Year); // era name
            i += runLength(s, i, 'g') - 1;
        } else if (lower == 'a') {
            if (startsWithAt(s, i, QLatin1String("am/pm"))) {
                parts.append(Part::AmPm);
                i += 4;
            } else if (startsWithAt(s, i, QLatin1String("a/p"))) {
                parts.append(Part::AmPm);
                i += 2;
            } else {
                const qsizetype n = runLength(s, i, 'a');
                if (n >= 3) // day names
                    parts.append(Part::Day);
                i += n - 1;
            }
        } else if (lower == 'y' || lower == 'd' || lower == 'h' || lower == 's' || lower == 'm') {
            const qsizetype n = runLength(s, i, lower);
            i += n - 1;
            switch (lower) {
            case 'y':
                if (n >= 2) // a lone y is literal text to Calc
                    parts.append(Part::Year);
                break;
            case 'd':
                parts.append(Part::Day);
                break;
            case 'h':
                parts.append(Part::Hour);
                break;
            case 's':
                parts.append(Part::Second);
                break;
            default:
                parts.append(n >= 3 ? Part::Month : Part::MonthOrMinute);
            }
        }
    }
    // m and mm are minutes right after an hour or right before a second.
    bool date = false, time = false;
    for (qsizetype k = 0; k < parts.size(); ++k) {
        Part p = parts[k];
        if (p == Part::MonthOrMinute) {
            const bool minute = (k > 0 && (parts[k - 1] == Part::Hour || parts[k - 1] == Part::Elapsed))
                || (k + 1 < parts.size() && (parts[k + 1] == Part::Second || parts[k + 1] == Part::Elapsed));
            p = minute ? Part::Minute : Part::Month;
        }
        (isDatePart(p) ? date : time) = true;
    }
    if (date || time) {
        // Calc refuses a code mixing digits with dates or times and shows
        // such a cell in General.
        if (digits)
            return NumberClass::Plain;
        return date && time ? NumberClass::DateTime : date ? NumberClass::Date : NumberClass::Time;
    }
    if (text)
        return NumberClass::Text;
    return percent ? NumberClass::Percent : NumberClass::Plain;
}

// ---- Showing ----------------------------------------------------------------

// How many spaces Calc puts for "_x", by x from ' ' to '~'.
constexpr std::array<quint8, 95> kSpaceWidths = {
    1, 1, 1, 2, 2, 3, 2, 1, 1, 1, 1, 2, 1, 1, 1, 1, // space ! " # $ % & ' ( ) * + , - . /
    2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 2, 2, 2, 2, // 0-9 : ; < = > ?
    3, 2, 2, 2, 2, 2, 2, 3, 2, 1, 2, 2, 2, 3, 3, 3, // @ A-O
    2, 3, 2, 2, 2, 2, 2, 3, 2, 2, 2, 1, 1, 1, 2, 2, // P-Z [ \ ] ^ _
    1, 2, 2, 2, 2, 2, 1, 2, 2, 1, 1, 2, 1, 3, 2, 2, // ` a-o
    2, 2, 1, 2, 1, 2, 2, 2, 2, 2, 2, 1, 1, 1, 2,    // p-z { | } ~
};

// Locales whose numbers Calc shows with '.' and ',' as en-US does; another
// locale changes the separators ([$-407] shows 1.234,50).
bool keepsSeparators(uint lcid)
{
    static constexpr uint kLocales[] = {0x0, 0x404, 0x409, 0x411, 0x412, 0x41E, 0x439, 0x804, 0x809,
                                        0xC04, 0xC09, 0x1004, 0x1009, 0x1404, 0x3009};
    return std::find(std::begin(kLocales), std::end(kLocales), lcid) != std::end(kLocales);
}

bool isColour(QStringView name)
{
    static const char *const kColours[] = {"black", "blue", "cyan", "green", "magenta", "red", "white", "yellow"};
    for (const char *colour : kColours)
        if (name.compare(QLatin1String(colour), Qt::CaseInsensitive) == 0)
            return true;
    if (name.size() > 5 && startsWithAt(name, 0, QLatin1String("color"))) {
        for (QChar c : name.mid(5))
            if (!c.isDigit() || c.unicode() > '9')
                return false;
        return true;
    }
    return false;
}

// What a bracket shows: nothing for a colour or a locale that changes no
// separator, a currency's symbol for [$NT$-404]; no value for anything else.
std::optional<QString> bracketText(QStringView inside)
{
    if (isColour(inside))
        return QString();
    if (!inside.startsWith(u'$'))
        return std::nullopt;
    const QStringView rest = inside.mid(1);
    const qsizetype dash = rest.lastIndexOf(u'-');
    const QStringView symbol = dash < 0 ? rest : rest.left(dash);
    if (dash >= 0) {
        const QStringView hex = rest.mid(dash + 1);
        bool ok = false;
        const uint lcid = hex.size() <= 8 ? hex.toUInt(&ok, 16) : 0;
        for (QChar c : hex)
            ok = ok && c.unicode() < 128 && std::isxdigit(c.unicode());
        // Flags above the language pick calendars and numeral systems.
        if (!ok || lcid > 0xFFFF)
            return std::nullopt;
        // A currency keeps en-US separators whatever its locale.
        if (symbol.isEmpty() && !keepsSeparators(lcid))
            return std::nullopt;
    }
    return symbol.toString();
}

struct Token {
    enum Kind { Literal, Digit, Point, Comma, General } kind;
    QString text; // Literal: the text; Digit: '0', '#' or '?'
};

struct Pattern {
    QList<Token> tokens;
    bool percent = false;
};

std::optional<Pattern> parsePattern(QStringView s)
{
    Pattern p;
    const auto literal = [&](QString text) { p.tokens.append(Token{Token::Literal, std::move(text)}); };
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        const ushort u = c.unicode();
        if (c == u'"') {
            const qsizetype end = s.indexOf(u'"', i + 1);
            literal(s.mid(i + 1, end - i - 1).toString());
            i = end;
        } else if (c == u'\\') {
            literal(QString(s[++i]));
        } else if (c == u'_') {
            const ushort x = s[++i].unicode();
            if (x < 32 || x > 126)
                return std::nullopt;
            literal(QString(kSpaceWidths[x - 32], u' '));
        } else if (c == u'[') {
            const qsizetype end = s.indexOf(u']', i + 1);
            auto text = bracketText(s.mid(i + 1, end - i - 1));
            if (!text)
                return std::nullopt;
            if (!text->isEmpty())
                literal(std::move(*text));
            i = end;
        } else if (c == u'0' || c == u'#' || c == u'?') {
            p.tokens.append(Token{Token::Digit, QString(c)});
        } else if (c == u'.') {
            p.tokens.append(Token{Token::Point, {}});
        } else if (c == u',') {
            p.tokens.append(Token{Token::Comma, {}});
        } else if (c == u'%') {
            p.percent = true;
            literal(QStringLiteral("%"));
        } else if (startsWithAt(s, i, QLatin1String("general"))) {
            p.tokens.append(Token{Token::General, {}});
            i += 6;
        } else if (u < 32 || (u < 128 && (std::isalnum(u) || u == '*' || u == '@' || u == '/' || u == ']'))) {
            // Letters are dates, times, exponents or keywords, other digits
            // show oddly, '*' fills, '@' is text and '/' a fraction; a stray
            // ']' was never seen shown.
            return std::nullopt;
        } else {
            literal(QString(c));
        }
    }
    return p;
}

// `x` (not negative) to `decimals` places as Calc shows it: an integer
// below 2^53 exactly; anything else to at most 15 significant digits,
// rounded half away from zero on the shortest decimal form that reads back
// as the same double (1.005 shows as 1.01 but 17.849999999999998 as 17.8),
// and zeros after them. The digits before the point (empty for none) and
// exactly `decimals` after it.
std::pair<QString, QString> roundedDigits(double x, int decimals)
{
    if (x == 0)
        return {QString(), QString(decimals, u'0')};
    if (x < 9007199254740992.0 && x == std::floor(x))
        return {QString::number(static_cast<qint64>(x)), QString(decimals, u'0')};
    char buffer[40];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific).ptr;
    const std::string_view text(buffer, static_cast<size_t>(end - buffer));
    const size_t e = text.find('e');
    std::string digits(1, text[0]);
    if (e > 2)
        digits += text.substr(2, e - 2); // "1e+02" has no point
    int exponent = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), exponent);

    // The digits are d.ddd x 10^exponent: pointAt of them are whole.
    int pointAt = exponent + 1;
    int keep = pointAt + std::min(decimals, 15 - pointAt);
    if (keep < 0)
        return {QString(), QString(decimals, u'0')};
    if (keep < static_cast<int>(digits.size())) {
        const bool up = digits[static_cast<size_t>(keep)] >= '5';
        digits.resize(static_cast<size_t>(keep));
        if (up) {
            int k = keep - 1;
            for (; k >= 0 && digits[static_cast<size_t>(k)] == '9'; --k)
                digits[static_cast<size_t>(k)] = '0';
            if (k >= 0) {
                ++digits[static_cast<size_t>(k)];
            } else { // 9.99 became 10.0
                digits.insert(digits.begin(), '1');
                ++pointAt;
            }
        }
    }
    digits.resize(static_cast<size_t>(pointAt + decimals), '0');
    QString whole, fraction;
    if (pointAt > 0) {
        whole = QString::fromLatin1(digits.data(), pointAt);
        fraction = QString::fromLatin1(digits.data() + pointAt, decimals);
    } else {
        fraction = QString(-pointAt, u'0') + QString::fromLatin1(digits.data(), pointAt + decimals);
    }
    while (whole.startsWith(u'0'))
        whole.remove(0, 1);
    return {whole, fraction};
}

// The General form of `x` (not negative) where Calc shows it without an
// exponent: 15 significant digits at most, no trailing zeros.
std::optional<QString> generalDigits(double x)
{
    if (x != 0 && (x < 1e-4 || x >= 1e15))
        return std::nullopt;
    auto [whole, fraction] = roundedDigits(x, 19);
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    if (whole.isEmpty())
        whole = QStringLiteral("0");
    return fraction.isEmpty() ? whole : whole + u'.' + fraction;
}

// The text of one section for `x`, and whether it shows a digit other than
// zero (a lone section shows a minus only then).
struct Shown {
    QString text;
    bool nonZero = false;
};

std::optional<Shown> showSection(QStringView section, double x)
{
    auto pattern = parsePattern(section);
    if (!pattern)
        return std::nullopt;
    QList<Token> &tokens = pattern->tokens;

    qsizetype point = -1, general = -1;
    QList<qsizetype> wholeAt, fractionAt;
    for (qsizetype k = 0; k < tokens.size(); ++k) {
        switch (tokens[k].kind) {
        case Token::Point:
            if (point >= 0)
                return std::nullopt;
            point = k;
            break;
        case Token::Digit:
            (point >= 0 ? fractionAt : wholeAt).append(k);
            break;
        case Token::General:
            if (general >= 0)
                return std::nullopt;
            general = k;
            break;
        default:
            break;
        }
    }
    const bool anyDigit = !wholeAt.isEmpty() || !fractionAt.isEmpty();

    if (general >= 0) {
        // General among literals ("General\" pts\""); Calc's exponent form
        // differs from the text form (1E+020), so none is shown.
        if (anyDigit || point >= 0 || pattern->percent)
            return std::nullopt;
        for (const Token &t : tokens)
            if (t.kind == Token::Comma)
                return std::nullopt;
        auto number = generalDigits(x);
        if (!number)
            return std::nullopt;
        tokens[general] = {Token::Literal, *number};
        Shown out;
        for (const Token &t : tokens)
            out.text += t.text;
        out.nonZero = x != 0;
        return out;
    }
    if (!anyDigit) {
        // Only text: the number itself is not shown ("%" alone is another
        // matter: Calc shows the number there).
        if (point >= 0 || pattern->percent)
            return std::nullopt;
        Shown out;
        for (const Token &t : tokens)
            if (t.kind == Token::Literal)
                out.text += t.text;
            else
                return std::nullopt;
        return out;
    }

    // Commas between two digits of the whole part group thousands; commas
    // right after the last digit divide by 1000 each; any other is refused.
    const qsizetype lastDigit = fractionAt.isEmpty() ? wholeAt.last() : fractionAt.last();
    bool grouping = false;
    int scale = 0;
    for (qsizetype k = 0; k < tokens.size(); ++k) {
        if (tokens[k].kind != Token::Comma)
            continue;
        const bool between = k > 0 && k + 1 < tokens.size() && tokens[k - 1].kind == Token::Digit
            && tokens[k + 1].kind == Token::Digit && (point < 0 || k < point);
        if (between) {
            grouping = true;
            continue;
        }
        qsizetype j = k;
        while (j > 0 && tokens[j - 1].kind == Token::Comma)
            --j;
        if (j - 1 != lastDigit || j < point)
            return std::nullopt;
        ++scale;
    }

    if (grouping) {
        // Digits of a grouped number stand together; "?,??0" pads oddly.
        for (qsizetype k = wholeAt.first(); k <= wholeAt.last(); ++k)
            if ((tokens[k].kind != Token::Digit && tokens[k].kind != Token::Comma) || tokens[k].text == u"?")
                return std::nullopt;
    }
    // "0.0#?" keeps its zeros in ways not worth following.
    bool hash = false, question = false;
    for (qsizetype k : fractionAt) {
        hash = hash || tokens[k].text == u"#";
        question = question || tokens[k].text == u"?";
    }
    if (hash && question)
        return std::nullopt;

    if (pattern->percent)
        x *= 100;
    for (int i = 0; i < scale; ++i)
        x /= 1000;
    // Checked as far as 1E+20.
    if (!(x <= 1e20))
        return std::nullopt;
    const auto [whole, fraction] = roundedDigits(x, static_cast<int>(fractionAt.size()));

    Shown out;
    for (QChar c : whole + fraction)
        out.nonZero = out.nonZero || c != u'0';

    // The fraction, right to left: '#' drops a trailing zero, '?' turns it to
    // a space, '0' and any other digit keep everything to its left.
    QList<QString> fractionText(fractionAt.size());
    bool trailing = true;
    for (qsizetype i = fractionAt.size() - 1; i >= 0; --i) {
        const QString &kind = tokens[fractionAt[i]].text;
        const QChar digit = fraction[i];
        if (trailing && digit == u'0' && kind == u"#")
            fractionText[i] = QString();
        else if (trailing && digit == u'0' && kind == u"?")
            fractionText[i] = QStringLiteral(" ");
        else {
            trailing = false;
            fractionText[i] = digit;
        }
    }
    bool showPoint = false;
    for (const QString &t : fractionText)
        showPoint = showPoint || !t.isEmpty();

    // The whole part, right to left: one digit per place, the leftmost place
    // taking all that remain; with no digit left '0' shows 0, '?' a space.
    QList<QString> wholeText(wholeAt.size());
    qsizetype remaining = whole.size();
    for (qsizetype i = wholeAt.size() - 1; i >= 0; --i) {
        const QString &kind = tokens[wholeAt[i]].text;
        if (remaining > 0) {
            const qsizetype take = i == 0 ? remaining : 1;
            remaining -= take;
            wholeText[i] = whole.mid(remaining, take);
        } else {
            wholeText[i] = kind == u"0" ? QStringLiteral("0") : kind == u"?" ? QStringLiteral(" ") : QString();
        }
    }
    if (grouping) {
        QString digits = wholeText.join(QString());
        for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
            digits.insert(at, u',');
        for (auto &t : wholeText)
            t.clear();
        wholeText[0] = digits;
    }

    qsizetype nextWhole = 0, nextFraction = 0;
    for (qsizetype k = 0; k < tokens.size(); ++k) {
        const Token &t = tokens[k];
        switch (t.kind) {
        case Token::Literal:
            out.text += t.text;
            break;
        case Token::Digit:
            out.text += k < point || point < 0 ? wholeText[nextWhole++] : fractionText[nextFraction++];
            break;
        case Token::Point:
            // Digits with no place of their own in front of the point (".00").
            if (wholeAt.isEmpty())
                out.text += whole;
            if (showPoint)
                out.text += u'.';
            break;
        case Token::Comma:
        case Token::General:
            break;
        }
    }
    return out;
}

} // namespace

NumberClass classify(QStringView code)
{
    const auto sections = splitSections(code);
    const QStringView first = sections ? sections->first() : code;
    if (first.trimmed().compare(QLatin1String("BOOLEAN"), Qt::CaseInsensitive) == 0)
        return NumberClass::Boolean;
    return classifySection(first);
}

std::optional<QString> show(QStringView code, double value)
{
    if (!std::isfinite(value) || code.isEmpty())
        return std::nullopt;
    auto sections = splitSections(code);
    if (!sections || sections->size() > 4)
        return std::nullopt;
    // The last of several sections is for text when it is the fourth or
    // holds '@' ("0.00;@" shows -1 as -1.00).
    if (sections->size() == 4 || (sections->size() > 1 && hasBare(sections->last(), u'@')))
        sections->removeLast();
    for (QStringView s : *sections)
        if (hasBare(s, u'@'))
            return std::nullopt;

    QStringView section = sections->first();
    const bool negative = value < 0;
    bool ownSign = false;
    if (sections->size() >= 2 && negative) {
        section = (*sections)[1];
        ownSign = true;
    } else if (sections->size() == 3 && value == 0) {
        section = (*sections)[2];
    }
    if (section.isEmpty())
        return QString();
    auto shown = showSection(section, std::abs(value));
    if (!shown)
        return std::nullopt;
    // A lone section puts a minus before everything, unless all it shows of
    // the number is zero (-0.04 as "0.0").
    if (negative && !ownSign && shown->nonZero)
        shown->text.prepend(u'-');
    return shown->text;
}

std::optional<QString> builtinCode(int id)
{
    switch (id) {
    case 0: return QStringLiteral("General");
    case 1: return QStringLiteral("0");
    case 2: return QStringLiteral("0.00");
    case 3: return QStringLiteral("#,##0");
    case 4: return QStringLiteral("#,##0.00");
    case 5: return QStringLiteral("$#,##0_);($#,##0)");
    case 6: return QStringLiteral("$#,##0_);[Red]($#,##0)");
    case 7: return QStringLiteral("$#,##0.00_);($#,##0.00)");
    case 8: return QStringLiteral("$#,##0.00_);[Red]($#,##0.00)");
    case 9: return QStringLiteral("0%");
    case 10: return QStringLiteral("0.00%");
    case 11: return QStringLiteral("0.00E+00");
    case 12: return QStringLiteral("# ?/?");
    case 13: return QStringLiteral("# ?\?/?\?");
    case 14: return QStringLiteral("m/d/yyyy");
    case 15: return QStringLiteral("d-mmm-yy");
    case 16: return QStringLiteral("d-mmm");
    case 17: return QStringLiteral("mmm-yy");
    case 18: return QStringLiteral("h:mm AM/PM");
    case 19: return QStringLiteral("h:mm:ss AM/PM");
    case 20: return QStringLiteral("h:mm");
    case 21: return QStringLiteral("h:mm:ss");
    case 22: return QStringLiteral("m/d/yyyy h:mm");
    // Taiwanese files: ROC era dates and times with 上午/下午, which Calc
    // shows through the zh-TW locale's AM/PM.
    case 27: case 36: case 50: case 57: return QStringLiteral("[$-404]e/m/d");
    case 28: case 29: case 51: case 54: case 58: return QStringLiteral("[$-404]e\"年\"m\"月\"d\"日\"");
    case 30: return QStringLiteral("m/d/yy");
    case 31: return QStringLiteral("yyyy\"年\"m\"月\"d\"日\"");
    case 32: return QStringLiteral("hh\"時\"mm\"分\"");
    case 33: return QStringLiteral("hh\"時\"mm\"分\"ss\"秒\"");
    case 34: case 52: case 55: return QStringLiteral("[$-404]AM/PMhh\"時\"mm\"分\"");
    case 35: case 53: case 56: return QStringLiteral("[$-404]AM/PMhh\"時\"mm\"分\"ss\"秒\"");
    case 37: return QStringLiteral("#,##0_);(#,##0)");
    case 38: return QStringLiteral("#,##0_);[Red](#,##0)");
    case 39: return QStringLiteral("#,##0.00_);(#,##0.00)");
    case 40: return QStringLiteral("#,##0.00_);[Red](#,##0.00)");
    case 41: return QStringLiteral("_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)");
    case 42: return QStringLiteral("_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)");
    case 43: return QStringLiteral("_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"??_);_(@_)");
    case 44: return QStringLiteral("_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"??_);_(@_)");
    case 45: return QStringLiteral("mm:ss");
    case 46: return QStringLiteral("[h]:mm:ss");
    case 47: return QStringLiteral("mm:ss.0");
    case 48: return QStringLiteral("##0.0E+0");
    case 49: return QStringLiteral("@");
    default: return std::nullopt;
    }
}

} // namespace tallyra::FormatCode
