// HyRandom: the seeded generator of uniform and normal deviates. Every spectral element reseeds its
// own generator before building its initial state, so equal parameters always give an equal sea.
//
// Mode 902 (default): a shuffle generator built from three linear congruential generators with a
// 97-entry table; its sequence is fixed by the constants below and is part of the look of the sea.
// Mode 901: defers to the runtime library's rand()/srand() (sequence not portable).
#pragma once

#include <cstdint>

class HyRandom {
public:
    static constexpr std::uint32_t kModeShuffle = 902;
    static constexpr std::uint32_t kModeRuntime = 901;

    HyRandom() = default;

    void set_mode(std::uint32_t mode) { this->mode = mode; }
    // Restarts the sequence completely; clears the cached normal deviate.
    void seed(std::int32_t s);
    // Uniform deviate in [0, 1). Unseeded: prints "attempt to use uninitialized random number
    // generator" on the standard output and returns 0.0.
    double uniform();
    // Standard normal deviate (Box-Muller in mode 902, caching the sine partner).
    double gaussian();

    bool is_initialised() const { return initialised != 0; }

    // Fields, in declaration order.
    std::uint32_t mode = kModeShuffle;
    std::int32_t M1 = 259200, M2 = 134456, M3 = 243000;
    std::int32_t IA1 = 7141, IA2 = 8121, IA3 = 4561;
    std::int32_t IC1 = 54773, IC2 = 28411, IC3 = 51349;
    double RM1 = 3.8580247e-06, RM2 = 7.4373773e-06;
    std::int32_t normal_pending = 0;
    double cached_normal = 0.0;
    std::int32_t initialised = 0;
    std::int32_t seed_value = 0;
    std::int32_t ix1 = 0, ix2 = 0, ix3 = 0;
    double table[97] = {};
};
