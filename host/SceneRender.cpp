// The scene render of the effect (every render mode but the two grayscale top views): lights, air and
// ocean records from the settings, the scene rendered into float planes, and the planes written into
// the host's 8-bit output.
#include <algorithm>
#include <cmath>
#include <cstddef>

#include "host/CEffectVaskel1.h"
#include "host/SceneRender.h"
#include "ocean/HyOceanSurface.h"
#include "optics/HyAirOptics.h"
#include "optics/HyOceanOptics.h"
#include "platform/HyThreadPool.h"
#include "render/HyRenderScene.h"

namespace {

// The effect's scene: progress goes to the host, and once the host asks to stop the scene stops for
// good.
class MyRenderScene : public HyRenderScene {
public:
    explicit MyRenderScene(CEffectVaskel1& effect) : effect_(effect) {}
    ~MyRenderScene() override = default;
    int report_progress(double fraction) override { return effect_.ReportProgress(fraction) ? 1 : 0; }

private:
    CEffectVaskel1& effect_;
};

// "Render Mode:" (1-based) to the ocean record's surface mode and the scene's render mode.
struct ModeMap {
    std::uint32_t surface_mode;
    std::uint32_t scene_mode;
};
constexpr ModeMap kModes[9] = {
    {0, 0},                                                          // unused
    {0, 0},                                                          // "Grayscale [Icons]": not a scene
    {0, 0},                                                          // "Grayscale [No Icons]"
    {HyRenderScene::kSurfaceFresnel, HyRenderScene::kModeWireframe}, // "Wireframe"
    {HyRenderScene::kSurfaceSimple, HyRenderScene::kModeTexture},    // "Texture [No Geometry]"
    {HyRenderScene::kSurfaceSimple, HyRenderScene::kModeLightTracking}, // "Light Tracking"
    {HyRenderScene::kSurfaceSimple, HyRenderScene::kModeRealistic},  // "Realistic"
    {HyRenderScene::kSurfaceFresnel, HyRenderScene::kModeRealistic}, // "Too Realistic [RTM]"
    {HyRenderScene::kSurfaceDepth, HyRenderScene::kModeRealistic},   // "Depth Map"
};

constexpr std::int32_t kModeWireframe = 3;
constexpr std::int32_t kModeLightTracking = 5;
constexpr std::int32_t kModeRealistic = 6;
constexpr std::int32_t kModeTooRealistic = 7;
constexpr std::int32_t kWhatBoth = 3;
constexpr std::int32_t kWhatWaterToMaxDistance = 4;

void set_light(HyRenderData_Light& light, const CSettingsLight& l)
{
    const double e = l.elevation, a = l.azimuth;
    light.direction[0] = -std::sin(e) * std::cos(a);
    light.direction[1] = -std::sin(e) * std::sin(a);
    light.direction[2] = -std::cos(e);
    const std::int32_t rgb[3] = {l.red, l.green, l.blue};
    for (int k = 0; k < 3; ++k)
        light.colour[k] = double(rgb[k]) * double(l.intensity) / 255.0;
    light.viewed_intensity = l.viewedIntensity;
    light.viewed_size = l.viewedSize;
    light.glitter_scale = l.glitterScale;
    light.water_colour_scale = l.waterColourScale;
    light.affects_air = (l.affects == 1 || l.affects == 3) ? 1 : 0;
    light.affects_water = (l.affects == 2 || l.affects == 3) ? 1 : 0;
    // Sunlight on the water has crossed the air: a low sun reddens its glitter.
    light.through_air = 1;
}

std::uint8_t to_byte(float v)
{
    const double scaled = double(v) * 256.0;
    if (!(scaled > 0.0)) // also NaN
        return 0;
    return scaled >= 255.0 ? 255 : std::uint8_t(scaled);
}

void write_rows(const HyImagePlanes& planes, std::int32_t render_mode, bool opaque, std::int32_t width,
                std::int32_t first, std::int32_t end, CImage32& output)
{
    for (std::int32_t r = first; r < end; ++r) {
        // Plane rows run bottom to top, as the picture rows counted from the bottom.
        std::uint8_t* px = output.row_from_bottom(r);
        const std::size_t at = std::size_t(r) * planes.columns;
        for (std::int32_t c = 0; c < width; ++c, px += 4) {
            const std::size_t i = at + std::size_t(c);
            px[0] = to_byte(planes.blue[i]);
            px[1] = to_byte(planes.green[i]);
            px[2] = to_byte(planes.red[i]);
            px[3] = opaque ? 255 : to_byte(planes.alpha[i]);
            // Light tracking hands the marks to compositing as a matte.
            if (render_mode == kModeLightTracking)
                px[3] = px[2];
        }
    }
}

} // namespace

void write_planes_to_image(const HyImagePlanes& planes, std::int32_t render_mode, CImage32& output)
{
    const std::int32_t width = std::min<std::int32_t>(output.width, std::int32_t(planes.columns));
    const std::int32_t height = std::min<std::int32_t>(output.height, std::int32_t(planes.rows));
    if (output.pixels == nullptr || width <= 0 || height <= 0)
        return;
    const bool opaque = render_mode == kModeWireframe || planes.alpha == nullptr;
    hyplat::parallel_for(height, 16, [&](std::int64_t first, std::int64_t end) {
        write_rows(planes, render_mode, opaque, width, std::int32_t(first), std::int32_t(end), output);
    });
}

std::int32_t CEffectVaskel1::RenderScene()
{
    const CSettingsRender& r = m_settings.render;
    if (r.renderMode < kModeWireframe || r.renderMode > 8)
        return kEffectBadParams;
    const ModeMap mode = kModes[r.renderMode];

    // 1. The scene, its records and the water optics.
    MyRenderScene scene(*this);
    HyRenderData_Light lights[2];
    HyRenderData_Air air;
    HyRenderData_Ocean ocean;
    if (m_oceanOptics == nullptr) {
        m_oceanOptics = new HyOceanOptics(m_settings.ocean.block);
        if (m_oceanOptics == nullptr)
            return kEffectOutOfMemory;
    }

    // 2. Planes: alpha unless the picture is all air and water anyway (then every pixel is opaque,
    // including a black sky without air).
    std::uint32_t width = 0, height = 0;
    m_camera.get_image_size(width, height);
    HyImagePlanes planes;
    if (!planes.allocate(width, height, r.renderWhat != kWhatBoth, false))
        return kEffectOutOfMemory;
    planes.attach(m_camera);
    scene.add_camera(&m_camera);

    // 3. Lights that affect anything.
    for (int n = 0; n < 2; ++n) {
        if (m_settings.lights[n].affects <= 0)
            continue;
        set_light(lights[n], m_settings.lights[n]);
        scene.add_light(&lights[n]);
    }

    // 4. Air, with heights measured from the air's base.
    HyAirOpticsParams block = m_settings.air;
    block.light_disc_brightness_cap = 10.0;
    block.haze_height = block.haze_height - block.air_base_height;
    HyAirFlatOptics* air_optics = new HyAirFlatOptics(block);
    if (air_optics == nullptr) {
        m_camera.clear_colour_planes();
        m_camera.clear_alpha_plane();
        return kEffectOutOfMemory;
    }
    air.set_optics(air_optics);
    const std::uint32_t on = 1;
    air.set_air_enabled(on);
    scene.add_render_data(&air);

    // 5. The realistic modes average the reflectance over the slopes the grid does not resolve.
    if (r.renderMode == kModeRealistic || r.renderMode == kModeTooRealistic) {
        if (!m_oceanOptics->is_slope_table_ready())
            m_oceanOptics->prepare_slope_table();
        if (!m_oceanOptics->is_second_ready())
            m_oceanOptics->prepare_second();
    }

    // 6, 7. The ocean record.
    ocean.set_surface(m_surface);
    ocean.set_ocean_optics(m_oceanOptics);
    const double max_distance = std::max(1.0, double(r.maxDistance));
    ocean.set_distances(std::max(1.0, double(r.doubleDistance)), max_distance, m_settings.primary.small_spacing);
    if (Hy2DTextureGroup* g = m_maps.on_surface())
        ocean.set_texture_on(g);
    if (Hy2DTextureGroup* g = m_maps.above_surface())
        ocean.set_texture_above(g);
    if (Hy2DTextureGroup* g = m_maps.below_surface())
        ocean.set_texture_below(g);
    ocean.set_surface_mode(mode.surface_mode);
    if (r.renderMode == kModeWireframe) {
        double x, y, z;
        m_camera.get_position(x, y, z);
        const double spacing = max_distance * 0.125 / 300.0;
        ocean.set_lattice(x, y, spacing, spacing, 300, 300);
    }
    std::uint32_t to_horizon = 1;

    // 8. Render what.
    std::uint32_t what = HyRenderScene::kWhatWater;
    switch (r.renderWhat) {
    case 1: what = HyRenderScene::kWhatAir; break;
    case kWhatBoth: what = HyRenderScene::kWhatBoth; break;
    case kWhatWaterToMaxDistance: to_horizon = 0; break;
    default: break;
    }
    ocean.set_to_horizon(to_horizon);
    scene.set_render_mode(mode.scene_mode);
    scene.set_render_what(what);

    // 9. Output mapping, then render.
    scene.set_output_mapping(double(r.gamma), double(r.colourMin), double(r.colourMax));
    scene.add_render_data(&ocean);
    const int rendered = scene.render();

    // 10. An abort hands the host its own code; a finished frame goes to the output.
    std::int32_t result = kEffectOk;
    if (m_abortCode != 0) {
        m_lastHostError = m_abortCode;
        result = kEffectAborted;
    } else if (!rendered) {
        result = kEffectOutOfMemory;
    } else {
        if (r.renderWhat == kWhatWaterToMaxDistance)
            m_camera.unpremultiply();
        write_planes_to_image(planes, r.renderMode, *m_output);
    }
    m_camera.clear_colour_planes();
    m_camera.clear_alpha_plane();
    delete air_optics;
    return result;
}
