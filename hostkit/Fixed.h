// 16.16 fixed-point values as the host stores them, and their shortest readable decimal form.
#pragma once

#include <string>

#include "sdk/AE_Effect.h"

namespace hostkit {

// Nearest 16.16 value, halves away from zero (0.5 / 65536 -> 1, -0.5 / 65536 -> -1), saturated to
// the 32-bit range so that an absurd input gives the nearest representable value, never UB.
PF_Fixed to_fixed(double value);

double from_fixed(PF_Fixed value);

// The shortest decimal text that converts back (through to_fixed) to exactly `value`: 61.39 rather
// than 61.38999938964844. Five decimals always suffice, since 1e-5 is less than half of 1/65536.
std::string format_fixed(PF_Fixed value);

} // namespace hostkit
