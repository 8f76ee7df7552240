#include "UnitStrings.h"

void clearInOrder(std::span<const NamedString> strings)
{
    for (const NamedString &entry : strings)
        entry.value->clear();
}

QStringList namesInOrder(std::span<const NamedString> strings)
{
    QStringList names;
    for (const NamedString &entry : strings)
        names << QString::fromLatin1(entry.name);
    return names;
}
