// Render data records: the texture flag rule, the grid asked of the surface on every query, and
// records with their type codes from the tagged allocator.
#include "ocean/HyOceanSurface.h"
#include "platform/HyMemory.h"
#include "render/HyCamera.h"
#include "render/HyRenderData.h"
#include "tests/render/render_test_support.h"

#include <gtest/gtest.h>

#include <memory>

TEST(RenderData, TextureFlagGridQueryAndTypeCodes)
{
    // Setting any group, even a null one, raises the present flag; clearing a pointer keeps it.
    auto* group = reinterpret_cast<Hy2DTextureGroup*>(0x100);
    HyRenderData_Ocean ocean;
    ocean.set_texture_below(group);
    Hy2DTextureGroup *above = group, *below = nullptr;
    ocean.get_texture_above(above);
    ocean.get_texture_below(below);
    EXPECT_TRUE(above == nullptr && below == group);
    ocean.set_texture_on(nullptr);
    EXPECT_EQ(ocean.get_textures_present(), 1u);
    ocean.set_textures_present(0);
    ocean.set_texture_above(nullptr);
    EXPECT_EQ(ocean.get_textures_present(), 1u);

    // The grid comes from the surface at every query; no surface or no grid is a failure.
    HyGridMulti* grid = reinterpret_cast<HyGridMulti*>(0x1000);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ocean.get_grid(grid), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("HyRenderData_Ocean::get_grid", 0), 0u);
    EXPECT_EQ(grid, nullptr);
    HyOceanSurface surface;
    ocean.set_surface(&surface);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ocean.get_grid(grid), 0); // a surface without waves has no grid
    testing::internal::GetCapturedStderr();
    HyPrimaryWaves_data p;
    p.size = 16;
    ASSERT_EQ(surface.allocate_primary_waves(p), 1);
    ASSERT_EQ(ocean.get_grid(grid), 1);
    EXPECT_EQ(grid, surface.grid);

    const auto before = hymem::heap_bytes();
    {
        const std::unique_ptr<HyRenderData> records[4] = {std::unique_ptr<HyRenderData>(new HyRenderData_Air),
            std::unique_ptr<HyRenderData>(new HyRenderData_Ocean), std::unique_ptr<HyRenderData>(new HyRenderData_Light),
            std::unique_ptr<HyRenderData>(new HyRenderData_Camera)};
        const std::uint32_t types[4] = {1, 3, 100, 200};
        for (int k = 0; k < 4; ++k)
            EXPECT_TRUE(hymem::block_tag(records[k].get()) == hymem::kHeapTag && records[k]->type == types[k]) << k;
    } // deleted through the base: every byte goes back
    EXPECT_EQ(hymem::heap_bytes(), before);
    render_test::AllocationBudget refuse_all(0);
    EXPECT_EQ(new HyRenderData_Camera, nullptr);
}
