// The options (preset) file reader: the bytes as a file's content, read,
// then every name looked up and set again, written and read back.
#include "OptionsFile.h"
#include "VexErrors.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {
// In memory where there is a tmpfs: the writer syncs its file to disk.
QString scratch(const char *what)
{
    const QString dir = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                   : QDir::tempPath();
    return QStringLiteral("%1/vex-fuzz-options-%2-%3.opc").arg(dir).arg(::getpid()).arg(what);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString input = scratch("in"), output = scratch("out");
    {
        QFile f(input);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    QStringList lines;
    try {
        lines = OptionsFile::read(input);
    } catch (const EVexError &e) {
        if (e.message().isEmpty())
            std::abort();
        return 0;
    }
    QStringList copy = lines;
    for (const QString &line : lines) {
        const QString name = line.section(u'=', 0, 0);
        bool found = false;
        const QString value = OptionsFile::value(lines, name, &found);
        if (!found)
            std::abort(); // a name read is a name found
        OptionsFile::setValue(copy, name, value);
    }
    try {
        OptionsFile::write(output, copy);
        if (OptionsFile::read(output) != copy)
            std::abort(); // written and read back differ
    } catch (const EVexError &) {
    }
    return 0;
}
