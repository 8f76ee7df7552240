#include "DemoRandom.h"

namespace VexDb {

DemoRandom::DemoRandom(quint64 seed, quint64 stream) : m_inc((stream << 1u) | 1u)
{
    next();
    m_state += seed;
    next();
}

quint32 DemoRandom::next()
{
    const quint64 old = m_state;
    m_state = old * 6364136223846793005ULL + m_inc;
    const auto xorshifted = quint32(((old >> 18u) ^ old) >> 27u);
    const auto rot = quint32(old >> 59u);
    return (xorshifted >> rot) | (xorshifted << ((32u - rot) & 31u));
}

quint32 DemoRandom::below(quint32 bound)
{
    if (bound == 0)
        return 0;
    // Rejection keeps the draw unbiased.
    const quint32 threshold = (0u - bound) % bound;
    for (;;) {
        const quint32 r = next();
        if (r >= threshold)
            return r % bound;
    }
}

int DemoRandom::between(int low, int high)
{
    if (high <= low)
        return low;
    return low + int(below(quint32(high - low + 1)));
}

bool DemoRandom::percent(int chance)
{
    return int(below(100)) < chance;
}

} // namespace VexDb
