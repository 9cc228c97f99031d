#include "hostkit/HostTime.h"

#include <cctype>
#include <cmath>

namespace hostkit {
namespace {

// Drops decimal trailing zeros: 7.250 is 725 / 100.
void reduce(long long* value, long long* scale)
{
    while (*scale > 1 && *value % 10 == 0) {
        *value /= 10;
        *scale /= 10;
    }
}

} // namespace

bool parse_time(const std::string& text, HostTime* out)
{
    std::size_t a = 0, b = text.size();
    while (a < b && std::isspace(static_cast<unsigned char>(text[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(text[b - 1])))
        --b;
    const std::string t = text.substr(a, b - a);
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+'))
        negative = t[i++] == '-';
    long long whole = 0, frac = 0;
    int digits = 0, fracDigits = 0;
    for (; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])); ++i, ++digits) {
        whole = whole * 10 + (t[i] - '0');
        if (whole > 2147483647LL)
            return false;
    }
    if (i < t.size() && t[i] == '.') {
        for (++i; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])); ++i) {
            if (++fracDigits > 6)
                return false;
            frac = frac * 10 + (t[i] - '0');
        }
    }
    if (i != t.size() || digits + fracDigits == 0)
        return false;
    long long scale = 1;
    for (int d = 0; d < fracDigits; ++d)
        scale *= 10;
    reduce(&frac, &scale);
    const long long value = whole * scale + frac;
    if (value > 2147483647LL)
        return false;
    out->value = A_long(negative ? -value : value);
    out->scale = A_u_long(scale);
    return true;
}

bool time_from_seconds(double seconds, HostTime* out)
{
    if (!std::isfinite(seconds))
        return false;
    for (long long scale = 1000000; scale >= 1; scale /= 10) {
        const double scaled = std::round(seconds * double(scale));
        if (std::fabs(scaled) > 2147483647.0)
            continue;
        long long value = static_cast<long long>(scaled);
        long long s = scale;
        if (value == 0)
            s = 1;
        reduce(&value, &s);
        out->value = A_long(value);
        out->scale = A_u_long(s);
        return true;
    }
    return false;
}

void set_frame_time(HostConfig& config, const HostTime& time)
{
    config.time_scale = time.scale;
    config.time_step = A_long(time.scale / 30 > 0 ? time.scale / 30 : 1);
    config.local_time_step = config.time_step;
    config.current_time = time.value;
    config.total_time = config.current_time + config.time_step;
}

} // namespace hostkit
