// Render data records: the texture flag rule, the grid query through a stand-in surface, and records
// (with their type codes) from the tagged allocator.
#include "ocean/HyOceanSurface.h"
#include "platform/HyMemory.h"
#include "render/HyCamera.h"
#include "render/HyRenderData.h"
#include "tests/render/render_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

// The ocean surface's own accessor has the shape the record's grid query calls.
static_assert(requires(HyOceanSurface* s, HyGridMulti*& g) {
    { s->get_grid(g) } -> std::convertible_to<int>;
});

namespace {

// Stand-ins: only their addresses pass through the records.
HyGridMulti* fake_grid(int k) { return reinterpret_cast<HyGridMulti*>(0x1000 * static_cast<std::uintptr_t>(k)); }
template <class T>
T* fake(int k)
{
    return reinterpret_cast<T*>(0x100 * static_cast<std::uintptr_t>(k));
}

// A surface whose grid accessor has the ocean surface's shape.
struct SurfaceByReference {
    HyGridMulti* grid = nullptr;
    int calls = 0;
    int get_grid(HyGridMulti*& out)
    {
        ++calls;
        out = grid;
        return grid != nullptr ? 1 : 0;
    }
};

// Other shapes a grid accessor could take.
struct SurfaceReturningPointer {
    HyGridMulti* grid = nullptr;
    HyGridMulti* get_grid() { return grid; }
};
struct SurfaceByPointerVoid {
    HyGridMulti* grid = nullptr;
    void get_grid(HyGridMulti** out) { *out = grid; }
};

} // namespace

TEST(RenderData, EveryTextureSetterRaisesThePresentFlagAndClearingKeepsIt)
{
    // Plain function pointers rather than member pointers: GCC 12 with -fsanitize=undefined
    // miscompiles calls through arrays of virtual member pointers.
    using Setter = void (*)(HyRenderData_Ocean&, Hy2DTextureGroup*);
    using Getter = Hy2DTextureGroup* (*)(const HyRenderData_Ocean&);
    const Setter setters[3] = {
        [](HyRenderData_Ocean& o, Hy2DTextureGroup* g) { o.set_texture_above(g); },
        [](HyRenderData_Ocean& o, Hy2DTextureGroup* g) { o.set_texture_below(g); },
        [](HyRenderData_Ocean& o, Hy2DTextureGroup* g) { o.set_texture_on(g); },
    };
    const Getter getters[3] = {
        [](const HyRenderData_Ocean& o) { Hy2DTextureGroup* g = nullptr; o.get_texture_above(g); return g; },
        [](const HyRenderData_Ocean& o) { Hy2DTextureGroup* g = nullptr; o.get_texture_below(g); return g; },
        [](const HyRenderData_Ocean& o) { Hy2DTextureGroup* g = nullptr; o.get_texture_on(g); return g; },
    };
    for (int k = 0; k < 3; ++k) {
        HyRenderData_Ocean ocean;
        setters[k](ocean, fake<Hy2DTextureGroup>(k + 1));
        EXPECT_EQ(ocean.get_textures_present(), 1u) << k;
        // Only the group that was set changes.
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(getters[j](ocean), j == k ? fake<Hy2DTextureGroup>(k + 1) : nullptr) << k << " " << j;
        }
        // Clearing the pointer keeps the flag; only the explicit setter lowers it.
        setters[k](ocean, nullptr);
        EXPECT_EQ(ocean.get_textures_present(), 1u);
        ocean.set_textures_present(0);
        EXPECT_EQ(ocean.get_textures_present(), 0u);
        // Even a null group counts as "set".
        setters[k](ocean, nullptr);
        EXPECT_EQ(ocean.get_textures_present(), 1u);
    }
}

TEST(RenderData, GridComesFromTheSurfaceAndIsRefusedWithoutOne)
{
    HyRenderData_Ocean ocean;
    HyGridMulti* grid = fake_grid(5);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ocean.get_grid(grid), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(grid, nullptr);
    EXPECT_NE(err.find("HyRenderData_Ocean::get_grid"), std::string::npos);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);

    SurfaceByReference surface;
    surface.grid = fake_grid(7);
    ocean.set_surface(&surface);
    EXPECT_EQ(ocean.surface_as<SurfaceByReference>(), &surface);
    HyOceanSurface* stored = nullptr;
    ocean.get_surface(stored);
    EXPECT_EQ(static_cast<void*>(stored), static_cast<void*>(&surface));
    ASSERT_EQ(ocean.get_grid(grid), 1);
    EXPECT_EQ(grid, fake_grid(7));
    EXPECT_EQ(surface.calls, 1);
    // The record asks every time: a surface that rebuilt its grid hands out the new one.
    surface.grid = fake_grid(8);
    ASSERT_EQ(ocean.get_grid(grid), 1);
    EXPECT_EQ(grid, fake_grid(8));
    // A surface without a grid is a failure, not a stale pointer.
    surface.grid = nullptr;
    grid = fake_grid(9);
    EXPECT_EQ(ocean.get_grid(grid), 0);
    EXPECT_EQ(grid, nullptr);

    SurfaceReturningPointer by_value;
    by_value.grid = fake_grid(11);
    ocean.set_surface(&by_value);
    ASSERT_EQ(ocean.get_grid(grid), 1);
    EXPECT_EQ(grid, fake_grid(11));

    SurfaceByPointerVoid by_pointer;
    by_pointer.grid = fake_grid(12);
    ocean.set_surface(&by_pointer);
    ASSERT_EQ(ocean.get_grid(grid), 1);
    EXPECT_EQ(grid, fake_grid(12));

    // Clearing the surface clears the way to the grid too.
    ocean.set_surface(nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ocean.get_grid(grid), 0);
    testing::internal::GetCapturedStderr();
    ocean.set_surface(static_cast<SurfaceByReference*>(nullptr));
    testing::internal::CaptureStderr();
    EXPECT_EQ(ocean.get_grid(grid), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(grid, nullptr);
}

TEST(RenderData, RecordsComeFromTheTaggedAllocatorAndFailCleanly)
{
    const auto before = hymem::heap_bytes();
    {
        std::unique_ptr<HyRenderData> records[4] = {
            std::unique_ptr<HyRenderData>(new HyRenderData_Air),
            std::unique_ptr<HyRenderData>(new HyRenderData_Ocean),
            std::unique_ptr<HyRenderData>(new HyRenderData_Light),
            std::unique_ptr<HyRenderData>(new HyRenderData_Camera),
        };
        const std::uint32_t types[4] = {1, 3, 100, 200};
        for (int k = 0; k < 4; ++k) {
            ASSERT_NE(records[k], nullptr);
            EXPECT_EQ(hymem::block_tag(records[k].get()), hymem::kHeapTag);
            EXPECT_EQ(records[k]->type, types[k]);
        }
        EXPECT_GT(hymem::heap_bytes(), before);
    } // deleted through the base: every byte goes back
    EXPECT_EQ(hymem::heap_bytes(), before);

    HyRenderData_Camera* camera;
    HyRenderData_Ocean* ocean;
    {
        render_test::AllocationBudget refuse_all(0);
        camera = new HyRenderData_Camera;
        ocean = new HyRenderData_Ocean;
    }
    EXPECT_EQ(camera, nullptr);
    EXPECT_EQ(ocean, nullptr);
}
