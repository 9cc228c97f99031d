#include "ocean/HyOceanSurfaceGridElement_disturbance.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

namespace {

constexpr double kGravity = 9.81;
constexpr double kTwoPi = 2.0 * 3.1415926535;
constexpr double kExponentLimit = 15.0;
constexpr int kMaxKeyCount = 1000000;

double finite_or(double v, double fallback) { return std::isfinite(v) ? v : fallback; }

// Keys must be finite, strictly increasing times with finite values on every channel.
bool keys_valid(int key_count, const double* const* arrays, int array_count)
{
    if (key_count < 1 || key_count > kMaxKeyCount)
        return false;
    for (int a = 0; a < array_count; ++a) {
        if (!arrays[a])
            return false;
        for (int k = 0; k < key_count; ++k)
            if (!std::isfinite(arrays[a][k]))
                return false;
    }
    for (int k = 1; k < key_count; ++k)
        if (!(arrays[0][k] > arrays[0][k - 1]))
            return false;
    return true;
}

bool interval_valid(double start, double end) { return !std::isnan(start) && !std::isnan(end); }

} // namespace

HyOceanSurfaceGridElement_disturbance::HyOceanSurfaceGridElement_disturbance(const HyDisturbance_record& record)
    : HyOcean_data(record)
{
    kind = kHyKindDisturbance;
    set_placement(record.centre_x, record.centre_y, record.angle, record.start_time, record.time_step);
}

HyOceanSurfaceGridElement_disturbance::~HyOceanSurfaceGridElement_disturbance()
{
    free_state();
    hymem::release(scratch);
    for (int b = 0; b < boat_count; ++b)
        free_keys(boats[b].keys);
    for (int r = 0; r < ripple_count; ++r)
        free_keys(ripples[r].keys);
}

bool HyOceanSurfaceGridElement_disturbance::lattice_ok() const
{
    return nx >= 1 && ny >= 1 && std::isfinite(dx) && std::isfinite(dy) && dx > 0.0 && dy > 0.0;
}

void HyOceanSurfaceGridElement_disturbance::free_state()
{
    hymem::release(height_prev);
    hymem::release(height);
    hymem::release(potential_prev);
    hymem::release(potential);
    hymem::release(k_weight);
    height_prev = height = potential_prev = potential = nullptr;
    k_weight = nullptr;
}

void HyOceanSurfaceGridElement_disturbance::clear_state()
{
    if (!height)
        return;
    const std::size_t count = (std::size_t(nx) + 2) * std::size_t(ny);
    std::memset(height_prev, 0, sizeof(float) * count);
    std::memset(height, 0, sizeof(float) * count);
    std::memset(potential_prev, 0, sizeof(float) * count);
    std::memset(potential, 0, sizeof(float) * count);
}

int HyOceanSurfaceGridElement_disturbance::generate_kspace()
{
    free_state();
    if (!lattice_ok()) {
        std::fprintf(stderr, "HyOceanSurfaceGridElement_disturbance::generate_kspace unusable lattice %d x %d at %g x %g m \n",
                     nx, ny, dx, dy);
        return 0;
    }
    const std::size_t count = (std::size_t(nx) + 2) * std::size_t(ny);
    height_prev = hymem::allocate_array<float>(count, true);
    height = hymem::allocate_array<float>(count, true);
    potential_prev = hymem::allocate_array<float>(count, true);
    potential = hymem::allocate_array<float>(count, true);
    if (!height_prev || !height || !potential_prev || !potential) {
        std::fprintf(stderr, "unable to allocate space for dynamic wake generation \n");
        free_state();
        return 0;
    }
    sim_time = start_time;
    steps_taken = 0;
    display_fraction = 0.0;
    return 1;
}

void HyOceanSurfaceGridElement_disturbance::set_placement(double cx, double cy, double new_angle, double start,
                                                          double dt)
{
    centre_x = finite_or(cx, 0.0);
    centre_y = finite_or(cy, 0.0);
    angle = finite_or(new_angle, 0.0);
    start_time = finite_or(start, 0.0);
    if (!(std::isfinite(dt) && dt > 0.0)) {
        std::fprintf(stderr, "HyOceanSurfaceGridElement_disturbance::set_placement time step %g replaced by 0.1 \n", dt);
        dt = 0.1;
    }
    time_step = dt;
    cos_a = std::cos(angle);
    sin_a = std::sin(angle);
    const double hx = nx * dx * 0.5;
    const double hy = ny * dy * 0.5;
    offset_x = finite_or(cos_a * hx - sin_a * hy - centre_x, 0.0);
    offset_y = finite_or(sin_a * hx + cos_a * hy - centre_y, 0.0);
    // The old waves were laid down in another place and time: start again from rest.
    sim_time = start_time;
    steps_taken = 0;
    display_fraction = 0.0;
    clear_state();
}

void HyOceanSurfaceGridElement_disturbance::get_position(double, double& x, double& y)
{
    x = offset_x;
    y = offset_y;
}

void HyOceanSurfaceGridElement_disturbance::get_corners(double& x0, double& y0, double& x1, double& y1, double& x2,
                                                        double& y2, double& x3, double& y3)
{
    rotated_corners(cos_a, sin_a, centre_x, centre_y, x0, y0, x1, y1, x2, y2, x3, y3);
}

void HyOceanSurfaceGridElement_disturbance::add_to_node(int i, int j, double value)
{
    if (height && i >= 0 && i < nx && j >= 0 && j < ny)
        height[std::size_t(j) * std::size_t(nx) + std::size_t(i)] += float(value);
}

void HyOceanSurfaceGridElement_disturbance::set_node(int i, int j, double value)
{
    if (height && i >= 0 && i < nx && j >= 0 && j < ny)
        height[std::size_t(j) * std::size_t(nx) + std::size_t(i)] = float(value);
}

double HyOceanSurfaceGridElement_disturbance::get_node(int i, int j)
{
    if (height && i >= 0 && i < nx && j >= 0 && j < ny)
        return height[std::size_t(j) * std::size_t(nx) + std::size_t(i)];
    return 0.0;
}

float HyOceanSurfaceGridElement_disturbance::k_weight_at(std::size_t r, std::size_t c, double dt) const
{
    const std::size_t m = std::size_t(ny);
    const double kx = double(c) * (kTwoPi / (double(nx) * dx));
    const double ky = (r <= m / 2 ? double(r) : double(r) - double(m)) * (kTwoPi / (double(m) * dy));
    const double k = std::sqrt(kx * kx + ky * ky);
    // Beyond this |k| the explicit step would amplify instead of oscillate.
    return (kGravity * k * dt * dt < 4.0) ? float(k) : 0.0f;
}

const float* HyOceanSurfaceGridElement_disturbance::k_weights(double dt)
{
    if (k_weight && k_weight_dt == dt)
        return k_weight;
    const std::size_t ncols = std::size_t(nx) / 2 + 1;
    const std::size_t m = std::size_t(ny);
    if (!k_weight)
        k_weight = hymem::allocate_array<float>(ncols * m, false);
    if (!k_weight)
        return nullptr;  // computed per value instead, with the same result
    for (std::size_t r = 0; r < m; ++r)
        for (std::size_t c = 0; c < ncols; ++c)
            k_weight[r * ncols + c] = k_weight_at(r, c, dt);
    k_weight_dt = dt;
    return k_weight;
}

void HyOceanSurfaceGridElement_disturbance::step(double dt)
{
    if (!height || !(std::isfinite(dt) && dt > 0.0))
        return;
    const std::size_t n = std::size_t(nx);
    const std::size_t m = std::size_t(ny);
    const std::size_t count = n * m;
    // The current state becomes the previous one; the new one is written over the oldest.
    std::swap(height_prev, height);
    std::swap(potential_prev, potential);

    float* d = heights;
    if (!d) {
        if (!scratch)
            scratch = hymem::allocate_array<float>((n + 2) * m, false);
        d = scratch;
    }
    bool propagated = false;
    if (d) {
        // Vertical velocity of the surface: |k| times the potential, in the Fourier domain.
        std::memcpy(d, potential_prev, sizeof(float) * count);
        if (forward(d, nx, ny)) {
            const std::size_t ncols = n / 2 + 1;
            const float* w = k_weights(dt);
            for (std::size_t r = 0; r < m; ++r) {
                float* line = d + 2 * r * ncols;
                for (std::size_t c = 0; c < ncols; ++c) {
                    const float k = w ? w[r * ncols + c] : k_weight_at(r, c, dt);
                    line[2 * c] *= k;
                    line[2 * c + 1] *= k;
                }
            }
            d[0] = d[1] = 0.0f;
            propagated = inverse(d, nx, ny) != 0;
        }
    }
    if (!propagated) {
        std::fprintf(stderr, "HyOceanSurfaceGridElement_disturbance::step unable to propagate waves \n");
        std::memcpy(height, height_prev, sizeof(float) * count);
        std::memcpy(potential, potential_prev, sizeof(float) * count);
        return;
    }
    const float scale = float(dt / (double(n) * double(m)));
    const float g_dt = float(dt * kGravity);
    for (std::size_t k = 0; k < count; ++k) {
        height[k] = height_prev[k] + scale * d[k];
        potential[k] = potential_prev[k] - g_dt * height[k];
    }
}

void HyOceanSurfaceGridElement_disturbance::write_display()
{
    if (!heights || nx < 1 || ny < 1)
        return;
    const std::size_t count = std::size_t(nx) * std::size_t(ny);
    if (!height) {
        std::memset(heights, 0, sizeof(float) * count);
        return;
    }
    const float f = float(display_fraction);
    const float g = 1.0f - f;
    for (std::size_t k = 0; k < count; ++k)
        heights[k] = height_prev[k] * g + height[k] * f;
}

void HyOceanSurfaceGridElement_disturbance::evolve_to_time(double t)
{
    if (!height || !std::isfinite(t)) {
        write_display();
        return;
    }
    const double dt = time_step;
    if (t < sim_time) {
        clear_state();
        sim_time = start_time;
        steps_taken = 0;
    }
    // The clock counts whole steps from the start, so that long runs do not drift from the frame
    // times they are asked for.
    // Each step propagates the water, then lays down what the sources did during it. Injecting after
    // the propagation keeps the display continuous: the state a step leaves is exactly the one the
    // next step starts from, so the interpolation never jumps at a step boundary.
    while (start_time + double(steps_taken + 1) * dt <= t) {
        step(dt);
        inject_sources(sim_time, dt);
        ++steps_taken;
        const double next = start_time + double(steps_taken) * dt;
        if (next == sim_time)
            break;  // the step no longer moves a clock this large
        sim_time = next;
    }
    display_fraction = std::clamp((t - sim_time) / dt, 0.0, 1.0);

    const std::size_t count = std::size_t(nx) * std::size_t(ny);
    bool finite = true;
    for (std::size_t k = 0; k < count && finite; ++k)
        finite = std::isfinite(height[k]) && std::isfinite(height_prev[k]) && std::isfinite(potential[k]);
    if (!finite) {
        std::fprintf(stderr, "HyOceanSurfaceGridElement_disturbance::evolve_to_time disturbance state out of range, reset to rest \n");
        clear_state();
    }
    write_display();
}

void HyOceanSurfaceGridElement_disturbance::transform_to_heights() { write_display(); }

void HyOceanSurfaceGridElement_disturbance::to_frame(double wx, double wy, double& fx, double& fy) const
{
    const double px = wx - centre_x;
    const double py = wy - centre_y;
    fx = cos_a * px + sin_a * py + nx * dx * 0.5;
    fy = -sin_a * px + cos_a * py + ny * dy * 0.5;
}

void HyOceanSurfaceGridElement_disturbance::add_bumps(const Bump* bumps, int count)
{
    if (!height)
        return;
    const double reach = std::sqrt(kExponentLimit);
    double x_lo = HUGE_VAL, x_hi = -HUGE_VAL, y_lo = HUGE_VAL, y_hi = -HUGE_VAL;
    Bump live[4];
    int n_live = 0;
    for (int b = 0; b < count && n_live < 4; ++b) {
        const Bump& u = bumps[b];
        const bool ok = std::isfinite(u.cx) && std::isfinite(u.cy) && std::isfinite(u.ax) && std::isfinite(u.ay) &&
                        std::isfinite(u.ra) && std::isfinite(u.rb) && std::isfinite(u.amp) && u.ra > 0.0 &&
                        u.rb > 0.0 && u.amp != 0.0;
        if (!ok)
            continue;
        // Axis-aligned box of the ellipse where the exponent is below the limit.
        const double ex = reach * std::sqrt((u.ra * u.ax) * (u.ra * u.ax) + (u.rb * u.ay) * (u.rb * u.ay));
        const double ey = reach * std::sqrt((u.ra * u.ay) * (u.ra * u.ay) + (u.rb * u.ax) * (u.rb * u.ax));
        if (!std::isfinite(ex) || !std::isfinite(ey))
            continue;
        x_lo = std::min(x_lo, u.cx - ex);
        x_hi = std::max(x_hi, u.cx + ex);
        y_lo = std::min(y_lo, u.cy - ey);
        y_hi = std::max(y_hi, u.cy + ey);
        live[n_live++] = u;
    }
    if (n_live == 0)
        return;
    // Clamp in floating point before converting, so that far-away bumps cannot overflow an int.
    const double i_lo = std::max(0.0, std::ceil(x_lo / dx));
    const double i_hi = std::min(double(nx - 1), std::floor(x_hi / dx));
    const double j_lo = std::max(0.0, std::ceil(y_lo / dy));
    const double j_hi = std::min(double(ny - 1), std::floor(y_hi / dy));
    if (!(i_lo <= i_hi) || !(j_lo <= j_hi))
        return;
    const int i0 = int(i_lo), i1 = int(i_hi), j0 = int(j_lo), j1 = int(j_hi);
    for (int j = j0; j <= j1; ++j) {
        const double y = j * dy;
        float* line = height + std::size_t(j) * std::size_t(nx);
        for (int i = i0; i <= i1; ++i) {
            const double x = i * dx;
            double sum = 0.0;
            for (int b = 0; b < n_live; ++b) {
                const Bump& u = live[b];
                const double px = x - u.cx;
                const double py = y - u.cy;
                const double along = (px * u.ax + py * u.ay) / u.ra;
                const double across = (py * u.ax - px * u.ay) / u.rb;
                const double e = along * along + across * across;
                if (e < kExponentLimit)
                    sum += u.amp * std::exp(-e);
            }
            if (sum != 0.0)
                line[i] += float(sum);
        }
    }
}

void HyOceanSurfaceGridElement_disturbance::add_boat(const Boat& boat, double t, double dt)
{
    const HyBoatDisturbance_data& p = boat.block;
    if (!(p.hull_length > 0.0) || !(p.hull_beam > 0.0))
        return;
    double w0[2], w1[2];
    boat.keys->evaluate(t, w0);
    boat.keys->evaluate(t + dt, w1);
    double f0x, f0y, f1x, f1y;
    to_frame(w0[0], w0[1], f0x, f0y);
    to_frame(w1[0], w1[1], f1x, f1y);
    const double ddx = f1x - f0x;
    const double ddy = f1y - f0y;
    const double len = std::sqrt(ddx * ddx + ddy * ddy);
    if (!(len > 0.0) || !std::isfinite(len))
        return;  // at rest (or lost): nothing is pushed aside
    const double ax = ddx / len;
    const double ay = ddy / len;
    const double mx = 0.5 * (f0x + f1x);
    const double my = 0.5 * (f0y + f1y);
    const double q = 0.25 * p.hull_length;
    const Bump pair[2] = {
        {mx + q * ax, my + q * ay, ax, ay, len, 0.25 * p.hull_beam, p.bow_amplitude},
        {mx - q * ax, my - q * ay, ax, ay, len, 0.25 * p.hull_beam, p.stern_amplitude},
    };
    add_bumps(pair, 2);
}

void HyOceanSurfaceGridElement_disturbance::add_ripple(const Ripple& ripple, double t, double dt)
{
    double v0[6], v1[6];
    ripple.keys->evaluate(t, v0);
    ripple.keys->evaluate(t + dt, v1);
    bool same = true;
    for (int c = 0; c < 6; ++c)
        same = same && v0[c] == v1[c];
    if (same)
        return;  // the two terms would cancel exactly
    auto make = [&](const double* v, double sign) {
        Bump b;
        to_frame(v[0], v[1], b.cx, b.cy);
        const double phi = v[5] - angle;
        b.ax = std::cos(phi);
        b.ay = std::sin(phi);
        b.ra = v[2];
        b.rb = v[3];
        b.amp = sign * v[4];
        return b;
    };
    const Bump terms[2] = {make(v1, 1.0), make(v0, -1.0)};
    add_bumps(terms, 2);
}

void HyOceanSurfaceGridElement_disturbance::inject_sources(double t, double dt)
{
    for (int b = 0; b < boat_count; ++b)
        if (boats[b].block.start_time <= t && t < boats[b].block.end_time)
            add_boat(boats[b], t, dt);
    for (int r = 0; r < ripple_count; ++r)
        if (ripples[r].block.start_time <= t && t < ripples[r].block.end_time)
            add_ripple(ripples[r], t, dt);
}

HyKeyFrames* HyOceanSurfaceGridElement_disturbance::make_keys(int key_count, int channels,
                                                              const double* const* sources, const char* where)
{
    void* memory = hymem::allocate(sizeof(HyKeyFrames), false);
    HyKeyFrames* keys = memory ? new (memory) HyKeyFrames() : nullptr;
    if (!keys || !keys->init(key_count, channels, sources)) {
        std::fprintf(stderr, "HyOceanSurfaceGridElement_disturbance::%s unable to allocate key frames \n", where);
        free_keys(keys);
        return nullptr;
    }
    return keys;
}

void HyOceanSurfaceGridElement_disturbance::free_keys(HyKeyFrames* keys)
{
    if (!keys)
        return;
    keys->~HyKeyFrames();
    hymem::release(keys);
}

namespace {

// The key arrays of a block, times first, in the order of the key-frame channels; the count.
int key_sources(const HyBoatDisturbance_data& b, const double** out)
{
    const double* arrays[3] = {b.key_times, b.key_x, b.key_y};
    std::copy(arrays, arrays + 3, out);
    return 3;
}

int key_sources(const HyRippleDisturbance_data& b, const double** out)
{
    const double* arrays[7] = {b.key_times, b.key_x,        b.key_y,    b.key_size_a,
                               b.key_size_b, b.key_strength, b.key_angle};
    std::copy(arrays, arrays + 7, out);
    return 7;
}

// A block as stored: its values live in the key frames, the caller's arrays are not kept.
HyBoatDisturbance_data stored(HyBoatDisturbance_data b)
{
    b.key_times = b.key_x = b.key_y = nullptr;
    return b;
}

HyRippleDisturbance_data stored(HyRippleDisturbance_data b)
{
    b.key_times = b.key_x = b.key_y = nullptr;
    b.key_size_a = b.key_size_b = b.key_strength = b.key_angle = nullptr;
    return b;
}

bool parameters_valid(const HyBoatDisturbance_data& b)
{
    return std::isfinite(b.hull_length) && std::isfinite(b.hull_beam) && std::isfinite(b.bow_amplitude) &&
           std::isfinite(b.stern_amplitude) && interval_valid(b.start_time, b.end_time);
}

bool parameters_valid(const HyRippleDisturbance_data& b) { return interval_valid(b.start_time, b.end_time); }

template <class Block>
bool block_valid(const Block& b, const char* where)
{
    if (!parameters_valid(b)) {
        std::fprintf(stderr, "HyOceanSurfaceGridElement_disturbance::%s invalid parameters \n", where);
        return false;
    }
    const double* arrays[7];
    const int count = key_sources(b, arrays);
    if (!keys_valid(b.key_count, arrays, count)) {
        std::fprintf(stderr, "HyOceanSurfaceGridElement_disturbance::%s invalid key frames \n", where);
        return false;
    }
    return true;
}

} // namespace

template <class Block>
HyKeyFrames* HyOceanSurfaceGridElement_disturbance::keys_for(const Block& block, const char* where)
{
    if (!block_valid(block, where))
        return nullptr;
    const double* sources[7];
    const int count = key_sources(block, sources);
    return make_keys(block.key_count, count - 1, sources, where);
}

template <class Source, class Block>
int HyOceanSurfaceGridElement_disturbance::add_source(Source* list, int& count, int capacity, int& last_id,
                                                      const Block& block, const char* where, const char* too_many)
{
    if (count >= capacity) {
        std::fputs(too_many, stderr);
        return 0;
    }
    HyKeyFrames* keys = keys_for(block, where);
    if (!keys)
        return 0;
    Source& slot = list[count++];
    slot.id = ++last_id;
    slot.block = stored(block);
    slot.keys = keys;
    return slot.id;
}

template <class Source>
int HyOceanSurfaceGridElement_disturbance::delete_source(Source* list, int& count, int id)
{
    for (int n = 0; n < count; ++n) {
        if (list[n].id != id)
            continue;
        free_keys(list[n].keys);
        for (int k = n + 1; k < count; ++k)
            list[k - 1] = list[k];
        list[--count] = Source{};
        return id;
    }
    return 0;
}

template <class Source, class Block>
int HyOceanSurfaceGridElement_disturbance::change_source(Source* list, int count, int id, const Block& block,
                                                         const char* where)
{
    for (int n = 0; n < count; ++n) {
        if (list[n].id != id)
            continue;
        HyKeyFrames* keys = keys_for(block, where);
        if (!keys)
            return 0;
        free_keys(list[n].keys);
        list[n].block = stored(block);
        list[n].keys = keys;
        return id;
    }
    return 0;
}

int HyOceanSurfaceGridElement_disturbance::add_boat_disturbance(const HyBoatDisturbance_data& block)
{
    return add_source(boats, boat_count, kHyMaxBoatDisturbances, last_boat_id, block, "add_boat_disturbance",
                      "HyOceanSurfaceGridElement_disturbance::add_boat_disturbance too many boat disturbances \n");
}

int HyOceanSurfaceGridElement_disturbance::delete_boat_disturbance(int id)
{
    return delete_source(boats, boat_count, id);
}

int HyOceanSurfaceGridElement_disturbance::change_boat_disturbance(int id, const HyBoatDisturbance_data& block)
{
    return change_source(boats, boat_count, id, block, "change_boat_disturbance");
}

int HyOceanSurfaceGridElement_disturbance::add_ripple_disturbance(const HyRippleDisturbance_data& block)
{
    return add_source(ripples, ripple_count, kHyMaxRippleDisturbances, last_ripple_id, block,
                      "add_ripple_disturbance",
                      "HyOceanSurfaceGridElement_disturbance::add_ripple_disturbance too many ripple disturbances \n");
}

int HyOceanSurfaceGridElement_disturbance::delete_ripple_disturbance(int id)
{
    return delete_source(ripples, ripple_count, id);
}

int HyOceanSurfaceGridElement_disturbance::change_ripple_disturbance(int id, const HyRippleDisturbance_data& block)
{
    return change_source(ripples, ripple_count, id, block, "change_ripple_disturbance");
}

int HyOceanSurfaceGridElement_disturbance::forward(float* data, int n_x, int n_y)
{
    if (!fast_refused && transform.backend() != HyTransformBackend::builtin) {
        if (transform.forward(data, n_x, n_y))
            return 1;
        fast_refused = true;
    }
    return builtin.forward(data, n_x, n_y);
}

int HyOceanSurfaceGridElement_disturbance::inverse(float* data, int n_x, int n_y)
{
    if (!fast_refused && transform.backend() != HyTransformBackend::builtin) {
        if (transform.inverse(data, n_x, n_y))
            return 1;
        fast_refused = true;
    }
    return builtin.inverse(data, n_x, n_y);
}
