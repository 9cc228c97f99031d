// Render data records: type codes, defaults, accessor round trips, the texture flag rule, the grid
// query through a stand-in surface, and allocation through the tagged allocator.
#include "ocean/HyOceanSurface.h"
#include "platform/HyMemory.h"
#include "render/HyCamera.h"
#include "render/HyRenderData.h"

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

int refuse(int, void**, std::size_t, std::uintptr_t) { return 0; }

} // namespace

TEST(RenderData, TypeCodesAndDefaults)
{
    HyRenderData_Air air;
    HyRenderData_Ocean ocean;
    HyRenderData_Light light;
    HyRenderData_Camera camera;
    EXPECT_EQ(air.type, 1u);
    EXPECT_EQ(ocean.type, 3u);
    EXPECT_EQ(light.type, 100u);
    EXPECT_EQ(camera.type, 200u);
    for (const HyRenderData* r : {static_cast<const HyRenderData*>(&air), static_cast<const HyRenderData*>(&ocean),
                                  static_cast<const HyRenderData*>(&light), static_cast<const HyRenderData*>(&camera)})
        EXPECT_EQ(r->get_id(), 0u);

    HyAirFlatOptics* optics = fake<HyAirFlatOptics>(1);
    air.get_optics(optics);
    EXPECT_EQ(optics, nullptr);
    EXPECT_EQ(air.get_air_enabled(), 1u);

    // A fresh light points straight down, white, lighting both air and water.
    EXPECT_EQ(light.direction[0], 0.0);
    EXPECT_EQ(light.direction[1], 0.0);
    EXPECT_EQ(light.direction[2], -1.0);
    for (double c : light.colour)
        EXPECT_EQ(c, 1.0);
    EXPECT_EQ(light.viewed_intensity, 1.0);
    EXPECT_EQ(light.viewed_size, 1.0);
    EXPECT_EQ(light.affects_air, 1u);
    EXPECT_EQ(light.affects_water, 1u);
    EXPECT_EQ(light.glitter_scale, 1.0);
    EXPECT_EQ(light.water_colour_scale, 1.0);

    // A fresh ocean record: 128 x 128 lattice at the origin with 1 m spacing, surface mode 1, glitter
    // on, no texture groups, textures absent, white tint.
    double x0 = -1, y0 = -1, dx = -1, dy = -1;
    std::uint32_t nx = 0, ny = 0;
    ocean.get_lattice(x0, y0, dx, dy, nx, ny);
    EXPECT_EQ(x0, 0.0);
    EXPECT_EQ(y0, 0.0);
    EXPECT_EQ(dx, 1.0);
    EXPECT_EQ(dy, 1.0);
    EXPECT_EQ(nx, 128u);
    EXPECT_EQ(ny, 128u);
    EXPECT_EQ(ocean.get_surface_mode(), 1u);
    EXPECT_EQ(ocean.get_glitter_enabled(), 1u);
    EXPECT_EQ(ocean.get_textures_present(), 0u);
    Hy2DTextureGroup* g = fake<Hy2DTextureGroup>(1);
    ocean.get_texture_above(g);
    EXPECT_EQ(g, nullptr);
    g = fake<Hy2DTextureGroup>(1);
    ocean.get_texture_below(g);
    EXPECT_EQ(g, nullptr);
    g = fake<Hy2DTextureGroup>(1);
    ocean.get_texture_on(g);
    EXPECT_EQ(g, nullptr);
    double r = 0, gg = 0, b = 0;
    ocean.get_texture_tint(r, gg, b);
    EXPECT_EQ(r, 1.0);
    EXPECT_EQ(gg, 1.0);
    EXPECT_EQ(b, 1.0);
    HyOceanSurface* s = fake<HyOceanSurface>(1);
    ocean.get_surface(s);
    EXPECT_EQ(s, nullptr);
    HyOceanOptics* oo = fake<HyOceanOptics>(1);
    ocean.get_ocean_optics(oo);
    EXPECT_EQ(oo, nullptr);
}

TEST(RenderData, AccessorsRoundTripInTheirOrder)
{
    HyRenderData_Air air;
    air.set_optics(fake<HyAirFlatOptics>(3));
    const std::uint32_t off = 0;
    air.set_air_enabled(off);
    HyAirFlatOptics* optics = nullptr;
    air.get_optics(optics);
    EXPECT_EQ(optics, fake<HyAirFlatOptics>(3));
    EXPECT_EQ(air.get_air_enabled(), 0u);

    HyRenderData_Ocean ocean;
    ocean.set_ocean_optics(fake<HyOceanOptics>(4));
    ocean.set_distances(250.0, 5000.0, 0.75);
    ocean.set_to_horizon(0u);
    ocean.set_surface_mode(5u);
    ocean.set_lattice(10.0, -20.0, 2.0, 3.0, 300u, 7u);
    ocean.set_glitter_enabled(0u);
    ocean.set_texture_tint(0.5, 0.25, 2.0);

    HyOceanOptics* oo = nullptr;
    ocean.get_ocean_optics(oo);
    EXPECT_EQ(oo, fake<HyOceanOptics>(4));
    // Distances come back in the order they went in: double distance, max distance, base step.
    double dd = 0, md = 0, bs = 0;
    ocean.get_distances(dd, md, bs);
    EXPECT_EQ(dd, 250.0);
    EXPECT_EQ(md, 5000.0);
    EXPECT_EQ(bs, 0.75);
    std::uint32_t h = 9;
    ocean.get_to_horizon(h);
    EXPECT_EQ(h, 0u);
    EXPECT_EQ(ocean.get_surface_mode(), 5u);
    double x0, y0, dx, dy;
    std::uint32_t nx, ny;
    ocean.get_lattice(x0, y0, dx, dy, nx, ny);
    EXPECT_EQ(x0, 10.0);
    EXPECT_EQ(y0, -20.0);
    EXPECT_EQ(dx, 2.0);
    EXPECT_EQ(dy, 3.0);
    EXPECT_EQ(nx, 300u);
    EXPECT_EQ(ny, 7u);
    EXPECT_EQ(ocean.get_glitter_enabled(), 0u);
    double r, g, b;
    ocean.get_texture_tint(r, g, b);
    EXPECT_EQ(r, 0.5);
    EXPECT_EQ(g, 0.25);
    EXPECT_EQ(b, 2.0);
}

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

    hymem::install_hook(&refuse, hymem::make_tag('T', 'E', 'S', 'T'), true, 0);
    HyRenderData_Camera* camera = new HyRenderData_Camera;
    HyRenderData_Ocean* ocean = new HyRenderData_Ocean;
    hymem::install_hook(nullptr, 0, false, 0);
    EXPECT_EQ(camera, nullptr);
    EXPECT_EQ(ocean, nullptr);
}
