#include "ocean/HyGridMulti.h"
#include "ocean/HyGridShared.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/HyFiles.h"

namespace {

using hygrid::kFarNode;
using hygrid::reduce_periodic;
using hygrid::report_error;
using hygrid::report_out;
using hygrid::wrap_index;

constexpr std::uint32_t kHygMagic = 4599;

float* allocate_grid_array(int nx, int ny, void** block)
{
    *block = nullptr;
    if (nx <= 0 || ny <= 0)
        return nullptr;
    return hy_allocate_grid_floats(static_cast<std::size_t>(nx + 2) * static_cast<std::size_t>(ny), block);
}

// Bilinear lookup of an auxiliary array at node coordinate (gx, gy). Corners outside a
// non-periodic array contribute `outside` (0 for added grids, 1 for factors). With `back_x` or
// `back_y`, each corner's value is replaced by its backward difference along that axis (the node
// slope times the spacing), so the result is the interpolated node slope.
inline double bilinear(const float* a, int nx, int ny, int periodic, double gx, double gy, double outside,
                       bool back_x = false, bool back_y = false)
{
    if (periodic) {
        gx = reduce_periodic(gx, nx);
        gy = reduce_periodic(gy, ny);
    } else if (!(gx > -kFarNode && gx < kFarNode && gy > -kFarNode && gy < kFarNode)) {
        return back_x || back_y ? 0.0 : outside;
    }
    const double fx0 = std::floor(gx), fy0 = std::floor(gy);
    const double fx = gx - fx0, fy = gy - fy0;
    // Columns i0 - 1 .. i0 + 1 and rows j0 - 1 .. j0 + 1, wrapped on a periodic grid; -1 is outside.
    int ci[3], cj[3];
    auto neighbours = [periodic](int c, int n, int* out) {
        if (periodic) {
            c = wrap_index(c, n);
            out[0] = c == 0 ? n - 1 : c - 1;
            out[1] = c;
            out[2] = c + 1 == n ? 0 : c + 1;
        } else {
            for (int k = 0; k < 3; ++k)
                out[k] = (c - 1 + k >= 0 && c - 1 + k < n) ? c - 1 + k : -1;
        }
    };
    neighbours(static_cast<int>(fx0), nx, ci);
    neighbours(static_cast<int>(fy0), ny, cj);
    auto at = [&](int k, int l) {
        return ci[k] < 0 || cj[l] < 0 ? outside : static_cast<double>(a[static_cast<std::size_t>(cj[l]) * nx + ci[k]]);
    };
    auto node = [&](int k, int l) {
        if (back_x)
            return at(k, l) - at(k - 1, l);
        if (back_y)
            return at(k, l) - at(k, l - 1);
        return at(k, l);
    };
    return (1.0 - fx) * (1.0 - fy) * node(1, 1) + (1.0 - fx) * fy * node(1, 2) + fx * (1.0 - fy) * node(2, 1) +
           fx * fy * node(2, 2);
}

// Radial profile along the first row: h[i] at radius i*dx, `outside` beyond (nx - 1)*dx.
inline double radial(const float* a, int nx, double dx, double inv_dx, double r, double outside,
                     double* dr = nullptr)
{
    if (dr)
        *dr = 0.0;
    if (!(r < (nx - 1) * dx))
        return outside;
    const double g = r * inv_dx;
    if (!(g >= 0.0 && g < nx - 1))  // rounding at the very end of the profile, or a bad spacing
        return outside;
    const int i = static_cast<int>(g);
    const double f = g - i;
    if (dr)
        *dr = (a[i + 1] - static_cast<double>(a[i])) * inv_dx;
    return a[i] * (1.0 - f) + a[i + 1] * f;
}

} // namespace

HyGridMulti::HyGridMulti(int nx_, int ny_, double dx_, double dy_, int aux_nx_, int aux_ny_, double aux_dx_,
                         double aux_dy_)
    : HyGrid(nx_, ny_, dx_, dy_)
{
    aux_count = 1;
    aux_nx[0] = aux_nx_;
    aux_ny[0] = aux_ny_;
    aux_dx[0] = aux_dx_;
    aux_dy[0] = aux_dy_;
    aux_inv_dx[0] = 1.0 / aux_dx_;
    aux_inv_dy[0] = 1.0 / aux_dy_;
    aux_cos_r[0] = 1.0;
    aux_sin_r[0] = 0.0;
    aux_offset_x[0] = aux_nx_ * aux_dx_ / 2.0;
    aux_offset_y[0] = aux_ny_ * aux_dy_ / 2.0;
    aux_periodic[0] = 1;
    aux_type[0] = kHyAuxAdditive;
    aux_rotated[0] = 0;
    for (int g = 0; g < aux_count; ++g) {
        aux_array[g] = allocate_grid_array(aux_nx[g], aux_ny[g], &aux_block[g]);
        if (!aux_array[g] && aux_nx[g] > 0 && aux_ny[g] > 0) {
            report_error("unable to allocate grid " + std::to_string(g));
            report_out("Out of Memory");
        }
    }
}

HyGridMulti::~HyGridMulti()
{
    for (int g = 0; g < aux_count; ++g)
        free_aux(g);
    // The main array is released by ~HyGrid.
}

void HyGridMulti::free_aux(int g)
{
    hymem::release(aux_block[g]);
    aux_block[g] = nullptr;
    aux_array[g] = nullptr;
}

double HyGridMulti::aux_value(int g, double x, double y) const
{
    const int type = aux_type[g];
    const bool multiplicative = type == kHyAuxMultiplicative || type == kHyAuxMultiplicativeRadial;
    const float* a = aux_array[g];
    if (!a)
        return multiplicative ? 1.0 : 0.0;
    double px = x + aux_offset_x[g];
    double py = y + aux_offset_y[g];
    if (aux_rotated[g]) {
        const double c = aux_cos_r[g], s = aux_sin_r[g];
        const double rx = px * c - py * s;
        py = py * c + px * s;
        px = rx;
    }
    switch (type) {
    case kHyAuxAdditive:
        return bilinear(a, aux_nx[g], aux_ny[g], aux_periodic[g], px * aux_inv_dx[g], py * aux_inv_dy[g], 0.0);
    case kHyAuxMultiplicative:
        return bilinear(a, aux_nx[g], aux_ny[g], aux_periodic[g], px * aux_inv_dx[g], py * aux_inv_dy[g], 1.0);
    case kHyAuxAdditiveRadial:
        return radial(a, aux_nx[g], aux_dx[g], aux_inv_dx[g], std::sqrt(px * px + py * py), 0.0);
    case kHyAuxMultiplicativeRadial:
        return radial(a, aux_nx[g], aux_dx[g], aux_inv_dx[g], std::sqrt(px * px + py * py), 1.0);
    default:
        report_error("assertion failure:  illegal grid type ");
        return 0.0;
    }
}

double HyGridMulti::composed_height(double x, double y) const
{
    double sum = main_height(x, y);
    double product = 1.0;
    for (int g = 0; g < aux_count; ++g) {
        const int type = aux_type[g];
        if (type == kHyAuxMultiplicative || type == kHyAuxMultiplicativeRadial)
            product *= aux_value(g, x, y);
        else
            sum += aux_value(g, x, y);
    }
    return sum * product;
}

void HyGridMulti::mirror(int l, double x, double y, double& mx, double& my) const
{
    // Mirror (x, y) in the line through (x0, y0) along u = (cos, sin).
    const double ux = line_cos[l], uy = line_sin[l];
    const double rx = x - line_x0[l], ry = y - line_y0[l];
    const double d = rx * ux + ry * uy;
    mx = 2.0 * line_x0[l] + 2.0 * d * ux - x;
    my = 2.0 * line_y0[l] + 2.0 * d * uy - y;
}

double HyGridMulti::get_height(double x, double y, int no_curvature) const
{
    double h = composed_height(x, y);
    for (int l = 0; l < line_count; ++l) {
        double mx, my;
        mirror(l, x, y, mx, my);
        h += composed_height(mx, my);
    }
    if (curvature == 1 && no_curvature == 0)
        h -= (x * x + y * y) / 2.0 / curvature_radius;
    return h;
}

void HyGridMulti::aux_slope(int g, double x, double y, double& sx, double& sy) const
{
    const float* a = aux_array[g];
    if (!a)
        return;
    double px = x + aux_offset_x[g];
    double py = y + aux_offset_y[g];
    const bool rotated = aux_rotated[g] != 0;
    const double c = aux_cos_r[g], s = aux_sin_r[g];
    if (rotated) {
        const double rx = px * c - py * s;
        py = py * c + px * s;
        px = rx;
    }
    double gx = 0.0, gy = 0.0;  // gradient in the grid's own axes
    if (aux_type[g] == kHyAuxAdditive) {
        // Node slopes interpolated half a step ahead along their own axis, as on the main grid: the
        // gradient of the interpolant itself would be constant across a cell and jump at its edges.
        const double ix = px * aux_inv_dx[g], iy = py * aux_inv_dy[g];
        gx = bilinear(a, aux_nx[g], aux_ny[g], aux_periodic[g], ix + 0.5, iy, 0.0, true) * aux_inv_dx[g];
        gy = bilinear(a, aux_nx[g], aux_ny[g], aux_periodic[g], ix, iy + 0.5, 0.0, false, true) * aux_inv_dy[g];
    } else if (aux_type[g] == kHyAuxAdditiveRadial) {
        const double r = std::sqrt(px * px + py * py);
        double dr;
        radial(a, aux_nx[g], aux_dx[g], aux_inv_dx[g], r, 0.0, &dr);
        if (r > 0.0) {
            gx = dr * px / r;
            gy = dr * py / r;
        }
    } else {
        return;
    }
    if (rotated) {
        // The lookup rotated the point by R; the world gradient is R^T times the grid's.
        sx += gx * c + gy * s;
        sy += -gx * s + gy * c;
    } else {
        sx += gx;
        sy += gy;
    }
}

void HyGridMulti::composed_slope(double x, double y, double& sx, double& sy) const
{
    main_slope(x, y, sx, sy);
    double product = 1.0;
    for (int g = 0; g < aux_count; ++g) {
        const int type = aux_type[g];
        if (type == kHyAuxMultiplicative || type == kHyAuxMultiplicativeRadial)
            product *= aux_value(g, x, y);
        else
            aux_slope(g, x, y, sx, sy);
    }
    sx *= product;
    sy *= product;
}

void HyGridMulti::get_slope(double x, double y, double& sx, double& sy, int no_curvature) const
{
    composed_slope(x, y, sx, sy);
    for (int l = 0; l < line_count; ++l) {
        const double ux = line_cos[l], uy = line_sin[l];
        double mx, my;
        mirror(l, x, y, mx, my);
        double tx, ty;
        composed_slope(mx, my, tx, ty);
        // Reflect the mirrored slope back: s = 2 (s'.u) u - s'.
        const double su = tx * ux + ty * uy;
        sx += 2.0 * su * ux - tx;
        sy += 2.0 * su * uy - ty;
    }
    if (curvature == 1 && no_curvature == 0) {
        sx -= x / curvature_radius;
        sy -= y / curvature_radius;
    }
}

void HyGridMulti::get_height_range(double& min_height, double& max_height) const
{
    HyGrid::get_height_range(min_height, max_height);
    for (int g = 0; g < aux_count; ++g) {
        const float* a = aux_array[g];
        if (!a)
            continue;
        const double prev_min = min_height, prev_max = max_height;
        const std::size_t n = static_cast<std::size_t>(aux_nx[g]) * static_cast<std::size_t>(aux_ny[g]);
        for (std::size_t k = 0; k < n; ++k) {
            const double v = a[k];
            if (v + prev_max > max_height)
                max_height = v + prev_max;
            if (v + prev_min < min_height)
                min_height = v + prev_min;
        }
    }
    if (line_count > 0) {
        min_height *= line_count + 1;
        max_height *= line_count + 1;
    }
}

int HyGridMulti::add_reflecting_line(const double& x0, const double& y0, const double& angle)
{
    if (line_count >= kHyMaxReflectingLines) {
        report_out("unable to allocate reflecting line ");
        report_out("too many disturbances on surface ");
        report_out("Error");
        return -1;
    }
    const int l = line_count++;
    line_x0[l] = x0;
    line_y0[l] = y0;
    line_angle[l] = angle;
    line_cos[l] = std::cos(angle);
    line_sin[l] = std::sin(angle);
    return l;
}

void HyGridMulti::remove_reflecting_line(const double& x0, const double& y0, const double& angle)
{
    for (int l = 0; l < line_count; ++l) {
        if (line_x0[l] == x0 && line_y0[l] == y0 && line_angle[l] == angle) {
            for (int k = l + 1; k < line_count; ++k) {
                line_x0[k - 1] = line_x0[k];
                line_y0[k - 1] = line_y0[k];
                line_angle[k - 1] = line_angle[k];
                line_cos[k - 1] = line_cos[k];
                line_sin[k - 1] = line_sin[k];
            }
            --line_count;
            return;
        }
    }
}

void HyGridMulti::clear_reflecting_lines() { line_count = 0; }

int HyGridMulti::is_behind_reflecting_line(const double& x, const double& y) const
{
    for (int l = 0; l < line_count; ++l)
        if ((x - line_x0[l]) * line_sin[l] - (y - line_y0[l]) * line_cos[l] < 0.0)
            return 1;
    return 0;
}

int HyGridMulti::find_aux_grid(const float* array) const
{
    if (!array)
        return -1;
    for (int g = 0; g < aux_count; ++g)
        if (aux_array[g] == array)
            return g;
    return -1;
}

float* HyGridMulti::add_aux_grid(const HyAuxGridRequest& r)
{
    if (aux_count >= kHyMaxAuxGrids)
        return nullptr;
    const int g = aux_count;
    void* block = nullptr;
    float* a = allocate_grid_array(r.nx, r.ny, &block);
    if (!a) {
        report_error("unable to allocate grid " + std::to_string(g));
        return nullptr;
    }
    aux_nx[g] = r.nx;
    aux_ny[g] = r.ny;
    aux_dx[g] = r.dx;
    aux_dy[g] = r.dy;
    aux_inv_dx[g] = 1.0 / r.dx;
    aux_inv_dy[g] = 1.0 / r.dy;
    aux_offset_x[g] = r.nx * r.dx / 2.0;
    aux_offset_y[g] = r.ny * r.dy / 2.0;
    aux_periodic[g] = r.periodic;
    aux_type[g] = r.type;
    aux_rotated[g] = r.rotated;
    aux_cos_r[g] = r.rotated ? std::cos(r.angle) : 1.0;
    aux_sin_r[g] = r.rotated ? std::sin(-r.angle) : 0.0;
    aux_array[g] = a;
    aux_block[g] = block;
    aux_count = g + 1;
    return a;
}

int HyGridMulti::remove_aux_grid(const float* array)
{
    const int g = find_aux_grid(array);
    if (g < 0)
        return 0;
    free_aux(g);
    // The grids after g move down one place, every per-grid field with them.
    auto close_gap = [&](auto* field) {
        for (int k = g + 1; k < aux_count; ++k)
            field[k - 1] = field[k];
    };
    close_gap(aux_nx);
    close_gap(aux_ny);
    close_gap(aux_dx);
    close_gap(aux_dy);
    close_gap(aux_inv_dx);
    close_gap(aux_inv_dy);
    close_gap(aux_cos_r);
    close_gap(aux_sin_r);
    close_gap(aux_offset_x);
    close_gap(aux_offset_y);
    close_gap(aux_array);
    close_gap(aux_block);
    close_gap(aux_periodic);
    close_gap(aux_type);
    close_gap(aux_rotated);
    --aux_count;
    aux_array[aux_count] = nullptr;
    aux_block[aux_count] = nullptr;
    return 1;
}

int HyGridMulti::set_aux_position(const float* array, const double& x, const double& y)
{
    const int g = find_aux_grid(array);
    if (g < 0)
        return -1;
    aux_offset_x[g] = x;
    aux_offset_y[g] = y;
    return g;
}

int HyGridMulti::set_aux_orientation(const float* array, const double& angle)
{
    const int g = find_aux_grid(array);
    if (g < 0)
        return -1;
    set_aux_rotation(g, angle);
    return g;
}

void HyGridMulti::set_aux_type_radial(const int& g) { set_aux_field(aux_type, g, kHyAuxAdditiveRadial); }

void HyGridMulti::set_aux_type_additive(const int& g) { set_aux_field(aux_type, g, kHyAuxAdditive); }

void HyGridMulti::set_aux_type_multiplicative(const int& g) { set_aux_field(aux_type, g, kHyAuxMultiplicative); }

void HyGridMulti::set_aux_type_multiplicative_radial(const int& g)
{
    set_aux_field(aux_type, g, kHyAuxMultiplicativeRadial);
}

void HyGridMulti::set_aux_rotation(const int& g, const double& angle)
{
    if (g < 0 || g >= aux_count)
        return;
    aux_rotated[g] = 1;
    aux_cos_r[g] = std::cos(angle);
    aux_sin_r[g] = std::sin(-angle);
}

void HyGridMulti::clear_aux_rotation(const int& g) { set_aux_field(aux_rotated, g, 0); }

void HyGridMulti::set_aux_periodic(const int& g) { set_aux_field(aux_periodic, g, 1); }

void HyGridMulti::clear_aux_periodic(const int& g) { set_aux_field(aux_periodic, g, 0); }

int HyGridMulti::reallocate_aux_grid(int g, int nx_, int ny_, double dx_, double dy_)
{
    if (g < 0 || g >= aux_count) {
        report_error("HyGridMulti: attempt to reset uninitialized aux grid ");
        return 0;
    }
    free_aux(g);
    aux_nx[g] = nx_;
    aux_ny[g] = ny_;
    aux_dx[g] = dx_;
    aux_dy[g] = dy_;
    aux_inv_dx[g] = 1.0 / dx_;
    aux_inv_dy[g] = 1.0 / dy_;
    aux_offset_x[g] = nx_ * dx_ / 2.0;
    aux_offset_y[g] = ny_ * dy_ / 2.0;
    aux_periodic[g] = 1;
    aux_type[g] = kHyAuxAdditive;
    aux_rotated[g] = 0;
    aux_cos_r[g] = 1.0;
    aux_sin_r[g] = 0.0;
    aux_array[g] = allocate_grid_array(nx_, ny_, &aux_block[g]);
    if (!aux_array[g]) {
        report_error("HyGridMulti: allocation of new grid failed");
        return 0;
    }
    return 1;
}

// ---------------------------------------------------------------------------------------------
// hyg files: every value big-endian; floats are 32-bit IEEE (narrowed on writing, widened on
// reading). See write_hyg for the order of the fields.

namespace {

inline std::uint32_t swap32(std::uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0xff00u) | ((v << 8) & 0xff0000u) | (v << 24);
}

inline std::uint32_t float_bits(float f)
{
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

inline float bits_float(std::uint32_t u)
{
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

// Buffered big-endian writer; remembers the first failure.
class HygWriter {
public:
    explicit HygWriter(std::FILE* f) : file(f) {}
    ~HygWriter() { flush(); }
    void u32(std::uint32_t v)
    {
        if (used + 4 > sizeof buffer)
            flush();
        buffer[used++] = static_cast<unsigned char>(v >> 24);
        buffer[used++] = static_cast<unsigned char>(v >> 16);
        buffer[used++] = static_cast<unsigned char>(v >> 8);
        buffer[used++] = static_cast<unsigned char>(v);
    }
    void i32(int v) { u32(static_cast<std::uint32_t>(v)); }
    void f32(double v) { u32(float_bits(static_cast<float>(v))); }
    void floats(const float* a, std::size_t n)
    {
        for (std::size_t k = 0; k < n; ++k)
            u32(float_bits(a[k]));
    }
    void flush()
    {
        if (used && std::fwrite(buffer, 1, used, file) != used)
            failed = true;
        used = 0;
    }
    bool failed = false;

private:
    std::FILE* file;
    unsigned char buffer[1 << 16];
    std::size_t used = 0;
};

// Big-endian reader that knows how many bytes remain, so that every count can be checked against
// the file before anything is allocated.
class HygReader {
public:
    HygReader(std::FILE* f, std::uint64_t size) : file(f), remaining(size) {}
    bool u32(std::uint32_t& v)
    {
        unsigned char b[4];
        if (remaining < 4 || std::fread(b, 1, 4, file) != 4)
            return fail();
        remaining -= 4;
        v = (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) | b[3];
        return true;
    }
    bool i32(int& v)
    {
        std::uint32_t u;
        if (!u32(u))
            return false;
        v = static_cast<int>(u);
        return true;
    }
    bool f32(double& v)
    {
        std::uint32_t u;
        if (!u32(u))
            return false;
        v = bits_float(u);
        return true;
    }
    bool floats(float* a, std::size_t n)
    {
        if (remaining / 4 < n || std::fread(a, 4, n, file) != n)
            return fail();
        remaining -= 4 * static_cast<std::uint64_t>(n);
        for (std::size_t k = 0; k < n; ++k) {
            std::uint32_t u;
            std::memcpy(&u, a + k, 4);
            u = swap32(u);
            std::memcpy(a + k, &u, 4);
        }
        return true;
    }
    // True when `count` values of 4 bytes can still be read.
    bool has_values(std::uint64_t count) const { return count <= remaining / 4; }
    bool fail()
    {
        failed = true;
        return false;
    }
    bool failed = false;

private:
    std::FILE* file;
    std::uint64_t remaining;
};

// A node count pair is acceptable when both counts are positive (or both zero: an empty grid, as
// written for a grid without an array) and its values fit in the bytes left, so nothing is allocated
// for data the file does not hold.
bool plausible_dimensions(const HygReader& in, int nx, int ny)
{
    if (nx == 0 && ny == 0)
        return true;
    if (nx <= 0 || ny <= 0)
        return false;
    return in.has_values(static_cast<std::uint64_t>(nx) * static_cast<std::uint64_t>(ny));
}

struct StagedAux {
    int nx = 0, ny = 0;
    double dx = 0, dy = 0, inv_dx = 0, inv_dy = 0;
    int periodic = 0, type = 0, rotated = 0;
    double cos_r = 1, sin_r = 0, offset_x = 0, offset_y = 0;
    float* array = nullptr;
    void* block = nullptr;
};

} // namespace

int HyGridMulti::write_hyg(const char* path) const
{
    std::FILE* f = path ? hyplat::open_file(path, "wb") : nullptr;
    if (!f) {
        std::printf("unable to open file %s\n", path ? path : "");
        std::fflush(stdout);
        return 0;
    }
    bool failed;
    {
        HygWriter out(f);
        out.u32(kHygMagic);
        const bool has_main = heights && nx > 0 && ny > 0;
        out.i32(has_main ? nx : 0);
        out.i32(has_main ? ny : 0);
        out.f32(dx);
        out.f32(dy);
        out.f32(inv_dx);
        out.f32(inv_dy);
        out.f32(half_x);
        out.f32(half_y);
        out.i32(wrap_x);
        out.i32(wrap_y);
        out.i32(curvature);
        out.f32(curvature_radius);
        if (has_main)
            out.floats(heights, static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny));
        out.i32(line_count);
        for (int l = 0; l < line_count; ++l) {
            out.f32(line_x0[l]);
            out.f32(line_y0[l]);
            out.f32(line_cos[l]);
            out.f32(line_sin[l]);
        }
        out.i32(aux_count);
        for (int g = 0; g < aux_count; ++g) {
            const bool has = aux_array[g] && aux_nx[g] > 0 && aux_ny[g] > 0;
            out.i32(has ? aux_nx[g] : 0);
            out.i32(has ? aux_ny[g] : 0);
            out.f32(aux_dx[g]);
            out.f32(aux_dy[g]);
            out.f32(aux_inv_dx[g]);
            out.f32(aux_inv_dy[g]);
            out.i32(aux_periodic[g]);
            out.i32(aux_type[g]);
            out.i32(aux_rotated[g]);
            out.f32(aux_cos_r[g]);
            out.f32(aux_sin_r[g]);
            out.f32(aux_offset_x[g]);
            out.f32(aux_offset_y[g]);
            if (has)
                out.floats(aux_array[g], static_cast<std::size_t>(aux_nx[g]) * static_cast<std::size_t>(aux_ny[g]));
        }
        out.flush();
        failed = out.failed;
    }
    if (std::fclose(f) != 0)
        failed = true;
    if (failed) {
        report_error(std::string("HyGridMulti: unable to write hyg file ") + path);
        return 0;
    }
    return 1;
}

// The file is read into staged arrays and the grid is replaced only when everything was read, so a
// failed read leaves the grid exactly as it was.
int HyGridMulti::read_hyg(const char* path)
{
    std::FILE* f = path ? hyplat::open_file(path, "rb") : nullptr;
    if (!f) {
        std::printf("unable to open file %s\n", path ? path : "");
        std::fflush(stdout);
        return 0;
    }
    std::uint64_t size = 0;
    if (std::fseek(f, 0, SEEK_END) == 0) {
        const long end = std::ftell(f);
        size = end > 0 ? static_cast<std::uint64_t>(end) : 0;
    }
    std::rewind(f);
    HygReader in(f, size);

    std::uint32_t magic = 0;
    if (!in.u32(magic) || magic != kHygMagic) {
        std::fclose(f);
        std::printf("file %s not of hyg format \n", path);
        std::fflush(stdout);
        return 0;
    }

    int m_nx = 0, m_ny = 0, m_wrap_x = 0, m_wrap_y = 0, m_curv = 0;
    double m_dx = 0, m_dy = 0, m_inv_dx = 0, m_inv_dy = 0, m_half_x = 0, m_half_y = 0, m_radius = 0;
    float* m_heights = nullptr;
    void* m_block = nullptr;
    int l_count = 0;
    double l_x0[kHyMaxReflectingLines], l_y0[kHyMaxReflectingLines];
    double l_cos[kHyMaxReflectingLines], l_sin[kHyMaxReflectingLines];
    int a_count = 0;
    StagedAux aux[kHyMaxAuxGrids];
    bool ok = true;
    bool out_of_memory = false;

    ok = in.i32(m_nx) && in.i32(m_ny) && plausible_dimensions(in, m_nx, m_ny) && in.f32(m_dx) && in.f32(m_dy) &&
         in.f32(m_inv_dx) && in.f32(m_inv_dy) && in.f32(m_half_x) && in.f32(m_half_y) && in.i32(m_wrap_x) &&
         in.i32(m_wrap_y) && in.i32(m_curv) && in.f32(m_radius);
    if (ok && m_nx > 0 && m_ny > 0) {
        const std::size_t n = static_cast<std::size_t>(m_nx) * static_cast<std::size_t>(m_ny);
        if (!in.has_values(n)) {
            ok = false;
        } else {
            m_heights = allocate_grid_array(m_nx, m_ny, &m_block);
            if (!m_heights) {
                report_error("HyGridMulti: unable to allocate primary array ");
                ok = false;
                out_of_memory = true;
            } else {
                ok = in.floats(m_heights, n);
            }
        }
    }
    if (ok)
        ok = in.i32(l_count) && l_count >= 0 && l_count <= kHyMaxReflectingLines &&
             in.has_values(4 * static_cast<std::uint64_t>(l_count));
    for (int l = 0; ok && l < l_count; ++l)
        ok = in.f32(l_x0[l]) && in.f32(l_y0[l]) && in.f32(l_cos[l]) && in.f32(l_sin[l]);
    if (ok)
        ok = in.i32(a_count) && a_count >= 0 && a_count <= kHyMaxAuxGrids &&
             in.has_values(13 * static_cast<std::uint64_t>(a_count));  // 13 header values per grid
    for (int g = 0; ok && g < a_count; ++g) {
        StagedAux& s = aux[g];
        ok = in.i32(s.nx) && in.i32(s.ny) && plausible_dimensions(in, s.nx, s.ny) && in.f32(s.dx) && in.f32(s.dy) &&
             in.f32(s.inv_dx) && in.f32(s.inv_dy) && in.i32(s.periodic) && in.i32(s.type) && in.i32(s.rotated) &&
             in.f32(s.cos_r) && in.f32(s.sin_r) && in.f32(s.offset_x) && in.f32(s.offset_y);
        if (ok && (s.type < kHyAuxAdditive || s.type > kHyAuxMultiplicativeRadial))
            ok = false;
        if (ok && s.nx > 0 && s.ny > 0) {
            const std::size_t n = static_cast<std::size_t>(s.nx) * static_cast<std::size_t>(s.ny);
            if (!in.has_values(n)) {
                ok = false;
            } else {
                s.array = allocate_grid_array(s.nx, s.ny, &s.block);
                if (!s.array) {
                    report_error("unable to allocate grid " + std::to_string(g));
                    ok = false;
                    out_of_memory = true;
                } else {
                    ok = in.floats(s.array, n);
                }
            }
        }
    }
    std::fclose(f);

    if (!ok) {
        hymem::release(m_block);
        for (int g = 0; g < kHyMaxAuxGrids; ++g)
            hymem::release(aux[g].block);
        if (out_of_memory)
            report_out("Out of Memory");
        else
            report_error(std::string("HyGridMulti: hyg file is truncated or corrupt, grid unchanged: ") + path);
        return 0;
    }

    // Commit: free the old arrays, take the staged ones.
    for (int g = 0; g < aux_count; ++g)
        free_aux(g);
    hymem::release(heights_block);
    nx = m_nx;
    ny = m_ny;
    dx = m_dx;
    dy = m_dy;
    inv_dx = m_inv_dx;
    inv_dy = m_inv_dy;
    half_x = m_half_x;
    half_y = m_half_y;
    wrap_x = m_wrap_x;
    wrap_y = m_wrap_y;
    curvature = m_curv;
    curvature_radius = m_radius;
    heights = m_heights;
    heights_block = m_block;
    line_count = l_count;
    for (int l = 0; l < l_count; ++l) {
        line_x0[l] = l_x0[l];
        line_y0[l] = l_y0[l];
        line_cos[l] = l_cos[l];
        line_sin[l] = l_sin[l];
        // Only the direction is stored; recover an angle for remove_reflecting_line.
        line_angle[l] = std::atan2(l_sin[l], l_cos[l]);
    }
    aux_count = a_count;
    for (int g = 0; g < a_count; ++g) {
        const StagedAux& s = aux[g];
        aux_nx[g] = s.nx;
        aux_ny[g] = s.ny;
        aux_dx[g] = s.dx;
        aux_dy[g] = s.dy;
        aux_inv_dx[g] = s.inv_dx;
        aux_inv_dy[g] = s.inv_dy;
        aux_periodic[g] = s.periodic;
        aux_type[g] = s.type;
        aux_rotated[g] = s.rotated;
        aux_cos_r[g] = s.cos_r;
        aux_sin_r[g] = s.sin_r;
        aux_offset_x[g] = s.offset_x;
        aux_offset_y[g] = s.offset_y;
        aux_array[g] = s.array;
        aux_block[g] = s.block;
    }
    for (int g = a_count; g < kHyMaxAuxGrids; ++g) {
        aux_array[g] = nullptr;
        aux_block[g] = nullptr;
    }
    return 1;
}
