// Shared pieces of the render and optics tests: a host allocator that grants a set number of blocks
// (none: every allocation fails), a posed camera, and output planes with a pixel buffer over them.
#pragma once

#include "platform/HyMemory.h"
#include "render/HyCamera.h"
#include "render/HyPixelBuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace render_test {

// While it lives, blocks come from a host allocator that grants `grants` of them and refuses the rest.
class AllocationBudget {
public:
    explicit AllocationBudget(int grants)
    {
        left_ = grants;
        hymem::install_hook(&hook, hymem::make_tag('T', 'E', 'S', 'T'), true, 0);
    }
    ~AllocationBudget() { hymem::install_hook(nullptr, 0, false, 0); }
    AllocationBudget(const AllocationBudget&) = delete;
    AllocationBudget& operator=(const AllocationBudget&) = delete;

private:
    static inline int left_ = 0;
    static int hook(int op, void** cell, std::size_t bytes, std::uintptr_t)
    {
        if (op != hymem::kHookAllocate) {
            std::free(*cell);
            return 1;
        }
        if (left_ <= 0)
            return 0;
        --left_;
        *cell = std::malloc(bytes);
        return *cell != nullptr;
    }
};

struct Pose {
    double a, b, c;
};

// A camera at (x, y, z) with the pose given, w x h pixels with square pixels of `hfov` radians across.
inline HyRenderData_Camera make_camera(std::uint32_t w, std::uint32_t h, double hfov, const Pose& p,
                                       double x = 3.0, double y = -4.0, double z = 12.0)
{
    HyRenderData_Camera cam;
    cam.set_image_size(w, h);
    cam.set_fields_of_view(hfov, 2.0 * std::atan(std::tan(hfov / 2.0) * h / w));
    cam.set_position(x, y, z);
    cam.set_orientation(p.a, p.b, p.c);
    return cam;
}

// Final colour planes (rows x columns floats, row major) and a pixel buffer over them, allocated.
struct Canvas {
    std::vector<float> r, g, b;
    HyPixelBuffer buffer;
    Canvas(int rows, int columns)
        : r(std::size_t(rows) * std::size_t(columns)), g(r.size()), b(r.size()),
          buffer(std::uint32_t(rows), std::uint32_t(columns), r.data(), g.data(), b.data())
    {
        EXPECT_EQ(buffer.allocate(), 1);
    }
};

} // namespace render_test
