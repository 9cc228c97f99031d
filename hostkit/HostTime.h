// Times a host passes to the plug-in exactly, as value / scale seconds, and the in-data time fields
// every host of ours fills the same way, so that the same seconds give the same frame in each of them.
#pragma once

#include <string>

#include "hostkit/Host.h"

namespace hostkit {

struct HostTime {
    A_long value = 0;
    A_u_long scale = 1;
    double seconds() const { return double(value) / double(scale); }
};

// Decimal seconds ("7.25", "0.1", "12") as a count of 1/10^d seconds, d the digits after the point
// (at most 6); false for anything else or a time beyond the host's 32-bit range.
bool parse_time(const std::string& text, HostTime* out);

// Seconds a host hands over as a double (frei0r), rounded to microseconds and reduced as parse_time
// reduces decimal text: 0.04 becomes 4 / 100, as "--time 0.04" does. Times beyond the 32-bit range of
// microseconds fall back to coarser scales; false for a time that is not finite.
bool time_from_seconds(double seconds, HostTime* out);

// Puts one frame's time into the in-data fields: current time, scale, a step of about 1/30 s.
void set_frame_time(HostConfig& config, const HostTime& time);

} // namespace hostkit
