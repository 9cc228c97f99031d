#include "ocean/HyOceanData.h"

#include "ocean/HyGrid.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

void report_error(const char* line)
{
    std::fputs(line, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void copy_name(char* dst, const char* src)
{
    if (!src) {
        dst[0] = '\0';
        return;
    }
    std::size_t n = 0;
    while (n < kHyNameLength - 1 && src[n] != '\0')
        ++n;
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

} // namespace

HyOcean_data::HyOcean_data(const HyOcean_record& record)
    : nx(record.nx), ny(record.ny), dx(record.dx), dy(record.dy), heights(record.heights), seed(record.seed),
      loop(record.loop), loop_time(record.loop_time)
{
    copy_name(name, record.name);
    for (int k = 0; k < 4; ++k)
        params[k] = record.params[k];
}

HyOcean_data::~HyOcean_data() = default;

void HyOcean_data::set_height_array(float* array) { heights = array; }

float* HyOcean_data::get_height_array() { return heights; }

void HyOcean_data::set_name(const char* text) { copy_name(name, text); }

const char* HyOcean_data::get_name() { return name; }

int HyOcean_data::get_kind() { return kind; }

void HyOcean_data::get_dimensions(int& nx_out, int& ny_out, double& dx_out, double& dy_out)
{
    nx_out = nx;
    ny_out = ny;
    dx_out = dx;
    dy_out = dy;
}

void HyOcean_data::set_loop_time(double t)
{
    loop = 1;
    loop_time = t;
}

void HyOcean_data::clear_loop() { loop = 0; }

void HyOcean_data::get_position(double, double& x, double& y)
{
    x = nx * dx / 2.0;
    y = ny * dy / 2.0;
}

void HyOcean_data::evolve_to_time(double) {}

int HyOcean_data::generate_kspace() { return 1; }

namespace {

void zero_heights(float* array, int nx, int ny)
{
    if (array && nx > 0 && ny > 0)
        std::memset(array, 0, sizeof(float) * static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny));
}

} // namespace

void HyOcean_data::transform_to_heights() { zero_heights(heights, nx, ny); }

void HyOcean_data::evolve_filtered_to_time(float* array, double, double, double, double)
{
    zero_heights(array, nx, ny);
}

void HyOcean_data::upgrade_potential_field(double) { zero_heights(heights, nx, ny); }

int HyOcean_data::write_sgi(const char* path, double min_value, double max_value)
{
    if (!heights || nx <= 0 || ny <= 0 || nx > 65535 || ny > 65535) {
        report_error("unable to write height array ");
        return 0;
    }
    const float* planes[1] = {heights};
    const float mins[1] = {static_cast<float>(min_value)};
    const float maxs[1] = {static_cast<float>(max_value)};
    return hy_write_sgi_channels(path, nx, ny, 1, planes, mins, maxs);
}

void HyOcean_data::get_corners(double& x0, double& y0, double& x1, double& y1, double& x2, double& y2,
                               double& x3, double& y3)
{
    const double hx = nx * dx / 2.0, hy = ny * dy / 2.0;
    x0 = -hx;
    y0 = hy;
    x1 = -hx;
    y1 = -hy;
    x2 = hx;
    y2 = hy;
    x3 = hx;
    y3 = -hy;
}

void HyOcean_data::rotated_corners(double cos_a, double sin_a, double centre_x, double centre_y, double& x0,
                                   double& y0, double& x1, double& y1, double& x2, double& y2, double& x3,
                                   double& y3) const
{
    const double hx = nx * dx / 2.0, hy = ny * dy / 2.0;
    auto place = [&](double a, double b, double& x, double& y) {
        x = a * cos_a - b * sin_a + centre_x;
        y = a * sin_a + b * cos_a + centre_y;
    };
    place(-hx, hy, x0, y0);
    place(-hx, -hy, x1, y1);
    place(hx, hy, x2, y2);
    place(hx, -hy, x3, y3);
}

double HyOcean_data::quantise_frequency(double omega) const
{
    if (loop == 0)
        return omega;
    if (!(loop_time > 0.0))
        return 0.0;
    return (1.0 - std::trunc(-loop_time * omega / 6.283185307)) * 6.283185307 / loop_time;
}

int HyKeyFrames::init(int key_count, int channel_count, const double* const* sources)
{
    clear();
    if (key_count <= 0 || channel_count < 0 || !sources)
        return key_count == 0 ? 1 : 0;
    const int count = channel_count + 1;
    double** table = hymem::allocate_array<double*>(static_cast<std::size_t>(count), true);
    if (!table) {
        report_error("unable to allocate space for key frames ");
        return 0;
    }
    for (int a = 0; a < count; ++a) {
        table[a] = hymem::allocate_array<double>(static_cast<std::size_t>(key_count));
        if (!table[a]) {
            report_error("unable to allocate space for key frames ");
            for (int b = 0; b < a; ++b)
                hymem::release(table[b]);
            hymem::release(table);
            return 0;
        }
        if (sources[a])
            std::memcpy(table[a], sources[a], sizeof(double) * static_cast<std::size_t>(key_count));
        else
            std::memset(table[a], 0, sizeof(double) * static_cast<std::size_t>(key_count));
    }
    arrays = table;
    keys = key_count;
    channels = channel_count;
    owns = true;
    return 1;
}

void HyKeyFrames::evaluate(double t, double* out) const
{
    if (!arrays || keys <= 0)
        return;
    const double* time = arrays[0];
    if (keys == 1) {
        for (int c = 0; c < channels; ++c)
            out[c] = arrays[c + 1][0];
        return;
    }
    int s;
    if (t <= time[0]) {
        s = 0;
    } else if (t >= time[keys - 1]) {
        s = keys - 2;
    } else {
        s = 1;
        while (s < keys && time[s] < t)
            ++s;
        s -= 1;
    }
    const double span = time[s + 1] - time[s];
    // Coincident keys: take the later key's values rather than divide by zero.
    const double f = span != 0.0 ? (t - time[s]) / span : 1.0;
    for (int c = 0; c < channels; ++c) {
        const double* v = arrays[c + 1];
        out[c] = v[s] + f * (v[s + 1] - v[s]);
    }
}

void HyKeyFrames::clear()
{
    if (arrays && owns) {
        for (int a = 0; a <= channels; ++a)
            hymem::release(arrays[a]);
        hymem::release(arrays);
    }
    arrays = nullptr;
    keys = 0;
    channels = 0;
    owns = false;
}
