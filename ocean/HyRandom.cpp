#include "ocean/HyRandom.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Remainder of a signed 32-bit division brought into 0..m-1. The products stay below 2^31
// (7141 * 259199 + 54773 is about 1.85e9), so 32-bit arithmetic is exact.
inline std::int32_t reduce(std::int32_t v, std::int32_t m)
{
    std::int32_t r = v % m;
    return r < 0 ? r + m : r;
}

} // namespace

void HyRandom::seed(std::int32_t s)
{
    seed_value = s;
    normal_pending = 0;
    initialised = 1;
    if (mode == kModeRuntime) {
        std::srand(static_cast<unsigned>(s));
        return;
    }
    // A seed above IC1 makes the difference negative; computed in 64 bits so that any seed,
    // INT32_MIN included, reduces without overflow.
    ix1 = static_cast<std::int32_t>(((static_cast<std::int64_t>(IC1) - s) % M1 + M1) % M1);
    ix1 = reduce(IA1 * ix1 + IC1, M1);
    ix2 = reduce(ix1, M2);
    ix1 = reduce(IA1 * ix1 + IC1, M1);
    ix3 = reduce(ix1, M3);
    for (int k = 0; k < 97; ++k) {
        ix1 = reduce(IA1 * ix1 + IC1, M1);
        ix2 = reduce(IA2 * ix2 + IC2, M2);
        table[k] = (ix1 + ix2 * RM2) * RM1;
    }
}

double HyRandom::uniform()
{
    if (!initialised) {
        std::fputs("attempt to use uninitialized random number generator\n", stdout);
        std::fflush(stdout);
        return 0.0;
    }
    if (mode == kModeRuntime) {
        // The library generator was designed around a 15-bit rand(); keep the deviate in [0, 1] where
        // RAND_MAX is larger (identical where it is 32767).
        return (std::rand() % 32768) / 32767.0;
    }
    ix1 = reduce(IA1 * ix1 + IC1, M1);
    ix2 = reduce(IA2 * ix2 + IC2, M2);
    ix3 = reduce(IA3 * ix3 + IC3, M3);
    // ix3 < M3, so 97*ix3 < 2.4e7 and j lies in 0..96.
    const int j = (97 * ix3) / M3;
    const double result = table[j];
    table[j] = (ix1 + ix2 * RM2) * RM1;
    return result;
}

double HyRandom::gaussian()
{
    if (mode == kModeRuntime) {
        double sum = 0.0;
        for (int k = 0; k < 12; ++k)
            sum += uniform();
        return sum - 6.0;
    }
    if (normal_pending) {
        normal_pending = 0;
        return cached_normal;
    }
    const double u1 = uniform();
    const double u2 = uniform();
    const double theta = u1 * 6.283185307;
    double r = 0.0;
    if (u2 > 0.0 && u2 < 1.0) {
        const double q = -2.0 * std::log(u2);
        if (q > 0.0)
            r = std::sqrt(q);
    } else {
        r = 1.0;
    }
    cached_normal = r * std::sin(theta);
    normal_pending = 1;
    return r * std::cos(theta);
}
