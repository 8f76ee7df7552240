#pragma once

#include <QString>

// The one rule by which people find text on screen (grid search, pick lists,
// multi-selections): case and accents do not count, so "sao" finds
// "São Paulo". Letters without accents, digits and punctuation compare as
// typed, so codes still match exactly as they are written.
namespace TextMatch {
// The text as compared: case-folded, combining accents dropped.
QString folded(const QString &text);
// needle (already folded) inside haystack; an empty needle matches anything.
bool containsFolded(const QString &haystack, const QString &foldedNeedle);
bool startsWithFolded(const QString &haystack, const QString &foldedNeedle);
bool contains(const QString &haystack, const QString &needle);
} // namespace TextMatch
