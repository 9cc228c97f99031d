// Render data records: what the render driver hands the scene for one frame.
//
// The scene is not given parameters; it is given these small records (air, ocean, lights, camera),
// registered with it for one render call. Records point to the optics, the surface and the texture
// groups and never own them: the driver creates those before the frame and deletes them after it.
// The camera record (type 200) lives in render/HyCamera.h.
#pragma once

#include "platform/HyMemory.h"

#include <cstdint>
#include <concepts>
#include <cstddef>
#include <type_traits>

// Objects the records point to. Only pointers pass through here, so the render library needs none
// of their definitions.
class HyAirFlatOptics;
class HyOceanOptics;
class HyOceanSurface;
class Hy2DTextureGroup;
class HyGridMulti;

// Base of every render data record. The scene dispatches on `type`; `id` is given by the scene when
// the record is registered (0 while unregistered, a new id on every registration).
class HyRenderData : public HyAllocated {
public:
    static constexpr std::uint32_t kTypeAir = 1;
    static constexpr std::uint32_t kTypeOcean = 3;
    static constexpr std::uint32_t kTypeLight = 100;
    static constexpr std::uint32_t kTypeCamera = 200;

    HyRenderData() = default;
    virtual ~HyRenderData(); // operation 0, the only virtual operation of the base

    std::uint32_t get_id() const { return id; }
    std::uint32_t get_type() const { return type; }

    std::uint32_t id = 0;
    std::uint32_t type = 0;

protected:
    explicit HyRenderData(std::uint32_t type_code) : type(type_code) {}
};

// Air record (type 1): the air model and whether it is applied at all.
class HyRenderData_Air : public HyRenderData {
public:
    HyRenderData_Air() : HyRenderData(kTypeAir) {}
    ~HyRenderData_Air() override;                                                  // 0

    virtual void set_optics(HyAirFlatOptics* optics) { optics_ = optics; }          // 1
    virtual void get_optics(HyAirFlatOptics*& optics) const { optics = optics_; }   // 2
    // 1: sky radiance and air transmission are computed; 0: black sky, no transmission.
    virtual void set_air_enabled(const std::uint32_t& on) { air_enabled_ = on; }    // 3
    virtual std::uint32_t get_air_enabled() const { return air_enabled_; }          // 4

private:
    HyAirFlatOptics* optics_ = nullptr;
    std::uint32_t air_enabled_ = 1;
};

// Light record (type 100). The driver writes the fields, the scene reads them; no accessors.
class HyRenderData_Light : public HyRenderData {
public:
    HyRenderData_Light() : HyRenderData(kTypeLight) {}
    ~HyRenderData_Light() override;

    // Unit vector along which the light travels (from the light towards the scene): z < 0 for a light
    // above the horizon.
    double direction[3] = {0.0, 0.0, -1.0};
    // Radiance per channel (r, g, b): 0..255 colour component x intensity / 255.
    double colour[3] = {1.0, 1.0, 1.0};
    double viewed_intensity = 1.0; // brightness factor of the light's disk in the sky
    double viewed_size = 1.0;      // size of that disk
    // Nonzero: light reaching the water is first attenuated by the air towards the light. The driver
    // always sets it; 0 (no attenuation) until then.
    std::uint32_t through_air = 0;
    std::uint32_t affects_air = 1;   // lights the sky, the haze and the visible disk
    std::uint32_t affects_water = 1; // lights the water: upwelling colour and glitter
    double glitter_scale = 1.0;
    double water_colour_scale = 1.0;
};

// How the ocean record reaches the surface's height grid. The record stores the surface untyped plus
// this one function, made where the surface's class is complete (the templated `set_surface`), so the
// render library depends on nothing of the surface but its name.
// Returns 1 with `grid` set, 0 with `grid` null.
using HyGridQuery = int (*)(void* surface, HyGridMulti*& grid);

namespace hyrender_detail {
// Accepts the shapes a surface's grid accessor may have: `get_grid(HyGridMulti*&)` or
// `get_grid(HyGridMulti**)` returning int, bool or nothing, or `HyGridMulti* get_grid()`.
template <class Surface>
int query_grid(void* surface, HyGridMulti*& grid)
{
    grid = nullptr;
    if (surface == nullptr)
        return 0;
    Surface* s = static_cast<Surface*>(surface);
    if constexpr (requires { s->get_grid(grid); }) {
        using R = decltype(s->get_grid(grid));
        if constexpr (std::is_void_v<R>) {
            s->get_grid(grid);
            return grid != nullptr ? 1 : 0;
        } else {
            const bool ok = static_cast<bool>(s->get_grid(grid));
            if (!ok)
                grid = nullptr;
            return ok && grid != nullptr ? 1 : 0;
        }
    } else if constexpr (requires { s->get_grid(&grid); }) {
        using R = decltype(s->get_grid(&grid));
        if constexpr (std::is_void_v<R>) {
            s->get_grid(&grid);
            return grid != nullptr ? 1 : 0;
        } else {
            const bool ok = static_cast<bool>(s->get_grid(&grid));
            if (!ok)
                grid = nullptr;
            return ok && grid != nullptr ? 1 : 0;
        }
    } else {
        static_assert(requires { { s->get_grid() } -> std::convertible_to<HyGridMulti*>; },
                      "the surface needs a get_grid accessor that yields a HyGridMulti*");
        grid = s->get_grid();
        return grid != nullptr ? 1 : 0;
    }
}
} // namespace hyrender_detail

// Ocean record (type 3): the wave field, the water optics, the texture groups and the per-frame
// settings of the water. Operations are listed in their fixed order; the number is the operation's
// place.
class HyRenderData_Ocean : public HyRenderData {
public:
    HyRenderData_Ocean() : HyRenderData(kTypeOcean) {}
    ~HyRenderData_Ocean() override;                                                        // 0

    // 1: stores the surface and the function that asks it for its grid. Use the templated overload
    // below; this form is for callers that already hold a query (a null surface clears both).
    virtual void set_surface(HyOceanSurface* surface, HyGridQuery query);
    // 2
    virtual void get_surface(HyOceanSurface*& surface) const { surface = static_cast<HyOceanSurface*>(surface_); }
    virtual void set_ocean_optics(HyOceanOptics* optics) { ocean_optics_ = optics; }     // 3
    virtual void get_ocean_optics(HyOceanOptics*& optics) const { optics = ocean_optics_; } // 4
    // 5, 6: double distance (second range of the surface optics), max distance (farthest water; half
    // size of the square drawn when the water stops there), base step (sampling step), metres.
    virtual void set_distances(const double& double_distance, const double& max_distance, const double& base_step);
    virtual void get_distances(double& double_distance, double& max_distance, double& base_step) const;
    // 7, 8: 1 water continues to the horizon, 0 water only within max distance.
    virtual void set_to_horizon(const std::uint32_t& on) { to_horizon_ = on; }
    virtual void get_to_horizon(std::uint32_t& on) const { on = to_horizon_; }
    // 9, 10: 1 wireframe / "too realistic", 2 texture, light tracking, realistic; 5 depth map.
    virtual void set_surface_mode(const std::uint32_t& mode) { surface_mode_ = mode; }
    virtual std::uint32_t get_surface_mode() const { return surface_mode_; }
    // 11, 12: wireframe lattice: origin, spacing (metres) and line counts.
    virtual void set_lattice(const double& x0, const double& y0, const double& dx, const double& dy,
                             const std::uint32_t& nx, const std::uint32_t& ny);
    virtual void get_lattice(double& x0, double& y0, double& dx, double& dy, std::uint32_t& nx,
                             std::uint32_t& ny) const;
    virtual void set_glitter_enabled(const std::uint32_t& on) { glitter_enabled_ = on; }  // 13
    virtual std::uint32_t get_glitter_enabled() const { return glitter_enabled_; }        // 14
    // 15..20: each setter also raises `textures present`; clearing a pointer does not lower it.
    virtual void set_texture_above(Hy2DTextureGroup* group);                               // 15
    virtual void get_texture_above(Hy2DTextureGroup*& group) const { group = texture_above_; } // 16
    virtual void set_texture_below(Hy2DTextureGroup* group);                               // 17
    virtual void get_texture_below(Hy2DTextureGroup*& group) const { group = texture_below_; } // 18
    virtual void set_texture_on(Hy2DTextureGroup* group);                                  // 19
    virtual void get_texture_on(Hy2DTextureGroup*& group) const { group = texture_on_; }   // 20
    virtual void set_textures_present(std::uint32_t present) { textures_present_ = present; } // 21
    virtual std::uint32_t get_textures_present() const { return textures_present_; }       // 22
    // 23, 24: per-channel multipliers on every texture sample.
    virtual void set_texture_tint(const double& r, const double& g, const double& b);
    virtual void get_texture_tint(double& r, double& g, double& b) const;
    // 25: the surface's height grid. Without a surface this is a caller error: grid = null, a
    // diagnostic line, result 0.
    virtual int get_grid(HyGridMulti*& grid) const;

    // Stores any surface whose class has a `get_grid` accessor (the ocean surface, or a stand-in).
    // Call it where the class is complete: `ocean.set_surface(surface);`
    template <class Surface>
    void set_surface(Surface* surface)
    {
        set_surface(static_cast<HyOceanSurface*>(static_cast<void*>(surface)),
                    surface != nullptr ? &hyrender_detail::query_grid<Surface> : nullptr);
    }
    void set_surface(std::nullptr_t) { set_surface(static_cast<HyOceanSurface*>(nullptr), nullptr); }
    // The stored surface as the type it was set with.
    template <class Surface>
    Surface* surface_as() const
    {
        return static_cast<Surface*>(surface_);
    }

private:
    void* surface_ = nullptr;
    HyGridQuery grid_query_ = nullptr;
    HyOceanOptics* ocean_optics_ = nullptr;
    Hy2DTextureGroup* texture_above_ = nullptr;
    Hy2DTextureGroup* texture_below_ = nullptr;
    Hy2DTextureGroup* texture_on_ = nullptr;
    // The driver always sets the distances and the horizon flag before registering the record; these
    // values only keep an unset record harmless.
    double double_distance_ = 1.0;
    double max_distance_ = 1.0;
    double base_step_ = 1.0;
    std::uint32_t to_horizon_ = 1;
    double lattice_x0_ = 0.0, lattice_y0_ = 0.0;
    double lattice_dx_ = 1.0, lattice_dy_ = 1.0;
    std::uint32_t lattice_nx_ = 128, lattice_ny_ = 128;
    std::uint32_t surface_mode_ = 1;
    std::uint32_t glitter_enabled_ = 1;
    std::uint32_t textures_present_ = 0;
    double tint_[3] = {1.0, 1.0, 1.0};
};
