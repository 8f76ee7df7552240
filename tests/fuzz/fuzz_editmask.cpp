// Edit masks: the first line is the mask, the rest the value formatted,
// stripped and typed.
#include "TEditMask.h"

#include <QString>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype cut = text.indexOf(u'\n');
    const QString mask = cut < 0 ? text : text.left(cut);
    const QString value = cut < 0 ? QString() : text.mid(cut + 1);
    const TEditMask m(mask);
    (void)m.isEmpty();
    (void)m.keepsLiterals();
    (void)m.blank();
    const QString shown = m.format(value);
    (void)m.strip(shown);
    (void)m.strip(value);
    (void)m.toInputMask();
    return 0;
}
