// The frame renderer of the effect: brings the cached sea up to date, evolves it to the frame's time,
// sets up the camera and the image maps, and draws the view of the chosen render mode.
#include <cmath>
#include <cstddef>
#include <cstring>

#include "host/CEffectVaskel1.h"
#include "host/GrayscaleView.h"
#include "ocean/HyOceanSurface.h"

namespace {

ImageMapParams map_params(const CSettingsImageMap& m)
{
    ImageMapParams p;
    p.type = m.type;
    p.channel = m.channel;
    p.intensity = m.intensity;
    p.centre_x = m.centreX;
    p.centre_y = m.centreY;
    p.scale_x = m.scaleXValue;
    p.scale_y = m.scaleYValue;
    p.angle = m.angle;
    p.blur = m.blur;
    p.layout = m.layout;
    return p;
}

void clear_image(CImage32& img)
{
    if (img.pixels == nullptr || img.width <= 0 || img.height <= 0 || img.rowBytes < img.width * 4)
        return;
    for (std::int32_t y = 0; y < img.height; ++y)
        std::memset(img.pixels + std::ptrdiff_t(y) * img.rowBytes, 0, std::size_t(img.width) * 4);
}

} // namespace

std::int32_t CEffectVaskel1::ApplyPendingSurface()
{
    if (m_pendingLevel != kSurfaceUpToDate && m_surface != nullptr) {
        const HyPrimaryWaves_data& p = m_settings.primary;
        int ok;
        if (m_pendingLevel == kSurfaceRebuild) {
            ok = m_surface->reallocate_primary_waves(p);
            ++m_primaryRebuilds;
        } else {
            ok = m_surface->reset_primary_wave_parameters(p.wind_direction, p.wind_speed, p.shortest_wavelength,
                                                          p.vertical_scale, p.extra);
            ++m_primaryResets;
        }
        m_pendingLevel = kSurfaceUpToDate;
        m_surfaceDirty = true;
        if (!ok)
            return kEffectOutOfMemory;
    }
    return kEffectOk;
}

void CEffectVaskel1::ApplySurfaceSettings()
{
    HySurface_data surface;
    if (m_settings.render.loopTime > 0.0f) {
        surface.loop = 1;
        surface.loop_time = m_settings.render.loopTime;
    }
    if (surface.loop != m_surface->loop || surface.loop_time != m_surface->loop_time ||
        surface.curvature != m_surface->curvature || surface.curvature_radius != m_surface->curvature_radius)
        m_surfaceDirty = true;
    m_surface->set_surface_parameters(surface);
}

void CEffectVaskel1::EvolveSurface(double seconds)
{
    if (!m_surfaceDirty && seconds == m_evolvedTime)
        return;
    m_surface->evolve_to_time(seconds);
    m_evolvedTime = seconds;
    m_surfaceDirty = false;
    ++m_evolutions;
}

std::int32_t CEffectVaskel1::UpdateSurface(double seconds)
{
    const std::int32_t e = ApplyPendingSurface();
    if (e != kEffectOk || m_surface == nullptr)
        return e;
    ApplySurfaceSettings();
    EvolveSurface(seconds);
    return kEffectOk;
}

bool CEffectVaskel1::ReportProgress(double fraction)
{
    if (m_abortCode == 0 && m_host != nullptr)
        m_abortCode = m_host->Progress(std::int32_t(fraction * 1000.0), 1000);
    return m_abortCode == 0;
}

std::int32_t CEffectVaskel1::RenderTopView()
{
    const CSettingsRender& r = m_settings.render;
    GrayscaleViewParams g;
    g.render_mode = r.renderMode;
    const double zoom = r.grayscaleZoom;
    g.metres_per_pixel_x = double(m_context.time.downsampleX > 0 ? m_context.time.downsampleX : 1) * zoom;
    g.metres_per_pixel_y = double(m_context.time.downsampleY > 0 ? m_context.time.downsampleY : 1) * zoom;
    g.colour_min = r.colourMin;
    g.colour_max = r.colourMax;
    g.camera_x = m_settings.camera.x;
    g.camera_y = m_settings.camera.y;
    g.camera_pan = m_settings.camera.pan;
    g.horizontal_fov = m_settings.camera.horizontalFov;
    return render_grayscale_view(*m_output, m_surface, &m_camera, g, &m_maps);
}

std::int32_t CEffectVaskel1::RenderFrame()
{
    m_lastHostError = 0;
    m_abortCode = 0;
    const CSettingsRender& r = m_settings.render;
    const double t = double(r.timeStretch) * double(m_context.time.currentTime);
    if (float(t) != m_lastFrameTime)
        m_lastFrameTime = float(t);

    // Every frame starts transparent black, so whatever is not drawn is well defined.
    if (m_output != nullptr)
        clear_image(*m_output);

    // Pending wave updates first: the displacement maps go onto the surface as it will be rendered.
    {
        const std::int32_t e = ApplyPendingSurface();
        if (e != kEffectOk)
            return e;
    }
    if (m_surface == nullptr)
        return kEffectOk;
    if (m_output == nullptr || m_output->pixels == nullptr)
        return kEffectBadParams;

    ApplySurfaceSettings();

    ImageMapParams params[kImageMapCount];
    const CImage32* layers[kImageMapCount];
    for (int m = 0; m < kImageMapCount; ++m) {
        params[m] = map_params(m_settings.maps[m]);
        layers[m] = m_context.inputCount > m + 1 ? m_context.images[kImageMap1 + m] : nullptr;
    }
    ImageMapFrame frame;
    frame.downsample_x = m_context.time.downsampleX > 0 ? m_context.time.downsampleX : 1;
    frame.downsample_y = m_context.time.downsampleY > 0 ? m_context.time.downsampleY : 1;
    frame.max_distance = r.maxDistance;
    frame.camera_x = m_settings.camera.x;

    std::int32_t result = m_maps.PrepareDisplacements(params, frame, layers, m_surface);
    if (result != kEffectOk) {
        m_maps.CleanUp(m_surface);
        m_displacedLastFrame = true; // whatever was placed is gone again
        return kEffectOutOfMemory;
    }

    // Displacement elements live for one frame: a frame with them, or after one, evolves afresh.
    bool displaced = false;
    for (int m = 0; m < kImageMapCount; ++m)
        displaced = displaced || m_maps.map(m).displacement_id != 0;
    if (displaced || m_displacedLastFrame)
        m_surfaceDirty = true;
    m_displacedLastFrame = displaced;
    EvolveSurface(t);

    // Camera: the output's size, a vertical field of view that keeps pixels square, and either the
    // pose as given or the pose of a platform riding the waves.
    const CSettingsCamera& c = m_settings.camera;
    m_camera.clear_alpha_plane();
    const std::uint32_t width = std::uint32_t(m_output->width), height = std::uint32_t(m_output->height);
    m_camera.set_image_size(width, height);
    const double hfov = c.horizontalFov;
    const double vfov = 2.0 * std::atan(std::tan(hfov / 2.0) * double(height) / double(width));
    m_camera.set_fields_of_view(hfov, vfov);
    if (c.platformSize > 0.1f) {
        double x, y, z, a, b, cc;
        m_surface->float_on_surface(c.x, c.y, c.z, c.tilt, c.pan, c.roll, c.platformSize, x, y, z, a, b, cc);
        m_camera.set_position(x, y, z);
        m_camera.set_orientation(a, b, cc);
    } else {
        m_camera.set_position(c.x, c.y, c.z);
        m_camera.set_orientation(c.tilt, c.pan, c.roll);
    }

    result = m_maps.PrepareTextures(params, frame, layers);
    if (result == kEffectOk) {
        if (r.renderMode == 1 || r.renderMode == 2)
            result = RenderTopView();
        else
            result = RenderScene();
    }
    if (result == kEffectOk && m_abortCode != 0) {
        m_lastHostError = m_abortCode;
        result = kEffectAborted;
    }

    m_maps.CleanUp(m_surface);
    return result;
}
