#include "SqlCursor.h"

namespace {
int digits(QByteArrayView text, qsizetype from, qsizetype count)
{
    int n = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}
} // namespace

QDate SqlCursor::isoDay(QByteArrayView text)
{
    if (text.size() < 10 || text[4] != '-' || text[7] != '-')
        return {};
    return QDate(digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2));
}
