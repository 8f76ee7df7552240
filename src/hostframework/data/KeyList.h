#pragma once

#include <QString>
#include <QStringList>

// The list form of a multi-selection: codes separated by commas, no spaces,
// no quotes ("0001,0007"); "" means nothing selected. The application server
// accepts codes of letters and digits, at most the column's size, at most
// MaxKeys of them.
namespace KeyList {
constexpr int MaxKeys = 1000;

// The reason a key cannot travel in a list ("" when it can). maxLength <= 0
// checks no length.
QString refusal(const QString &key, int maxLength);
// Joins keys in order; throws EVexError naming the first refused key, or
// the count when there are more than MaxKeys.
QString encode(const QStringList &keys, int maxLength);
// The keys of a list text; "" gives none.
QStringList decode(const QString &list);
} // namespace KeyList
