#include "DisplayFormat.h"

#include <QStringList>

#include <charconv>
#include <cmath>

namespace {

const QChar kThousands = QLatin1Char('.');
const QChar kDecimal = QLatin1Char(',');

// One section of a format, split around its digit placeholders.
struct Section
{
    QString prefix;                 // literals before the first placeholder
    QString integerPattern;         // placeholders and inner literals
    QString fractionPattern;
    QString suffix;                 // literals after the last placeholder
    bool grouping = false;
    bool hasDecimalPoint = false;
    int minIntegerDigits = 0;
    int minDecimals = 0;
    int maxDecimals = 0;
};

bool isPlaceholder(QChar c)
{
    return c == QLatin1Char('0') || c == QLatin1Char('#');
}

// Splits on ';' outside quotes.
QStringList splitSections(const QString &format)
{
    QStringList sections;
    QString current;
    QChar quote;
    for (QChar c : format) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
        } else if (c == QLatin1Char(';')) {
            sections << current;
            current.clear();
            continue;
        }
        current += c;
    }
    sections << current;
    return sections;
}

// Quoted text becomes plain literal characters, marked so placeholders in
// quotes stay literal: each literal is stored as '\\' + character.
QString tokenize(const QString &section)
{
    QString out;
    QChar quote;
    for (QChar c : section) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                out += QLatin1Char('\\') + QString(c);
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
        } else if (isPlaceholder(c) || c == QLatin1Char('.') || c == QLatin1Char(',')) {
            out += c;
        } else {
            out += QLatin1Char('\\') + QString(c);
        }
    }
    return out;
}

QString literalText(const QString &tokens)
{
    QString out;
    for (int i = 0; i < tokens.size(); ++i) {
        if (tokens.at(i) == QLatin1Char('\\') && i + 1 < tokens.size())
            out += tokens.at(++i);
    }
    return out;
}

Section parseSection(const QString &text)
{
    Section s;
    const QString tokens = tokenize(text);
    int first = -1;
    int last = -1;
    for (int i = 0; i < tokens.size(); ++i) {
        if (tokens.at(i) == QLatin1Char('\\')) {
            ++i;
            continue;
        }
        if (first < 0)
            first = i;
        last = i;
    }
    if (first < 0) {
        s.prefix = literalText(tokens);
        return s;
    }
    s.prefix = literalText(tokens.left(first));
    s.suffix = literalText(tokens.mid(last + 1));
    const QString body = tokens.mid(first, last - first + 1);
    bool inFraction = false;
    bool seenZero = false;
    for (int i = 0; i < body.size(); ++i) {
        const QChar c = body.at(i);
        if (c == QLatin1Char('\\')) {
            (inFraction ? s.fractionPattern : s.integerPattern) += body.mid(i, 2);
            ++i;
        } else if (c == QLatin1Char('.') && !inFraction) {
            inFraction = true;
            s.hasDecimalPoint = true;
        } else if (c == QLatin1Char(',') || c == QLatin1Char('.')) {
            if (!inFraction)
                s.grouping = true;
        } else if (inFraction) {
            s.fractionPattern += c;
            ++s.maxDecimals;
            if (c == QLatin1Char('0'))
                s.minDecimals = s.maxDecimals;
        } else {
            s.integerPattern += c;
            seenZero = seenZero || c == QLatin1Char('0');
            if (seenZero)
                ++s.minIntegerDigits;
        }
    }
    return s;
}

// Decimal digits of |value| rounded half away from zero to `decimals`
// places, worked on the shortest round-trip text so 1.005 rounds as written.
void roundedDigits(double value, int decimals, QString *integerDigits, QString *fraction)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                      std::chars_format::fixed);
    const QString text = result.ec == std::errc()
                             ? QString::fromLatin1(buffer, int(result.ptr - buffer))
                             : QString::number(std::fabs(value), 'f', decimals + 1);
    const int point = text.indexOf(QLatin1Char('.'));
    QString digits = point < 0 ? text : text.left(point);
    QString frac = point < 0 ? QString() : text.mid(point + 1);
    const bool roundUp = frac.size() > decimals && frac.at(decimals) >= QLatin1Char('5');
    frac = frac.left(decimals).leftJustified(decimals, QLatin1Char('0'));
    if (roundUp) {
        QString all = digits + frac;
        int i = all.size() - 1;
        for (; i >= 0 && all.at(i) == QLatin1Char('9'); --i)
            all[i] = QLatin1Char('0');
        if (i < 0)
            all.prepend(QLatin1Char('1'));
        else
            all[i] = QChar(all.at(i).unicode() + 1);
        digits = all.left(all.size() - decimals);
        frac = all.right(decimals);
    }
    while (digits.size() > 1 && digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    *integerDigits = digits;
    *fraction = frac;
}

QString group(const QString &digits)
{
    QString out;
    const int n = digits.size();
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += kThousands;
        out += digits.at(i);
    }
    return out;
}

// Lays the integer digits right to left into the placeholders; digits that
// do not fit go in front of the first one.
QString layInteger(const Section &s, QString digits)
{
    if (digits == QLatin1String("0") && s.minIntegerDigits == 0)
        digits.clear();
    digits = digits.rightJustified(s.minIntegerDigits, QLatin1Char('0'));
    if (s.grouping)
        return group(digits) + literalText(s.integerPattern);
    QString out;
    int next = digits.size() - 1;
    const QString &p = s.integerPattern;
    for (int i = p.size() - 1; i >= 0; --i) {
        if (i > 0 && p.at(i - 1) == QLatin1Char('\\')) {
            out.prepend(p.at(i));
            --i;
        } else if (next >= 0) {
            out.prepend(digits.at(next--));
        }
    }
    if (next >= 0)
        out.prepend(digits.left(next + 1));
    return out;
}

QString layFraction(const Section &s, QString frac)
{
    while (frac.size() > s.minDecimals && frac.endsWith(QLatin1Char('0')))
        frac.chop(1);
    QString out;
    int next = 0;
    const QString &p = s.fractionPattern;
    for (int i = 0; i < p.size(); ++i) {
        if (p.at(i) == QLatin1Char('\\')) {
            if (++i < p.size())
                out += p.at(i);
        } else if (next < frac.size()) {
            out += frac.at(next++);
        }
    }
    return out.isEmpty() ? out : kDecimal + out;
}

QString formatSection(const Section &s, const QString &digits, const QString &frac)
{
    if (s.integerPattern.isEmpty() && s.fractionPattern.isEmpty() && !s.hasDecimalPoint)
        return s.prefix + s.suffix; // a section of literals only
    return s.prefix + layInteger(s, digits) + layFraction(s, frac) + s.suffix;
}

bool allZero(const QString &digits, const QString &frac)
{
    for (QChar c : digits + frac) {
        if (c != QLatin1Char('0'))
            return false;
    }
    return true;
}

} // namespace

namespace DisplayFormat {

QString formatGeneral(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");
    QString text = QString::number(value, 'g', 15).toUpper();
    text.replace(QLatin1Char('.'), kDecimal);
    return text;
}

QString formatFloat(const QString &format, double value)
{
    if (format.isEmpty() || !std::isfinite(value))
        return formatGeneral(value);
    const QStringList texts = splitSections(format);
    const Section positive = parseSection(texts.at(0));
    QString digits;
    QString frac;
    roundedDigits(value, positive.maxDecimals, &digits, &frac);
    if (allZero(digits, frac)) {
        if (texts.size() > 2 && !texts.at(2).isEmpty())
            return formatSection(parseSection(texts.at(2)), digits, frac);
        return formatSection(positive, digits, frac);
    }
    if (value > 0)
        return formatSection(positive, digits, frac);
    if (texts.size() > 1 && !texts.at(1).isEmpty()) {
        const Section negative = parseSection(texts.at(1));
        roundedDigits(value, negative.maxDecimals, &digits, &frac);
        return formatSection(negative, digits, frac);
    }
    return QLatin1Char('-') + formatSection(positive, digits, frac);
}

} // namespace DisplayFormat
