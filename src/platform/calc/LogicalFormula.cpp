#include "platform/calc/LogicalFormula.h"

#include <QStringList>

namespace tallyra::LogicalFormula {

namespace {

const QStringList &logicalFunctions()
{
    static const QStringList names = {
        QStringLiteral("TRUE"),      QStringLiteral("FALSE"),     QStringLiteral("AND"),
        QStringLiteral("OR"),        QStringLiteral("NOT"),       QStringLiteral("XOR"),
        QStringLiteral("EXACT"),     QStringLiteral("ISBLANK"),   QStringLiteral("ISERR"),
        QStringLiteral("ISERROR"),   QStringLiteral("ISEVEN"),    QStringLiteral("ISODD"),
        QStringLiteral("ISFORMULA"), QStringLiteral("ISLOGICAL"), QStringLiteral("ISNA"),
        QStringLiteral("ISNONTEXT"), QStringLiteral("ISNUMBER"),  QStringLiteral("ISREF"),
        QStringLiteral("ISTEXT"),    QStringLiteral("ISLEAPYEAR"), QStringLiteral("ISOMITTED"),
    };
    return names;
}

// The text split at the top level: outside parentheses, braces and quotes.
// `visit` sees each top-level character with its position; a quote's
// contents and anything nested are skipped.
template <typename Visit>
bool scanTopLevel(const QString &text, Visit visit)
{
    int depth = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            // "" inside a string and '' inside a sheet name are the quote itself.
            qsizetype j = i + 1;
            while (j < text.size()) {
                if (text.at(j) == c) {
                    if (j + 1 < text.size() && text.at(j + 1) == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            i = j;
            continue;
        }
        if (c == QLatin1Char('(') || c == QLatin1Char('{')) {
            ++depth;
            continue;
        }
        if (c == QLatin1Char(')') || c == QLatin1Char('}')) {
            --depth;
            continue;
        }
        if (depth == 0 && visit(i, c))
            return true;
    }
    return false;
}

// The top-level arguments of a call's argument list "a;b" or "a,b".
QStringList splitArguments(const QString &list)
{
    QStringList parts;
    qsizetype from = 0;
    scanTopLevel(list, [&](qsizetype i, QChar c) {
        if (c == QLatin1Char(',') || c == QLatin1Char(';')) {
            parts << list.mid(from, i - from);
            from = i + 1;
        }
        return false;
    });
    parts << list.mid(from);
    return parts;
}

bool expressionMayBeLogical(QString text, int nesting)
{
    text = text.trimmed();
    if (text.isEmpty())
        return false;
    // Past a sane depth nothing is known: "may", so that its 1 or 0 is never a score.
    if (nesting > 64)
        return true;

    const bool comparison = scanTopLevel(text, [](qsizetype, QChar c) {
        return c == QLatin1Char('=') || c == QLatin1Char('<') || c == QLatin1Char('>');
    });
    if (comparison)
        return true;

    const QString upper = text.toUpper();
    if (upper == QLatin1String("TRUE") || upper == QLatin1String("FALSE"))
        return true;

    // The whole expression in parentheses, or one call spanning all of it.
    const qsizetype open = text.indexOf(QLatin1Char('('));
    if (open < 0 || !text.endsWith(QLatin1Char(')')))
        return false;
    // The parenthesis that opens at `open` must be the one closing at the end.
    int depth = 0;
    bool inQuote = false;
    for (qsizetype i = open; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"'))
            inQuote = !inQuote;
        if (inQuote)
            continue;
        if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')') && --depth == 0 && i != text.size() - 1)
            return false;
    }
    const QString name = upper.left(open).trimmed();
    const QString inner = text.mid(open + 1, text.size() - open - 2);
    if (name.isEmpty())
        return expressionMayBeLogical(inner, nesting + 1);
    // Names may carry a namespace prefix in the office's form ("_xlfn.XOR").
    const QString bare = name.mid(name.lastIndexOf(QLatin1Char('.')) + 1);
    if (logicalFunctions().contains(bare))
        return true;

    const QStringList args = splitArguments(inner);
    const auto anyOf = [&](qsizetype from, qsizetype step) {
        for (qsizetype i = from; i < args.size(); i += step) {
            if (expressionMayBeLogical(args[i], nesting + 1))
                return true;
        }
        return false;
    };
    if (bare == QLatin1String("IF") || bare == QLatin1String("CHOOSE"))
        return anyOf(1, 1);
    if (bare == QLatin1String("IFERROR") || bare == QLatin1String("IFNA"))
        return anyOf(0, 1);
    if (bare == QLatin1String("IFS"))
        return anyOf(1, 2); // condition, value, condition, value...
    if (bare == QLatin1String("SWITCH")) {
        // expression, case, value, case, value... and an optional default.
        const bool hasDefault = args.size() % 2 == 0;
        return anyOf(2, 2) || (hasDefault && expressionMayBeLogical(args.last(), nesting + 1));
    }
    return false;
}

} // namespace

bool mayBeLogical(const QString &formula)
{
    QString text = formula.trimmed();
    if (text.startsWith(QLatin1Char('=')))
        text.remove(0, 1);
    return expressionMayBeLogical(text, 0);
}

} // namespace tallyra::LogicalFormula
