#include "FramePattern.h"

#include <cctype>
#include <cstdio>

namespace seavast_app {
namespace {

std::string padded(long frame, std::size_t width)
{
    const std::string digits = std::to_string(frame < 0 ? -frame : frame);
    std::string out = frame < 0 ? "-" : "";
    if (digits.size() < width)
        out.append(width - digits.size(), '0');
    return out + digits;
}

} // namespace

bool expand_frame_pattern(const std::string& pattern, long frame, std::string* out)
{
    std::string result;
    bool any = false;
    for (std::size_t i = 0; i < pattern.size();) {
        if (pattern[i] == '#') {
            std::size_t n = 0;
            for (; i < pattern.size() && pattern[i] == '#'; ++i)
                ++n;
            result += padded(frame, n);
            any = true;
            continue;
        }
        if (pattern[i] == '%') {
            if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
                result.push_back('%');
                i += 2;
                continue;
            }
            // %d, %4d, %04d: the width pads with zeros either way, as sequence tools read it.
            std::size_t j = i + 1;
            std::size_t width = 0;
            for (; j < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[j])) && j - i <= 3; ++j)
                width = width * 10 + std::size_t(pattern[j] - '0');
            if (j < pattern.size() && pattern[j] == 'd') {
                result += padded(frame, width);
                i = j + 1;
                any = true;
                continue;
            }
        }
        result.push_back(pattern[i++]);
    }
    *out = result;
    return any;
}

bool parse_frame_range(const std::string& text, FrameRange* out)
{
    long a = 0, b = 0, step = 1;
    char dash = 0, colon = 0, extra = 0;
    const int n = std::sscanf(text.c_str(), "%ld%c%ld%c%ld%c", &a, &dash, &b, &colon, &step, &extra);
    if (n == 1) {
        b = a;
    } else if (!((n == 3 && dash == '-') || (n == 5 && dash == '-' && colon == ':'))) {
        return false;
    }
    // Digits only: sscanf would take "+3" or " 3", which no one means in a frame range.
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '-' && c != ':')
            return false;
    if (a < 0 || b < a || step < 1)
        return false;
    *out = FrameRange{a, b, step};
    return true;
}

} // namespace seavast_app
