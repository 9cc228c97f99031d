// The scene renderer: turns the registered render data records (air, ocean, lights) into pixels in
// each registered camera's planes.
//
// For each camera the scene picks a render path from the render mode, the render-what value and which
// of the air and ocean records are present, runs it row by row with a progress report after each row,
// and maps the colours (gamma, then colour range). Per-pixel paths write the camera's planes (row 0 the
// bottom of the picture, row major, stride = window columns); colours are linear radiance, premultiplied
// by the water's coverage in the realistic paths.
//
// The row loops read scene state that is fixed before the first row (the per-camera quantities below)
// and write only their own row of the planes, so rows do not depend on each other.
#pragma once

#include "optics/HySurfaceOptics.h"
#include "platform/HyThreadPool.h"
#include "render/HyCamera.h"
#include "render/HyRenderData.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

class HyOceanSurface;
class HyPixelBuffer;

class HyRenderScene : public HySurfaceShading {
public:
    static constexpr int kMaxLights = 100;
    static constexpr int kMaxRenderData = 100;
    static constexpr int kMaxCameras = 10;

    // Scene render modes.
    static constexpr std::uint32_t kModeTexture = 0;
    static constexpr std::uint32_t kModeRealistic = 1;
    static constexpr std::uint32_t kModeWireframe = 2;
    static constexpr std::uint32_t kModeLightTracking = 3;
    // Render-what values: which pixels count towards alpha.
    static constexpr std::uint32_t kWhatBoth = 1;
    static constexpr std::uint32_t kWhatWater = 2;
    static constexpr std::uint32_t kWhatAir = 3;
    // Ocean surface modes the shading knows.
    static constexpr std::uint32_t kSurfaceFresnel = 1;
    static constexpr std::uint32_t kSurfaceSimple = 2;
    static constexpr std::uint32_t kSurfaceDepth = 5;

    // Depth written where the depth finish sees no water, and the shading's depth of a point without a
    // positive distance.
    static constexpr float kNoDepth = 100000000.0f;
    static constexpr double kDepthUnknown = 99999999.0;

    HyRenderScene();

    // Virtual operations, in their fixed order.
    ~HyRenderScene() override;                                                             // 0
    // 1..6: registries. Adding gives the record a new id (ids only grow); a full registry refuses
    // (0). Removing finds the record by id and closes the gap keeping order; 0 when not registered.
    virtual int add_light(HyRenderData_Light* light);                                      // 1
    virtual int remove_light(HyRenderData_Light* light);                                   // 2
    virtual int add_render_data(HyRenderData* record);                                     // 3
    virtual int remove_render_data(HyRenderData* record);                                  // 4
    virtual int add_camera(HyRenderData_Camera* camera);                                   // 5
    virtual int remove_camera(HyRenderData_Camera* camera);                                // 6
    // 7..10: values above 3 are refused (0, unchanged).
    virtual int set_render_mode(const std::uint32_t& mode);                                // 7
    virtual std::uint32_t get_render_mode() const { return render_mode; }                  // 8
    virtual int set_render_what(const std::uint32_t& value);                               // 9
    virtual std::uint32_t get_render_what() const { return render_what; }                 // 10
    // 11..15: output mapping (gamma, then the colour range unless it is exactly 0..1).
    virtual void set_output_mapping(const double& gamma, const double& minimum, const double& maximum); // 11
    virtual void set_gamma(const double& gamma);                                           // 12
    virtual void enable_output_mapping() { output_mapping_on = 1; }                        // 13
    virtual void get_output_mapping(double& gamma, double& minimum, double& maximum) const; // 14
    virtual void disable_output_mapping() { output_mapping_on = 0; }                       // 15
    // 16: every camera in registration order; the product of their results (1 without cameras).
    virtual int render();                                                                  // 16
    virtual int render_camera(HyRenderData_Camera* camera);                                // 17
    // 18: fraction in (0, 1]; nonzero means go on. Always 1 here.
    int report_progress(double fraction) override;                                         // 18

    // Point shading of one water point seen along view.direction with unit normal n, for the texture
    // path and, through the surface optics, the realistic paths.
    void shade_from_above(const HySurfaceOceanContext& context, const double point[3], const double normal[3],
                          const HySurfaceView& view, double depth, double colour[3]) override;
    void shade_from_below(const HySurfaceOceanContext& context, const double point[3], const double normal[3],
                          const HySurfaceView& view, double depth, double colour[3]) override;

    // Fields.
    std::uint32_t output_mapping_on = 1;
    double gamma = 0.42;
    double colour_minimum = 0.0;
    double colour_maximum = 1.0;
    std::uint32_t render_mode = kModeTexture;
    std::uint32_t render_what = kWhatWater;
    std::uint32_t air_enabled = 1;
    std::uint32_t surface_mode = kSurfaceFresnel;
    double ambient_sky[3] = {0.9, 0.9, 0.9};
    std::uint32_t glitter_enabled = 0;
    std::uint32_t textures_present = 0;
    double texture_tint[3] = {1.0, 1.0, 1.0};

    std::int32_t render_data_count = 0;
    std::int32_t render_data_id_counter = 0;
    HyRenderData* render_data[kMaxRenderData] = {};
    std::int32_t light_count = 0;
    std::int32_t light_id_counter = 0;
    HyRenderData_Light* lights[kMaxLights] = {};
    std::int32_t camera_count = 0;
    std::int32_t camera_id_counter = 0;
    HyRenderData_Camera* cameras[kMaxCameras] = {};

    // Shared per-camera quantities: upwelling colour U and the per-light transmission factors through
    // the air (indexed like `lights`).
    double upwelling[3] = {0.0, 0.0, 0.0};
    double transmission[3][kMaxLights] = {};

protected:
    // What one camera's path works with, fixed before its first row.
    struct Frame {
        HyRenderData_Camera* camera = nullptr;
        HyViewGeometry view;
        int rows = 0;
        int columns = 0;
        float* red = nullptr;
        float* green = nullptr;
        float* blue = nullptr;
        float* alpha = nullptr; // null when no alpha plane is set
        double eye[3] = {0.0, 0.0, 0.0};
        double horizon_band = 0.0; // |dz| below this: the pixel lies at the horizon
        HyRenderData_Air* air = nullptr;
        HyAirFlatOptics* air_optics = nullptr;
        HyRenderData_Ocean* ocean = nullptr;
        HyOceanSurface* surface = nullptr;
        HyOceanOptics* ocean_optics = nullptr;
        Hy2DTextureGroup* texture_above = nullptr;
        Hy2DTextureGroup* texture_below = nullptr;
        Hy2DTextureGroup* texture_on = nullptr;
        double max_distance = 1.0;
        std::uint32_t to_horizon = 1;
    };

    // Sets the three colour planes to 0 (the camera's own clear unsets them).
    void zero_colour(const Frame& f);
    // Paths. Each returns 1 on success, 0 on failure or a stop request.
    int clear_with_progress(Frame& f);
    int render_light_dome(Frame& f);
    int render_air_only(Frame& f);
    int render_texture(Frame& f);
    int render_realistic(Frame& f);
    int render_wireframe(Frame& f);
    int render_sky_marks(Frame& f);
    int render_light_tracking(Frame& f);

    // Realistic composition steps.
    void apply_air_to_water(const Frame& f, const HyPixelBuffer& buffer);
    void add_light_disks(const Frame& f, const HyPixelBuffer& buffer);
    void fill_sky_with_upwelling(const Frame& f, const HyPixelBuffer& buffer);
    void finish_buffer(const Frame& f, const HyPixelBuffer& buffer);
    void finish_depth(const Frame& f, const HyPixelBuffer& buffer);

    // Per-camera quantities.
    void compute_ambient_sky(const Frame& f);
    void compute_upwelling(const Frame& f);
    void compute_transmission(const Frame& f);
    HySurfaceOceanContext context_for(const Frame& f);

    // Sum over air lights of colour x sky radiance (with_disc: x air radiance, the disc included)
    // from `position` along `direction` up to `distance` (-1: to the end of the air). Black without air
    // optics or with air disabled.
    void air_light_sum(const HyAirFlatOptics* optics, const double position[3], const double direction[3],
                       double distance, bool with_disc, double out[3]) const;
    // The 5 x 5 sub-sample mean of the air light sum at a horizon pixel, each sub-sample clamped to
    // the colour maximum; `sky` gets the fraction of sub-samples looking up (dz >= 0).
    void horizon_air(const Frame& f, int row, int column, double distance, bool with_disc, double out[3],
                     double* sky) const;
    // Sky weight of a pixel: the fraction of upward sub-samples at the horizon, else 1 looking up.
    double sky_weight(const Frame& f, int row, int column, double dz) const;
    bool at_horizon(const Frame& f, double dz) const { return dz < f.horizon_band && dz > -f.horizon_band; }

    // Glitter sum over water lights for the point's normal and view, on `side` (1 above, -1 below).
    void glitter_sum(const HySurfaceOceanContext& context, const double normal[3], const double view[3],
                     int side, double out[3]) const;
    // Adds the three texture groups sampled at the point, tinted, the above and below groups weighted
    // per channel, the one on the surface at full weight.
    void add_textures(const HySurfaceOceanContext& context, const double point[3], const double above_weight[3],
                      const double below_weight[3], double colour[3]) const;

    // Marks white every pixel whose direction v has L . v < reach for any registered light, row by
    // row with progress; 0 on a stop request.
    int mark_lights(const Frame& f, double reach);
    // Draws a white segment between two world points.
    void draw_segment(const Frame& f, const double a[3], const double b[3]);

    bool fetch_frame(HyRenderData_Camera* camera, Frame& f) const;
    // Calls pixel(row, column, index) for every window pixel, index = row * columns + column (the planes'
    // layout). Rows run on the process's threads; `pixel` must write only its own pixel. With `report`,
    // rows go out in blocks of one row per thread and progress for each row of a block follows it in
    // order, so a stop request ends the walk (false) within about a row's time.
    template <class Pixel>
    bool for_each_pixel(const Frame& f, bool report, Pixel&& pixel)
    {
        auto rows = [&](std::int64_t first, std::int64_t end) {
            for (int row = int(first); row < int(end); ++row) {
                const std::size_t base = std::size_t(row) * std::size_t(f.columns);
                for (int column = 0; column < f.columns; ++column)
                    pixel(row, column, base + std::size_t(column));
            }
        };
        if (!report) {
            hyplat::parallel_for(f.rows, 1, rows);
            return true;
        }
        const int block = std::max(1, hyplat::HyThreadPool::process().thread_count());
        for (int first = 0; first < f.rows; first += block) {
            const int end = std::min(f.rows, first + block);
            hyplat::parallel_for(end - first, 1, [&](std::int64_t b, std::int64_t e) { rows(first + b, first + e); });
            for (int row = first; row < end; ++row)
                if (!row_done(row, f.rows))
                    return false;
        }
        return true;
    }
    // Progress after row `row` of `rows`; false means stop.
    bool row_done(int row, int rows) { return report_progress(double(row + 1) / double(rows)) != 0; }
};
