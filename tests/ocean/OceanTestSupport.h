// Set-up the ocean tests share: array checks, allocation refusal through the allocator hook,
// capture of the diagnostic streams and temporary file names.
#pragma once

#include "platform/HyMemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <unistd.h>

namespace oceantest {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr std::uint32_t kTestTag = hymem::make_tag('T', 'E', 'S', 'T');

inline double max_abs(const float* v, std::size_t n)
{
    double m = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        m = std::max(m, std::fabs(double(v[i])));
    return m;
}

inline bool all_finite(const float* v, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isfinite(v[i]))
            return false;
    return true;
}

// Allocation hook: refuses every block of at least `user` bytes (0: every block) and serves the
// others from malloc.
inline int refuse_from(int op, void** cell, std::size_t bytes, std::uintptr_t user)
{
    if (op == hymem::kHookAllocate) {
        if (bytes >= user) {
            *cell = nullptr;
            return 0;
        }
        *cell = std::malloc(bytes);
        return *cell != nullptr;
    }
    std::free(*cell);
    return 1;
}

// While alive, the allocator refuses every block of at least `from` bytes (0: every block). Blocks
// served meanwhile must be freed before it goes.
struct RefusedAllocations {
    explicit RefusedAllocations(std::size_t from = 0) { hymem::install_hook(refuse_from, kTestTag, true, from); }
    ~RefusedAllocations() { hymem::install_hook(nullptr, 0, false, 0); }
    RefusedAllocations(const RefusedAllocations&) = delete;
    RefusedAllocations& operator=(const RefusedAllocations&) = delete;
};

// What a call printed on the two streams.
struct Printed {
    std::string err, out;
};

template <class F>
Printed printed(F&& f)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    f();
    Printed p;
    p.err = testing::internal::GetCapturedStderr();
    p.out = testing::internal::GetCapturedStdout();
    return p;
}

// A file name in the temporary directory, unique to this process.
inline std::string temp_path(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("seavast_h3_" + std::to_string(::getpid()) + "_" + name))
        .string();
}

} // namespace oceantest
