// The per-pixel shading of each render path of the scene: light dome, air-only sky, the texture path,
// the point shading of the water seen from above and below, wireframe and light tracking.
#include "render/HyRenderScene.h"

#include "ocean/HyOceanSurface.h"
#include "optics/HyAirOptics.h"
#include "optics/HyOceanOptics.h"
#include "optics/HyTexture.h"
#include "platform/HyMemory.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace {

double dot3(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void normalise3(double v[3])
{
    const double n = std::sqrt(dot3(v, v));
    if (n > 0.0) {
        v[0] /= n;
        v[1] /= n;
        v[2] /= n;
    }
}

// Unit normal of a surface with slopes (sx, sy).
void slope_normal(double sx, double sy, double n[3])
{
    const double inv = 1.0 / std::sqrt(sx * sx + sy * sy + 1.0);
    n[0] = -sx * inv;
    n[1] = -sy * inv;
    n[2] = inv;
}

void store(float* r, float* g, float* b, std::size_t at, const double c[3])
{
    r[at] = float(c[0]);
    g[at] = float(c[1]);
    b[at] = float(c[2]);
}

} // namespace

// ---- Light dome and air-only sky ---------------------------------------------------------------------

int HyRenderScene::render_light_dome(Frame& f)
{
    if (!f.red)
        return 0;
    return for_each_pixel(f, true, [&](int row, int column, std::size_t at) {
        double v[3];
        f.view.pixel_direction(row, column, v[0], v[1], v[2]);
        double c[3] = {0.0, 0.0, 0.0};
        for (int i = 0; i < light_count; ++i) {
            const double cosine = -dot3(lights[i]->direction, v);
            const double w = 0.5 + 0.5 * std::pow(cosine, 5);
            for (int k = 0; k < 3; ++k)
                c[k] += w * lights[i]->colour[k];
        }
        store(f.red, f.green, f.blue, at, c);
    }) ? 1 : 0;
}

int HyRenderScene::render_air_only(Frame& f)
{
    if (!f.red)
        return 0;
    const std::size_t n = std::size_t(f.rows) * std::size_t(f.columns);
    if (f.alpha)
        std::fill(f.alpha, f.alpha + n, 0.0f);
    const bool sky_counts = render_what == kWhatBoth || render_what == kWhatAir;
    return for_each_pixel(f, true, [&](int row, int column, std::size_t at) {
        double v[3];
        f.view.pixel_direction(row, column, v[0], v[1], v[2]);
        double c[3], sky;
        if (at_horizon(f, v[2])) {
            horizon_air(f, row, column, -1.0, true, c, &sky);
        } else {
            air_light_sum(f.air_optics, f.eye, v, -1.0, true, c);
            sky = v[2] >= 0.0 ? 1.0 : 0.0;
        }
        store(f.red, f.green, f.blue, at, c);
        if (f.alpha && sky_counts)
            f.alpha[at] += float(sky);
    }) ? 1 : 0;
}

// ---- Texture path -----------------------------------------------------------------------------------

int HyRenderScene::render_texture(Frame& f)
{
    if (!f.red)
        return 0;
    compute_upwelling(f);
    compute_transmission(f);
    const HySurfaceOceanContext context = context_for(f);
    const std::size_t n = std::size_t(f.rows) * std::size_t(f.columns);
    if (f.alpha)
        std::fill(f.alpha, f.alpha + n, 0.0f);
    const bool sky_counts = render_what == kWhatBoth || render_what == kWhatAir;
    const bool water_counts = render_what == kWhatBoth || render_what == kWhatWater;
    const bool with_air = f.air != nullptr;
    const HyAirFlatOptics* air = with_air && air_enabled ? f.air_optics : nullptr;
    double pixel_h = 0.0, pixel_v = 0.0;
    f.camera->get_pixel_angles(pixel_h, pixel_v);
    const double h = f.eye[2];
    const bool above = h >= 0.0;

    return for_each_pixel(f, true, [&](int row, int column, std::size_t at) {
        HySurfaceView sv;
        for (int k = 0; k < 3; ++k)
            sv.eye[k] = f.eye[k];
        double* v = sv.direction;
        f.view.pixel_direction(row, column, v[0], v[1], v[2]);
        double c[3] = {0.0, 0.0, 0.0};
        double sky = 0.0, water = 0.0;
        if (above ? v[2] >= 0.0 : v[2] <= 0.0) {
            // Sky seen from above; deep water seen from below.
            if (above) {
                if (with_air) {
                    sky = 1.0;
                    air_light_sum(air, f.eye, v, -1.0, true, c);
                }
            } else {
                for (int k = 0; k < 3; ++k)
                    c[k] = upwelling[k];
                sky = with_air ? 1.0 : 0.0;
            }
        } else {
            // The sea-level plane, carrying the surface's slopes.
            const double t = -h / v[2];
            const double p[3] = {f.eye[0] + t * v[0], f.eye[1] + t * v[1], 0.0};
            const bool inside = f.to_horizon || (std::fabs(p[0] - f.eye[0]) < f.max_distance &&
                                                 std::fabs(p[1] - f.eye[1]) < f.max_distance);
            if (inside) {
                double sx = 0.0, sy = 0.0;
                if (f.surface) {
                    // With air the footprint of a pixel filters the slopes, so the far sea does not
                    // sparkle with aliased detail.
                    if (above && with_air)
                        f.surface->get_slope_by_difference(p[0], p[1], 2.0 * pixel_h * t, 2.0 * pixel_v * t, sx,
                                                           sy);
                    else
                        f.surface->get_slope(p[0], p[1], sx, sy);
                }
                double normal[3];
                slope_normal(sx, sy, normal);
                if (above) {
                    shade_from_above(context, p, normal, sv, t * t, c);
                    if (with_air) {
                        double tr[3] = {1.0, 1.0, 1.0}, lp[3];
                        if (air)
                            air->transmittance(f.eye, v, t, &tr[0], &tr[1], &tr[2]);
                        air_light_sum(air, f.eye, v, t, true, lp);
                        for (int k = 0; k < 3; ++k)
                            c[k] = tr[k] * c[k] + lp[k];
                    }
                } else {
                    shade_from_below(context, p, normal, sv, t * t, c);
                }
                water = 1.0;
            }
        }
        store(f.red, f.green, f.blue, at, c);
        if (f.alpha)
            f.alpha[at] += float((sky_counts ? sky : 0.0) + (water_counts ? water : 0.0));
    }) ? 1 : 0;
}

// ---- Point shading ----------------------------------------------------------------------------------

void HyRenderScene::glitter_sum(const HySurfaceOceanContext& context, const double normal[3], const double view[3],
                                int side, double out[3]) const
{
    out[0] = out[1] = out[2] = 0.0;
    if (!glitter_enabled || context.ocean_optics == nullptr)
        return;
    // Seen from below, the glitter is the light carried down to the eye through the surface: the
    // glitter model wants that light's path, the view mirrored into the water.
    const double mirrored[3] = {view[0], view[1], -view[2]};
    const double* v = side == -1 ? mirrored : view;
    for (int i = 0; i < light_count; ++i) {
        const HyRenderData_Light& l = *lights[i];
        if (!l.affects_water || !(l.direction[2] < 0.0))
            continue;
        double g[3];
        context.ocean_optics->glitter(normal, l.direction, v, side, &g[0], &g[1], &g[2]);
        const double* t[3] = {context.transmission_r, context.transmission_g, context.transmission_b};
        for (int k = 0; k < 3; ++k)
            out[k] += (t[k] ? t[k][i] : 1.0) * l.colour[k] * l.glitter_scale * g[k];
    }
}

void HyRenderScene::add_textures(const HySurfaceOceanContext& context, const double point[3],
                                 const double above_weight[3], const double below_weight[3],
                                 double colour[3]) const
{
    if (!textures_present)
        return;
    Hy2DTextureGroup* groups[3] = {context.texture_above, context.texture_below, context.texture_on};
    const double on_weight[3] = {1.0, 1.0, 1.0};
    const double* weights[3] = {above_weight, below_weight, on_weight};
    for (int g = 0; g < 3; ++g) {
        if (groups[g] == nullptr || texture_count(groups[g]) < 1)
            continue;
        double values[kHyTextureMaxChannels] = {0.0, 0.0, 0.0, 0.0};
        sample_group(groups[g], values, point[0], point[1]);
        const int channels = std::min(3, int(groups[g]->channels));
        for (int k = 0; k < 3; ++k)
            colour[k] += (channels == 1 ? values[0] : (k < channels ? values[k] : 0.0)) * texture_tint[k] *
                         weights[g][k];
    }
}

void HyRenderScene::shade_from_above(const HySurfaceOceanContext& context, const double point[3],
                                     const double normal[3], const HySurfaceView& view, double depth,
                                     double colour[3])
{
    if (surface_mode == kSurfaceDepth) {
        colour[0] = colour[1] = colour[2] = depth > 0.0 ? std::sqrt(depth) : kDepthUnknown;
        return;
    }
    const double* v = view.direction;
    const double up[3] = {context.upwelling_r, context.upwelling_g, context.upwelling_b};
    double g[3];
    glitter_sum(context, normal, v, 1, g);
    double wa[3], wb[3]; // texture weights above and below the surface
    if (surface_mode == kSurfaceSimple) {
        const double f = 1.0 - std::fabs(dot3(normal, v));
        const double wr = f / 2.0, wt = 1.0 - f;
        for (int k = 0; k < 3; ++k) {
            colour[k] = wr * ambient_sky[k] + wt * up[k] + g[k];
            wa[k] = wr;
            wb[k] = wt;
        }
    } else {
        double R[3] = {0.0, 0.0, 0.0};
        if (context.ocean_optics)
            context.ocean_optics->fresnel_reflectance(normal, v, 1, &R[0], &R[1], &R[2]);
        double s[3] = {0.0, 0.0, 0.0};
        if (context.ocean_optics && context.air_optics) {
            double r[3];
            context.ocean_optics->reflect(normal, v, r);
            // A reflected ray that would dive into the water is bent back to just above the horizon.
            r[2] = std::fabs(r[2]) + 0.1;
            normalise3(r);
            // The reflected sky is seen from the water point, not from the eye.
            air_light_sum(context.air_optics, point, r, -1.0, false, s);
        }
        for (int k = 0; k < 3; ++k) {
            colour[k] = (1.0 - R[k]) * up[k] + R[k] * s[k] + g[k];
            wa[k] = R[k];
            wb[k] = 1.0 - R[k];
        }
    }
    add_textures(context, point, wa, wb, colour);
}

void HyRenderScene::shade_from_below(const HySurfaceOceanContext& context, const double point[3],
                                     const double normal[3], const HySurfaceView& view, double depth,
                                     double colour[3])
{
    if (surface_mode == kSurfaceDepth) {
        colour[0] = colour[1] = colour[2] = depth > 0.0 ? std::sqrt(depth) : kDepthUnknown;
        return;
    }
    const double* v = view.direction;
    const double up[3] = {context.upwelling_r, context.upwelling_g, context.upwelling_b};
    double g[3] = {0.0, 0.0, 0.0};
    double wa[3], wb[3]; // texture weights above and below the surface
    if (surface_mode == kSurfaceSimple) {
        const double c = std::fabs(dot3(normal, v));
        const double k = context.ocean_optics ? context.ocean_optics->critical_cos2(0) : 0.0;
        double r = 1.0, t = 0.0;
        if (c > 0.0 && c * c > k) {
            const double x = 1.0 - (c * c - k) / (1.0 - k);
            r = x * x;
            t = (1.0 - r) * 0.8;
            glitter_sum(context, normal, v, -1, g);
        }
        for (int ch = 0; ch < 3; ++ch) {
            colour[ch] = t * ambient_sky[ch] + r * up[ch] + t * g[ch];
            wa[ch] = t;
            wb[ch] = r;
        }
    } else {
        double R[3] = {1.0, 1.0, 1.0}, s[3] = {0.0, 0.0, 0.0};
        double out[3];
        if (context.ocean_optics && dot3(normal, v) > 0.0 &&
            context.ocean_optics->refract_channel(normal, v, 0, out)) {
            out[2] = std::fabs(out[2]);
            air_light_sum(context.air_optics, point, out, -1.0, false, s);
            context.ocean_optics->fresnel_reflectance(normal, v, -1, &R[0], &R[1], &R[2]);
            glitter_sum(context, normal, v, -1, g);
        }
        for (int k = 0; k < 3; ++k) {
            colour[k] = (s[k] + g[k]) * (1.0 - R[k]) + R[k] * up[k];
            wa[k] = 1.0 - R[k];
            wb[k] = R[k];
        }
    }
    add_textures(context, point, wa, wb, colour);
}

// ---- Wireframe, sky marks and light tracking --------------------------------------------------------

void HyRenderScene::draw_segment(const Frame& f, const double a[3], const double b[3])
{
    // Cut the segment at a plane just in front of the eye: a node behind the camera has no picture
    // position.
    const HyViewGeometry& view = f.view;
    auto depth = [&](const double p[3]) {
        return view.Rt[2][0] * (p[0] - f.eye[0]) + view.Rt[2][1] * (p[1] - f.eye[1]) + view.Rt[2][2] * (p[2] - f.eye[2]);
    };
    constexpr double kNear = 1e-3;
    double p0[3] = {a[0], a[1], a[2]}, p1[3] = {b[0], b[1], b[2]};
    const double d0 = depth(p0), d1 = depth(p1);
    if (d0 <= kNear && d1 <= kNear)
        return;
    if (d0 <= kNear || d1 <= kNear) {
        const double s = (kNear - d0) / (d1 - d0);
        double* moved = d0 <= kNear ? p0 : p1;
        for (int k = 0; k < 3; ++k)
            moved[k] = a[k] + s * (b[k] - a[k]);
    }
    double r0, c0, r1, c1;
    view.project_point_fractional(p0, r0, c0);
    view.project_point_fractional(p1, r1, c1);
    // Keep only the part inside the window (Liang-Barsky), so a far end costs no steps.
    double t0 = 0.0, t1 = 1.0;
    const double dr = r1 - r0, dc = c1 - c0;
    const double p[4] = {-dr, dr, -dc, dc};
    const double q[4] = {r0, double(f.rows) - r0, c0, double(f.columns) - c0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
    }
    if (t0 > t1)
        return;
    const double rs = r0 + t0 * dr, cs = c0 + t0 * dc;
    r1 = r0 + t1 * dr;
    c1 = c0 + t1 * dc;
    r0 = rs;
    c0 = cs;
    const int row0 = int(std::floor(r0)), column0 = int(std::floor(c0));
    const int drow = int(std::floor(r1)) - row0, dcolumn = int(std::floor(c1)) - column0;
    const int n = std::max(std::abs(drow), std::abs(dcolumn));
    const double s = n > 0 ? 1.0 / (0.999 * n) : 0.0;
    for (int k = 0; k <= n; ++k) {
        // Truncation towards zero, with the last step reaching the end pixel.
        const int row = int(row0 + drow * k * s);
        const int column = int(column0 + dcolumn * k * s);
        if (row < 0 || row >= f.rows || column < 0 || column >= f.columns)
            continue;
        const std::size_t at = std::size_t(row) * std::size_t(f.columns) + std::size_t(column);
        f.red[at] = f.green[at] = f.blue[at] = 1.0f;
    }
}

int HyRenderScene::render_wireframe(Frame& f)
{
    if (!f.red)
        return 1;
    zero_colour(f);
    double x0, y0, dx, dy;
    std::uint32_t nx, ny;
    f.ocean->get_lattice(x0, y0, dx, dy, nx, ny);
    float* heights = hymem::allocate_array<float>(std::size_t(nx) * std::size_t(ny));
    if (heights == nullptr && std::size_t(nx) * std::size_t(ny) != 0) {
        std::fprintf(stderr, "unable to allocate height array for wireframe \n");
        return 0;
    }
    const double xs = x0 - (double(nx) - 1.0) * dx / 2.0, ys = y0 - (double(ny) - 1.0) * dy / 2.0;
    for (std::uint32_t j = 0; j < ny; ++j)
        for (std::uint32_t i = 0; i < nx; ++i)
            heights[std::size_t(j) * nx + i] =
                f.surface ? float(f.surface->get_height(xs + i * dx, ys + j * dy)) : 0.0f;
    auto node = [&](std::uint32_t i, std::uint32_t j, double p[3]) {
        p[0] = xs + i * dx;
        p[1] = ys + j * dy;
        p[2] = heights[std::size_t(j) * nx + i];
    };
    double a[3], b[3];
    for (std::uint32_t i = 0; i < nx; ++i) {
        for (std::uint32_t j = 0; j + 1 < ny; ++j) {
            node(i, j, a);
            node(i, j + 1, b);
            draw_segment(f, a, b);
        }
    }
    for (std::uint32_t j = 0; j < ny; ++j) {
        for (std::uint32_t i = 0; i + 1 < nx; ++i) {
            node(i, j, a);
            node(i + 1, j, b);
            draw_segment(f, a, b);
        }
    }
    hymem::release(heights);
    return render_sky_marks(f);
}

int HyRenderScene::mark_lights(const Frame& f, double reach)
{
    return for_each_pixel(f, true, [&](int row, int column, std::size_t at) {
        double v[3];
        f.view.pixel_direction(row, column, v[0], v[1], v[2]);
        for (int i = 0; i < light_count; ++i) {
            if (dot3(lights[i]->direction, v) < reach) {
                f.red[at] = f.green[at] = f.blue[at] = 1.0f;
                break;
            }
        }
    }) ? 1 : 0;
}

int HyRenderScene::render_sky_marks(Frame& f)
{
    if (!f.red)
        return 1;
    // A pixel looks at a light when the light lies within about one pixel of its direction.
    const double m = f.view.max_step();
    if (!mark_lights(f, m * m / 2.0 - 1.0))
        return 0;
    // Horizon dots every 5 degrees, 1 m from the eye at eye height.
    for (int k = 0; k < 72; ++k) {
        const double angle = k * 5.0 * 3.14159265358979323846 / 180.0;
        const double p[3] = {f.eye[0] + std::cos(angle), f.eye[1] + std::sin(angle), f.eye[2]};
        int row = INT_MIN, column = INT_MIN;
        f.view.project_point(p, row, column);
        if (row == INT_MIN)
            continue; // behind the eye
        for (int r = row - 1; r <= row + 1; ++r) {
            for (int c = column - 1; c <= column + 1; ++c) {
                if (r < 0 || r >= f.rows || c < 0 || c >= f.columns)
                    continue;
                const std::size_t at = std::size_t(r) * std::size_t(f.columns) + std::size_t(c);
                f.red[at] = f.green[at] = f.blue[at] = 1.0f;
            }
        }
    }
    return 1;
}

int HyRenderScene::render_light_tracking(Frame& f)
{
    if (!f.red)
        return 1;
    zero_colour(f);
    // Within about two pixels of a light's direction.
    const double m = f.view.max_step();
    return mark_lights(f, 2.0 * m * m - 1.0);
}
