#include "TEditMask.h"

#include <QList>

namespace {

enum class CaseMode { Keep, Upper, Lower };

// One position of the picture: an input position (its picture character)
// or a literal.
struct Item
{
    bool input = false;
    QChar ch;
    CaseMode caseMode = CaseMode::Keep;
};

bool isInputChar(QChar c)
{
    static const QString inputs = QStringLiteral("LlAaCc09#");
    return inputs.contains(c);
}

QList<Item> parsePicture(const QString &picture)
{
    QList<Item> items;
    CaseMode mode = CaseMode::Keep;
    for (int i = 0; i < picture.size(); ++i) {
        const QChar c = picture.at(i);
        if (c == QLatin1Char('>')) {
            mode = CaseMode::Upper;
        } else if (c == QLatin1Char('<')) {
            if (i + 1 < picture.size() && picture.at(i + 1) == QLatin1Char('>')) {
                mode = CaseMode::Keep;
                ++i;
            } else {
                mode = CaseMode::Lower;
            }
        } else if (c == QLatin1Char('!')) {
            continue; // blank trimming: no effect on the stored value
        } else if (c == QLatin1Char('\\')) {
            if (++i < picture.size())
                items.append({false, picture.at(i), mode});
        } else if (c == QLatin1Char('_')) {
            items.append({false, QLatin1Char(' '), mode});
        } else {
            items.append({isInputChar(c), c, mode});
        }
    }
    return items;
}

QChar applyCase(QChar c, CaseMode mode)
{
    switch (mode) {
    case CaseMode::Upper: return c.toUpper();
    case CaseMode::Lower: return c.toLower();
    case CaseMode::Keep: break;
    }
    return c;
}

// Whether a typed character can stand at an input position; used to tell a
// literal from a character when the edit dropped its blanks.
bool fits(QChar picture, QChar c)
{
    switch (picture.toLatin1()) {
    case '0':
    case '9': return c.isDigit();
    case '#': return c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-');
    case 'L':
    case 'l': return c.isLetter();
    case 'A':
    case 'a': return c.isLetterOrNumber();
    default: return true;
    }
}

bool isLiteralOf(const QList<Item> &items, QChar c)
{
    for (const Item &item : items) {
        if (!item.input && item.ch == c)
            return true;
    }
    return false;
}

// Splits at ';' not escaped by '\\'.
QStringList splitMask(const QString &mask)
{
    QStringList parts;
    QString current;
    for (int i = 0; i < mask.size(); ++i) {
        const QChar c = mask.at(i);
        if (c == QLatin1Char('\\') && i + 1 < mask.size()) {
            current += c;
            current += mask.at(++i);
        } else if (c == QLatin1Char(';')) {
            parts << current;
            current.clear();
        } else {
            current += c;
        }
    }
    parts << current;
    return parts;
}

QChar qtInputChar(QChar c)
{
    switch (c.toLatin1()) {
    case '0': return QLatin1Char('9'); // required digit
    case '9': return QLatin1Char('0'); // optional digit
    case '#': return QLatin1Char('#');
    case 'L': return QLatin1Char('A');
    case 'l': return QLatin1Char('a');
    case 'A': return QLatin1Char('N');
    case 'a': return QLatin1Char('n');
    case 'C': return QLatin1Char('X');
    default: return QLatin1Char('x');
    }
}

} // namespace

TEditMask::TEditMask(const QString &mask)
    : m_mask(mask)
{
    const QStringList parts = splitMask(mask);
    if (parts.size() >= 3) {
        m_picture = parts.mid(0, parts.size() - 2).join(QLatin1Char(';'));
        m_keepLiterals = parts.at(parts.size() - 2).trimmed() != QLatin1String("0");
        if (!parts.last().isEmpty())
            m_blank = parts.last().at(0);
    } else if (parts.size() == 2) {
        m_picture = parts.at(0);
        m_keepLiterals = parts.at(1).trimmed() != QLatin1String("0");
    } else {
        m_picture = mask;
    }
}

bool TEditMask::isEmpty() const
{
    return m_picture.isEmpty();
}

QString TEditMask::mask() const
{
    return m_mask;
}

bool TEditMask::keepsLiterals() const
{
    return m_keepLiterals;
}

QChar TEditMask::blank() const
{
    return m_blank;
}

QString TEditMask::format(const QString &rawValue) const
{
    if (isEmpty())
        return rawValue;
    const QList<Item> items = parsePicture(m_picture);
    QString out;
    int next = 0;
    for (const Item &item : items) {
        if (next >= rawValue.size())
            break; // the value ends here: trailing literals are left out
        if (!item.input) {
            if (m_keepLiterals && rawValue.at(next) == item.ch)
                ++next;
            out += item.ch;
        } else {
            out += applyCase(rawValue.at(next++), item.caseMode);
        }
    }
    // A value longer than the picture is shown whole rather than cut.
    return out + rawValue.mid(next);
}

QString TEditMask::strip(const QString &maskedText) const
{
    if (isEmpty())
        return maskedText;
    const QList<Item> items = parsePicture(m_picture);
    QString out;
    int j = 0;
    for (int i = 0; i < maskedText.size();) {
        const QChar c = maskedText.at(i);
        if (j >= items.size()) {
            if (c != m_blank && !isLiteralOf(items, c))
                out += c;
            ++i;
            continue;
        }
        const Item &item = items.at(j);
        if (!item.input) {
            if (c == item.ch)
                ++i;
            if (m_keepLiterals)
                out += item.ch;
            ++j;
        } else if (c == m_blank || (c == QLatin1Char(' ') && !fits(item.ch, c))) {
            if (m_keepLiterals)
                out += QLatin1Char(' ');
            ++i;
            ++j;
        } else if (!fits(item.ch, c)) {
            ++j; // position left blank and dropped by the edit
        } else {
            out += applyCase(c, item.caseMode);
            ++i;
            ++j;
        }
    }
    if (m_keepLiterals) {
        while (out.endsWith(QLatin1Char(' ')))
            out.chop(1);
    }
    return out;
}

QString TEditMask::toInputMask() const
{
    if (isEmpty())
        return {};
    static const QString qtSpecial = QStringLiteral("AaNnXx90Dd#HhBb<>!\\[]{};");
    const QList<Item> items = parsePicture(m_picture);
    QString out;
    CaseMode mode = CaseMode::Keep;
    for (const Item &item : items) {
        if (item.caseMode != mode) {
            mode = item.caseMode;
            out += mode == CaseMode::Upper   ? QLatin1Char('>')
                   : mode == CaseMode::Lower ? QLatin1Char('<')
                                             : QLatin1Char('!');
        }
        if (item.input)
            out += qtInputChar(item.ch);
        else if (qtSpecial.contains(item.ch))
            out += QLatin1Char('\\') + QString(item.ch);
        else
            out += item.ch;
    }
    return out + QLatin1Char(';') + m_blank;
}
