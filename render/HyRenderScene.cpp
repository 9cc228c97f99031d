#include "render/HyRenderScene.h"

#include "ocean/HyGridMulti.h"
#include "ocean/HyOceanSurface.h"
#include "optics/HyAirOptics.h"
#include "optics/HyOceanOptics.h"
#include "render/HyPixelBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>

namespace {

// Registries keep their order; ids only grow, so a record registered twice gets a new id.
template <class T>
int registry_add(T** entries, std::int32_t& count, std::int32_t& counter, int capacity, T* record)
{
    if (record == nullptr || count >= capacity)
        return 0;
    record->id = std::uint32_t(++counter);
    entries[count++] = record;
    return 1;
}

template <class T>
int registry_remove(T** entries, std::int32_t& count, const T* record)
{
    if (record == nullptr)
        return 0;
    for (int i = 0; i < count; ++i) {
        if (entries[i]->id != record->id)
            continue;
        for (int k = i + 1; k < count; ++k)
            entries[k - 1] = entries[k];
        entries[--count] = nullptr;
        return 1;
    }
    return 0;
}

} // namespace

HyRenderScene::HyRenderScene()
{
    for (auto& channel : transmission)
        for (double& t : channel)
            t = 1.0;
}

HyRenderScene::~HyRenderScene() = default;

int HyRenderScene::add_light(HyRenderData_Light* light)
{
    return registry_add(lights, light_count, light_id_counter, kMaxLights, light);
}
int HyRenderScene::remove_light(HyRenderData_Light* light) { return registry_remove(lights, light_count, light); }
int HyRenderScene::add_render_data(HyRenderData* record)
{
    return registry_add(render_data, render_data_count, render_data_id_counter, kMaxRenderData, record);
}
int HyRenderScene::remove_render_data(HyRenderData* record)
{
    return registry_remove(render_data, render_data_count, record);
}
int HyRenderScene::add_camera(HyRenderData_Camera* camera)
{
    return registry_add(cameras, camera_count, camera_id_counter, kMaxCameras, camera);
}
int HyRenderScene::remove_camera(HyRenderData_Camera* camera)
{
    return registry_remove(cameras, camera_count, camera);
}

int HyRenderScene::set_render_mode(const std::uint32_t& mode)
{
    if (mode > kModeLightTracking)
        return 0;
    render_mode = mode;
    return 1;
}

int HyRenderScene::set_render_what(const std::uint32_t& value)
{
    if (value > kWhatAir)
        return 0;
    render_what = value;
    return 1;
}

void HyRenderScene::set_output_mapping(const double& g, const double& minimum, const double& maximum)
{
    gamma = g;
    colour_minimum = minimum;
    colour_maximum = maximum;
    output_mapping_on = 1;
}

void HyRenderScene::set_gamma(const double& g)
{
    gamma = g;
    output_mapping_on = 1;
}

void HyRenderScene::get_output_mapping(double& g, double& minimum, double& maximum) const
{
    g = gamma;
    minimum = colour_minimum;
    maximum = colour_maximum;
}

int HyRenderScene::render()
{
    int product = 1;
    for (int i = 0; i < camera_count; ++i)
        product *= render_camera(cameras[i]);
    return product;
}

int HyRenderScene::report_progress(double) { return 1; }

bool HyRenderScene::fetch_frame(HyRenderData_Camera* camera, Frame& f) const
{
    f.camera = camera;
    std::uint32_t columns = 0, rows = 0;
    camera->get_window_size(columns, rows);
    f.columns = int(columns);
    f.rows = int(rows);
    camera->get_view(f.view);
    f.view.get_position(f.eye[0], f.eye[1], f.eye[2]);
    f.horizon_band = 2.0 * f.view.max_step();
    float* alpha = nullptr;
    f.alpha = camera->get_alpha_plane(alpha) ? alpha : nullptr;
    return camera->get_colour_planes(f.red, f.green, f.blue) != 0 && f.red && f.green && f.blue;
}

int HyRenderScene::render_camera(HyRenderData_Camera* camera)
{
    if (camera == nullptr)
        return 0;
    Frame f;
    const bool planes = fetch_frame(camera, f);

    // 1. Without light there is nothing to see.
    if (light_count == 0)
        return planes ? clear_with_progress(f) : 0;

    // 2. The air and ocean records; the last of each type wins.
    for (int i = 0; i < render_data_count; ++i) {
        HyRenderData* record = render_data[i];
        if (record->get_type() == HyRenderData::kTypeAir) {
            f.air = static_cast<HyRenderData_Air*>(record);
            air_enabled = f.air->get_air_enabled();
        } else if (record->get_type() == HyRenderData::kTypeOcean) {
            f.ocean = static_cast<HyRenderData_Ocean*>(record);
            surface_mode = f.ocean->get_surface_mode();
            glitter_enabled = f.ocean->get_glitter_enabled();
            textures_present = f.ocean->get_textures_present();
            f.ocean->get_texture_tint(texture_tint[0], texture_tint[1], texture_tint[2]);
        }
    }
    // 3. A depth map measures the water alone.
    if (f.ocean && surface_mode == kSurfaceDepth)
        f.air = nullptr;
    if (f.air)
        f.air->get_optics(f.air_optics);
    if (f.ocean) {
        f.ocean->get_surface(f.surface);
        f.ocean->get_ocean_optics(f.ocean_optics);
        f.ocean->get_texture_above(f.texture_above);
        f.ocean->get_texture_below(f.texture_below);
        f.ocean->get_texture_on(f.texture_on);
        double double_distance = 1.0, base_step = 1.0;
        f.ocean->get_distances(double_distance, f.max_distance, base_step);
        f.ocean->get_to_horizon(f.to_horizon);
    }

    // 4. Ambient sky.
    compute_ambient_sky(f);

    // 5. Dispatch.
    int result = 0;
    if (f.air && f.ocean) {
        switch (render_mode) {
        case kModeTexture: result = render_texture(f); break;
        case kModeRealistic: result = render_realistic(f); break;
        case kModeWireframe: result = render_wireframe(f); break;
        default: result = render_light_tracking(f); break;
        }
    } else if (f.air) {
        switch (render_mode) {
        case kModeTexture:
        case kModeRealistic: result = render_air_only(f); break;
        case kModeWireframe:
            if (!planes)
                return 1;
            zero_colour(f);
            result = render_sky_marks(f);
            break;
        default: result = render_light_tracking(f); break;
        }
    } else if (f.ocean) {
        switch (render_mode) {
        case kModeTexture: result = render_texture(f); break;
        case kModeRealistic: result = render_realistic(f); break;
        case kModeWireframe: result = render_wireframe(f); break;
        default: result = render_light_tracking(f); break;
        }
    } else {
        result = render_light_dome(f);
    }

    // 6. Output mapping.
    if (result && output_mapping_on) {
        camera->apply_gamma(gamma);
        if (!(colour_minimum == 0.0 && colour_maximum == 1.0))
            camera->apply_colour_range(colour_minimum, colour_maximum);
    }
    return result;
}

void HyRenderScene::zero_colour(const Frame& f)
{
    const std::int64_t n = std::int64_t(f.rows) * std::int64_t(f.columns);
    for (float* plane : {f.red, f.green, f.blue})
        hyplat::parallel_fill(plane, n, 0.0f);
}

int HyRenderScene::clear_with_progress(Frame& f)
{
    auto clear = [&](int, int, std::size_t at) { f.red[at] = f.green[at] = f.blue[at] = 0.0f; };
    return for_each_pixel(f, true, clear) ? 1 : 0;
}

// ---- Per-camera quantities --------------------------------------------------------------------------

void HyRenderScene::compute_ambient_sky(const Frame& f)
{
    if (surface_mode != kSurfaceSimple)
        return;
    if (!f.air) {
        ambient_sky[0] = ambient_sky[1] = ambient_sky[2] = 0.9;
        return;
    }
    // The sky 10 degrees above the eastern horizon stands for the whole sky.
    static const double kAmbientDirection[3] = {0.984807753012208, 0.0, 0.17364817766693033};
    static const double kOrigin[3] = {0.0, 0.0, 0.0};
    air_light_sum(f.air_optics, kOrigin, kAmbientDirection, -1.0, false, ambient_sky);
}

void HyRenderScene::compute_upwelling(const Frame& f)
{
    upwelling[0] = upwelling[1] = upwelling[2] = 0.0;
    double w[3] = {0.0, 0.0, 0.0};
    if (f.ocean_optics)
        f.ocean_optics->get_water_color(&w[0], &w[1], &w[2]);
    for (int i = 0; i < light_count; ++i) {
        const HyRenderData_Light& l = *lights[i];
        if (!l.affects_water || !(l.direction[2] < 0.0))
            continue;
        for (int k = 0; k < 3; ++k)
            upwelling[k] += l.water_colour_scale * l.colour[k] * w[k] * -l.direction[2];
    }
}

void HyRenderScene::compute_transmission(const Frame& f)
{
    static const double kOrigin[3] = {0.0, 0.0, 0.0};
    for (int i = 0; i < light_count; ++i) {
        double t[3] = {1.0, 1.0, 1.0};
        const HyRenderData_Light& l = *lights[i];
        // Sunlight reaching the water crosses the whole air towards the sun, whether or not the sky
        // itself is drawn.
        if (f.air && f.air_optics && l.through_air) {
            const double towards[3] = {-l.direction[0], -l.direction[1], -l.direction[2]};
            f.air_optics->transmittance(kOrigin, towards, -1.0, &t[0], &t[1], &t[2]);
        }
        for (int k = 0; k < 3; ++k)
            transmission[k][i] = t[k];
    }
}

HySurfaceOceanContext HyRenderScene::context_for(const Frame& f)
{
    HySurfaceOceanContext c;
    c.ocean_optics = f.ocean_optics;
    c.scene = this;
    c.air_optics = f.air ? f.air_optics : nullptr;
    c.texture_above = f.texture_above;
    c.texture_below = f.texture_below;
    c.texture_on = f.texture_on;
    c.upwelling_r = upwelling[0];
    c.upwelling_g = upwelling[1];
    c.upwelling_b = upwelling[2];
    c.transmission_r = transmission[0];
    c.transmission_g = transmission[1];
    c.transmission_b = transmission[2];
    return c;
}

// ---- Air helpers ------------------------------------------------------------------------------------

void HyRenderScene::air_light_sum(const HyAirFlatOptics* optics, const double position[3],
                                  const double direction[3], double distance, bool with_disc, double out[3]) const
{
    out[0] = out[1] = out[2] = 0.0;
    if (optics == nullptr || !air_enabled)
        return;
    for (int i = 0; i < light_count; ++i) {
        const HyRenderData_Light& l = *lights[i];
        if (!l.affects_air)
            continue;
        double r = 0.0, g = 0.0, b = 0.0;
        if (with_disc)
            optics->air_radiance(position, direction, distance, l.direction, l.viewed_intensity, l.viewed_size, &r,
                                 &g, &b);
        else
            optics->sky_radiance(position, direction, distance, l.direction, &r, &g, &b);
        out[0] += l.colour[0] * r;
        out[1] += l.colour[1] * g;
        out[2] += l.colour[2] * b;
    }
}

void HyRenderScene::horizon_air(const Frame& f, int row, int column, double distance, bool with_disc, double out[3],
                                double* sky) const
{
    out[0] = out[1] = out[2] = 0.0;
    int up = 0;
    for (int i = 1; i <= 5; ++i) {
        for (int j = 1; j <= 5; ++j) {
            double d[3];
            f.view.subpixel_direction(row + (i - 0.5) / 5.0, column + (j - 0.5) / 5.0, d[0], d[1], d[2]);
            if (d[2] >= 0.0)
                ++up;
            if (f.air_optics == nullptr)
                continue;
            double s[3];
            air_light_sum(f.air_optics, f.eye, d, distance, with_disc, s);
            for (int k = 0; k < 3; ++k)
                out[k] += std::min(s[k], colour_maximum);
        }
    }
    for (int k = 0; k < 3; ++k)
        out[k] /= 25.0;
    if (sky)
        *sky = up / 25.0;
}

// One rule for the air-only path, the texture path and the realistic finish: a level ray (dz = 0)
// counts as sky, so alpha does not depend on which path drew the pixel.
double HyRenderScene::sky_weight(const Frame& f, int row, int column, double dz) const
{
    if (!at_horizon(f, dz))
        return dz >= 0.0 ? 1.0 : 0.0;
    int up = 0;
    for (int i = 1; i <= 5; ++i) {
        for (int j = 1; j <= 5; ++j) {
            double d[3];
            f.view.subpixel_direction(row + (i - 0.5) / 5.0, column + (j - 0.5) / 5.0, d[0], d[1], d[2]);
            up += d[2] >= 0.0;
        }
    }
    return up / 25.0;
}

// ---- Realistic path ---------------------------------------------------------------------------------

int HyRenderScene::render_realistic(Frame& f)
{
    if (!f.red)
        return 0;
    zero_colour(f);

    HyPixelBuffer* buffer = new HyPixelBuffer(std::uint32_t(f.rows), std::uint32_t(f.columns), f.red, f.green, f.blue);
    if (!buffer)
        return 0;
    if (!buffer->allocate()) {
        delete buffer;
        return 0;
    }

    compute_upwelling(f);
    compute_transmission(f);

    HySurfaceOpticsParams params;
    HyGridMulti* grid = nullptr;
    f.ocean->get_grid(grid);
    params.height_source = grid;
    f.ocean->get_distances(params.double_distance, params.max_distance, params.base_step);
    params.to_horizon = f.to_horizon;
    HySurfaceOceanOptics* optics = new HySurfaceOceanOptics(params, context_for(f));
    if (!optics) {
        std::printf("Out of Memory\n");
        std::fflush(stdout);
        delete buffer;
        return 0;
    }

    // The point shading only reads the scene, so the pixel work can spread over the threads.
    optics->parallel_pixels = 1;
    HyViewGeometry view = f.view;
    const int side = optics->draw_surface(view, *buffer);
    // A walk that could not get its arrays drew no water: that is a failed frame, not an empty sea.
    int result = side != 0 ? 1 : 0;
    if (result && report_progress(1.0)) {
        if (f.air) {
            if (side == 1 && air_enabled && f.air_optics) {
                apply_air_to_water(f, *buffer);
                add_light_disks(f, *buffer);
            } else if (side != 1) {
                fill_sky_with_upwelling(f, *buffer);
            }
            finish_buffer(f, *buffer);
        } else {
            finish_buffer(f, *buffer);
            if (surface_mode == kSurfaceDepth)
                finish_depth(f, *buffer);
        }
    }
    delete optics;
    delete buffer;
    return result;
}

void HyRenderScene::apply_air_to_water(const Frame& f, const HyPixelBuffer& buffer)
{
    float* planes[3] = {f.red, f.green, f.blue};
    for_each_pixel(f, false, [&](int row, int column, std::size_t at) {
        const double a = buffer.coverage[row][column];
        double v[3];
        f.view.pixel_direction(row, column, v[0], v[1], v[2]);
        const bool horizon = at_horizon(f, v[2]);
        double c[3] = {planes[0][at], planes[1][at], planes[2][at]};
        if (a > 0.0) {
            const double d = std::sqrt(double(buffer.distance_squared[row][column]));
            double lp[3], t[3];
            if (horizon)
                horizon_air(f, row, column, d, false, lp, nullptr);
            else
                air_light_sum(f.air_optics, f.eye, v, d, false, lp);
            f.air_optics->transmittance(f.eye, v, d, &t[0], &t[1], &t[2]);
            for (int k = 0; k < 3; ++k)
                c[k] = c[k] * t[k] + a * lp[k];
        }
        if (a < 1.0) {
            double s[3];
            if (horizon)
                horizon_air(f, row, column, -1.0, false, s, nullptr);
            else
                air_light_sum(f.air_optics, f.eye, v, -1.0, false, s);
            for (int k = 0; k < 3; ++k)
                c[k] += (1.0 - a) * s[k];
        }
        for (int k = 0; k < 3; ++k)
            planes[k][at] = float(c[k]);
    });
}

void HyRenderScene::add_light_disks(const Frame& f, const HyPixelBuffer& buffer)
{
    // Widen each disc's test cone by a pixel diagonal, so that a pixel whose centre misses the disc but
    // whose corner touches it is still sampled.
    double factor[kMaxLights];
    const double diagonal = 1.5 * f.view.max_step();
    for (int i = 0; i < light_count; ++i) {
        const double cap = f.air_optics->light_disc_cap_height(lights[i]->viewed_size);
        const double radius = cap > 0.0 ? std::acos(std::max(-1.0, 1.0 - cap)) : 0.0;
        factor[i] = radius > 0.0 ? (1.0 - std::cos(std::min(radius + diagonal, 3.14159))) / cap : 0.0;
    }
    float* planes[3] = {f.red, f.green, f.blue};
    for_each_pixel(f, false, [&](int row, int column, std::size_t at) {
        const double a = buffer.coverage[row][column];
        if (!(a < 1.0))
            return;
        double v[3];
        f.view.pixel_direction(row, column, v[0], v[1], v[2]);
        double sum[3] = {0.0, 0.0, 0.0};
        for (int i = 0; i < light_count; ++i) {
            const HyRenderData_Light& l = *lights[i];
            if (!l.affects_air || factor[i] <= 0.0 || !f.air_optics->in_light_disc(l.viewed_size, v, l.direction, factor[i]))
                continue;
            for (int si = 1; si <= 5; ++si) {
                for (int sj = 1; sj <= 5; ++sj) {
                    double ray[6];
                    f.view.subpixel_ray(row + (si - 0.5) * 0.2, column + (sj - 0.5) * 0.2, ray);
                    double r[3];
                    f.air_optics->light_disc_radiance(ray, ray + 3, -1.0, l.direction, l.viewed_intensity,
                                                      l.viewed_size, &r[0], &r[1], &r[2]);
                    for (int k = 0; k < 3; ++k)
                        sum[k] += std::min(1.0, r[k] * l.colour[k]) * 0.04;
                }
            }
        }
        for (int k = 0; k < 3; ++k)
            planes[k][at] += float((1.0 - a) * sum[k]);
    });
}

void HyRenderScene::fill_sky_with_upwelling(const Frame& f, const HyPixelBuffer& buffer)
{
    float* planes[3] = {f.red, f.green, f.blue};
    for_each_pixel(f, false, [&](int row, int column, std::size_t at) {
        const double a = buffer.coverage[row][column];
        if (!(a < 1.0))
            return;
        for (int k = 0; k < 3; ++k)
            planes[k][at] += float((1.0 - a) * upwelling[k]);
    });
}

void HyRenderScene::finish_buffer(const Frame& f, const HyPixelBuffer& buffer)
{
    if (f.alpha) {
        for_each_pixel(f, false, [&](int row, int column, std::size_t at) {
            const double a = buffer.coverage[row][column];
            double alpha = 0.0;
            if (render_what == kWhatWater) {
                alpha = a;
            } else if (render_what == kWhatAir || render_what == kWhatBoth) {
                double v[3];
                f.view.pixel_direction(row, column, v[0], v[1], v[2]);
                const double sky = sky_weight(f, row, column, v[2]);
                alpha = render_what == kWhatAir ? (1.0 - a) * sky : a + (1.0 - a) * sky;
            }
            f.alpha[at] = float(alpha);
        });
    }
    float* depth = nullptr;
    if (f.camera->get_depth_plane(depth) && depth) {
        for_each_pixel(f, false, [&](int row, int column, std::size_t at) {
            const float d = buffer.distance_squared[row][column];
            depth[at] = d > 0.0f ? std::sqrt(d) : d;
        });
    }
}

void HyRenderScene::finish_depth(const Frame& f, const HyPixelBuffer& buffer)
{
    float* planes[3] = {f.red, f.green, f.blue};
    for_each_pixel(f, false, [&](int row, int column, std::size_t at) {
        const float a = buffer.coverage[row][column];
        for (float* p : planes) {
            if (a > 0.001f && a < 1.0f)
                p[at] /= a;
            if (a <= 0.01f)
                p[at] = kNoDepth;
        }
    });
}
