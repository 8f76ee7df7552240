#pragma once

#include <QtGlobal>

namespace VexDb {

// PCG32 (O'Neill): small, fast and identical on every platform, so a seed
// always yields the same demo company.
class DemoRandom final
{
public:
    explicit DemoRandom(quint64 seed, quint64 stream = 54);

    quint32 next();
    // Uniform in [0, bound); 0 when bound is 0.
    quint32 below(quint32 bound);
    // Uniform in [low, high], inclusive.
    int between(int low, int high);
    // True with the given chance in percent.
    bool percent(int chance);

private:
    quint64 m_state = 0;
    quint64 m_inc = 0;
};

} // namespace VexDb
