// Shared pieces of the water, air and texture optics tests: numerical integration as an independent
// oracle, and unit vectors.
#pragma once

#include <cmath>

namespace optics_test {

// Composite Simpson rule on [a, b] with n (even) intervals.
template <class F>
double simpson(F f, double a, double b, int n = 20000)
{
    const double h = (b - a) / n;
    double s = f(a) + f(b);
    for (int i = 1; i < n; ++i)
        s += f(a + i * h) * (i % 2 ? 4.0 : 2.0);
    return s * h / 3.0;
}

inline void normalise(double* v)
{
    const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    v[0] /= l;
    v[1] /= l;
    v[2] /= l;
}

} // namespace optics_test
