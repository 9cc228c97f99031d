// Frame numbers in file names and frame ranges, as image-sequence tools write them.
#pragma once

#include <string>

namespace seavast_app {

// Replaces every run of '#' by `frame` zero-padded to the run's length, and every printf-style
// %d / %0Nd by `frame` (padded to N); "%%" is a literal percent sign. False when the pattern holds
// no frame number.
bool expand_frame_pattern(const std::string& pattern, long frame, std::string* out);

// "A", "A-B" or "A-B:STEP" with 0 <= A <= B and STEP >= 1: frames A, A + STEP, ... up to B.
struct FrameRange {
    long first = 0;
    long last = 0;
    long step = 1;
    long count() const { return (last - first) / step + 1; }
};
bool parse_frame_range(const std::string& text, FrameRange* out);

} // namespace seavast_app
