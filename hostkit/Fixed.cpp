#include "hostkit/Fixed.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace hostkit {

PF_Fixed to_fixed(double value)
{
    if (std::isnan(value))
        return 0;
    // Scaling by a power of two is exact, and std::round sends halves away from zero.
    const double scaled = std::round(value * 65536.0);
    if (scaled >= double(std::numeric_limits<PF_Fixed>::max()))
        return std::numeric_limits<PF_Fixed>::max();
    if (scaled <= double(std::numeric_limits<PF_Fixed>::min()))
        return std::numeric_limits<PF_Fixed>::min();
    return PF_Fixed(scaled);
}

double from_fixed(PF_Fixed value)
{
    return double(value) / 65536.0;
}

std::string format_fixed(PF_Fixed value)
{
    char text[48];
    for (int decimals = 0; decimals <= 6; ++decimals) {
        std::snprintf(text, sizeof text, "%.*f", decimals, from_fixed(value));
        if (to_fixed(std::strtod(text, nullptr)) == value)
            break;
    }
    std::string out(text);
    if (out.size() > 1 && out[0] == '-' && std::strtod(text, nullptr) == 0.0)
        out.erase(0, 1);
    return out;
}

} // namespace hostkit
