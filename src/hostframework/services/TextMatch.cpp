#include "TextMatch.h"

namespace TextMatch {

namespace {
bool isAscii(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}
} // namespace

QString folded(const QString &text)
{
    // Most cells are plain ASCII: no decomposition needed for them.
    if (isAscii(text))
        return text.toLower();
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString result;
    result.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            result.append(c);
    }
    return result.toCaseFolded();
}

// A plain ASCII text compares without a folded copy: its folding is its
// lower case, and a folded needle is lower case.
bool containsFolded(const QString &haystack, const QString &foldedNeedle)
{
    if (isAscii(haystack))
        return haystack.contains(foldedNeedle, Qt::CaseInsensitive);
    return folded(haystack).contains(foldedNeedle);
}

bool startsWithFolded(const QString &haystack, const QString &foldedNeedle)
{
    if (isAscii(haystack))
        return haystack.startsWith(foldedNeedle, Qt::CaseInsensitive);
    return folded(haystack).startsWith(foldedNeedle);
}

bool contains(const QString &haystack, const QString &needle)
{
    return containsFolded(haystack, folded(needle));
}

} // namespace TextMatch
