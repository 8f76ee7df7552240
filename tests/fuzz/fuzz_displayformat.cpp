// Display formats: the first 8 bytes are the value (any double, NaN and
// infinities included), the rest the format text.
#include "DisplayFormat.h"

#include <QString>

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    double value = 0;
    if (size >= sizeof value) {
        std::memcpy(&value, data, sizeof value);
        data += sizeof value;
        size -= sizeof value;
    }
    const QString format
        = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)DisplayFormat::formatFloat(format, value);
    (void)DisplayFormat::formatGeneral(value);
    return 0;
}
