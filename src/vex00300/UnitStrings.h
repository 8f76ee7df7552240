#pragma once

#include <QString>
#include <QStringList>

#include <span>

// A unit-level string with its name, so a unit can clear its strings in a
// fixed order at unload and tests can read that order back.
struct NamedString
{
    const char *name;
    QString *value;
};

// Runs a unit's initialization or finalization once per package load,
// however often the runtime asks.
class RunOnce final
{
public:
    bool firstTime() { return m_count++ == 0; }

private:
    int m_count = 0;
};

void clearInOrder(std::span<const NamedString> strings);
QStringList namesInOrder(std::span<const NamedString> strings);
