#include "optics/HyOceanOptics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kPi = 3.1415926535; // the value the colour and slope formulas were tuned with
constexpr double kSqrt2Pi = 2.5066283;
// Squared deviations (in units of 2 sigma^2) beyond which a glitter facet contributes nothing.
constexpr double kGlitterCutoff = 60.0;
constexpr double kFar = 99999999.0;

// Diffuse attenuation coefficient K (1/m) of the five water types at 350, 375, ..., 700 nm.
constexpr int kAttenuationCount = 15;
const float kWaterTypeK[5][kAttenuationCount] = {
    {0.062f, 0.038f, 0.028f, 0.022f, 0.019f, 0.018f, 0.027f, 0.043f, 0.063f, 0.089f, 0.235f, 0.305f, 0.36f, 0.42f,
     0.56f},
    {0.078f, 0.052f, 0.038f, 0.031f, 0.026f, 0.025f, 0.032f, 0.048f, 0.067f, 0.094f, 0.24f, 0.31f, 0.37f, 0.43f,
     0.57f},
    {0.10f, 0.066f, 0.051f, 0.042f, 0.036f, 0.033f, 0.042f, 0.054f, 0.072f, 0.099f, 0.245f, 0.315f, 0.375f, 0.435f,
     0.58f},
    {0.175f, 0.122f, 0.096f, 0.081f, 0.068f, 0.062f, 0.070f, 0.076f, 0.089f, 0.115f, 0.26f, 0.335f, 0.40f, 0.465f,
     0.61f},
    {0.32f, 0.22f, 0.185f, 0.16f, 0.135f, 0.116f, 0.115f, 0.116f, 0.12f, 0.148f, 0.295f, 0.375f, 0.445f, 0.52f,
     0.66f},
};

// Water reflectance of the five water types at 0.400, 0.425, ..., 0.700 um.
constexpr int kReflectanceCount = 13;
const float kWaterTypeR[5][kReflectanceCount] = {
    {0.097f, 0.097f, 0.074f, 0.053f, 0.031f, 0.015f, 0.0105f, 0.0063f, 0.0035f, 0.0014f, 0.0007f, 0.0004f, 0.0002f},
    {0.071f, 0.070f, 0.059f, 0.045f, 0.028f, 0.016f, 0.011f, 0.0069f, 0.0035f, 0.0018f, 0.0009f, 0.0005f, 0.0002f},
    {0.050f, 0.052f, 0.046f, 0.040f, 0.026f, 0.017f, 0.0125f, 0.0081f, 0.0040f, 0.0020f, 0.0010f, 0.0005f, 0.0003f},
    {0.030f, 0.034f, 0.034f, 0.030f, 0.024f, 0.018f, 0.013f, 0.0098f, 0.0049f, 0.0025f, 0.0012f, 0.0006f, 0.0003f},
    {0.0155f, 0.019f, 0.022f, 0.024f, 0.023f, 0.019f, 0.017f, 0.013f, 0.0065f, 0.0032f, 0.0016f, 0.0008f, 0.0004f},
};

struct NormalTable {
    float v[kHyStandardNormalCount];
    NormalTable()
    {
        for (int i = 0; i < kHyStandardNormalCount; ++i) {
            const double x = (i - 400) / 100.0;
            v[i] = float(0.5 * std::erfc(-x / std::sqrt(2.0)));
        }
    }
};

void set_axis(HyTableAxis& a, int count, double start, double end)
{
    a.count = count;
    a.start = start;
    a.end = end;
    a.step = (count > 1) ? (end - start) / (count - 1) : 0.0;
    a.inv_step = (a.step != 0.0) ? 1.0 / a.step : 0.0;
}

// Position on an axis: lower sample index and the fraction towards the next one, clamped to the ends.
inline void axis_locate(const HyTableAxis& a, double v, int* i, double* f)
{
    if (a.inv_step == 0.0 || a.count < 2) {
        *i = 0;
        *f = 0.0;
        return;
    }
    const double lo = std::min(a.start, a.end), hi = std::max(a.start, a.end);
    v = std::clamp(v, lo, hi);
    const double t = (v - a.start) * a.inv_step;
    int k = int(std::floor(t));
    k = std::clamp(k, 0, a.count - 2);
    *i = k;
    *f = std::clamp(t - k, 0.0, 1.0);
}

// Facet cosines reachable at slope squared s2 and view cosine mu (as in the table build).
inline void facet_cosine_range(double s2, double mu, double* lo, double* hi)
{
    const double h = std::sqrt(std::max(0.0, (1.0 - mu * mu) * s2));
    const double inv = 1.0 / std::sqrt(s2 + 1.0);
    *lo = std::max(0.0, (mu - h) * inv);
    *hi = std::max(0.0, (mu + h) * inv);
}

} // namespace

const float* hy_standard_normal_table()
{
    static const NormalTable table;
    return table.v;
}

double HyOceanOptics::water_type_attenuation(int type, double wavelength_um)
{
    if (type < 1 || type > 5)
        return 0.1;
    const float* k = kWaterTypeK[type - 1];
    const double nm = wavelength_um * 1000.0;
    if (!(nm > 350.0))
        return k[0];
    if (nm >= 700.0)
        return k[kAttenuationCount - 1];
    // Bracketing pair by bisection over the 25 nm grid.
    int lo = 0, hi = kAttenuationCount - 1;
    while (hi - lo > 1) {
        const int mid = (lo + hi) / 2;
        if (350.0 + 25.0 * mid <= nm)
            lo = mid;
        else
            hi = mid;
    }
    const double f = (nm - (350.0 + 25.0 * lo)) / 25.0;
    return double(k[lo]) + f * (double(k[hi]) - double(k[lo]));
}

double HyOceanOptics::water_type_reflectance(int type, double wavelength_um)
{
    if (type < 1 || type > 5)
        return 0.0;
    const float* r = kWaterTypeR[type - 1];
    if (wavelength_um < 0.4)
        return r[0];
    if (wavelength_um > 0.7)
        return r[kReflectanceCount - 1];
    const double x = (wavelength_um - 0.4) / 0.025;
    int i = int(std::floor(x));
    i = std::clamp(i, 0, kReflectanceCount - 1);
    if (i >= kReflectanceCount - 1)
        return r[kReflectanceCount - 1];
    const double f = x - i;
    return (1.0 - f) * double(r[i]) + f * double(r[i + 1]);
}

HyOceanOptics::HyOceanOptics(const HyOceanOpticsParams& params)
{
    table_ = static_cast<HyReflectanceTable*>(hymem::allocate(sizeof(HyReflectanceTable), true));
    if (!table_)
        std::fprintf(stderr, "HyOceanOptics::HyOceanOptics: unable to allocate the reflectance table\n");
    HyOceanOptics::set_parameters(params);
}

HyOceanOptics::~HyOceanOptics()
{
    if (table_)
        hymem::release(table_);
    table_ = nullptr;
}

int HyOceanOptics::set_parameters(const HyOceanOpticsParams& p)
{
    resolved_cutoff_length_ = p.resolved_cutoff_length;
    wind_speed_ = p.wind_speed;
    shortest_wave_length_ = std::max(p.shortest_wave_length, 0.01);
    water_type_ = p.water_type;
    // New water invalidates the averaged reflectance until it is prepared again.
    slope_table_ready_ = 0;
    if (!table_) {
        std::fprintf(stderr, "HyOceanOptics::set_parameters: no reflectance table\n");
        return 0;
    }
    table_->ready = 0;

    for (int k = 0; k < 3; ++k) {
        index_of_refraction_[k] = p.index_of_refraction[k];
        table_->index_of_refraction[k] = p.index_of_refraction[k];
    }
    slope_scale_ = p.slope_scale;
    wavelength_[0] = 0.701;
    wavelength_[1] = 0.535;
    wavelength_[2] = 0.473;

    if (water_type_ < 1) {
        for (int k = 0; k < 3; ++k) {
            water_color_[k] = p.water_color[k];
            attenuation_length_[k] = p.attenuation_length[k];
        }
    } else {
        for (int k = 0; k < 3; ++k) {
            const double n = index_of_refraction_[k];
            const double n2pi = n * n * kPi;
            water_color_[k] = (n2pi != 0.0) ? water_type_reflectance(water_type_, wavelength_[k]) * 15.0 / n2pi : 0.0;
            const double kd = water_type_attenuation(water_type_, wavelength_[k]);
            attenuation_length_[k] = (kd > 0.0) ? 1.0 / kd : kFar;
        }
    }

    // Cox-Munk total slope variance, spread evenly over ln(k) from the spectral peak to the shortest
    // wave; the part above the grid's cutoff frequency is what the grid cannot show.
    const double w = wind_speed_;
    const double kp = (w > 0.0) ? 6.572700000000001 / (w * w * 2.0 * kPi) : kFar;
    const double kmax = 1.0 / shortest_wave_length_;
    const double lg = (resolved_cutoff_length_ > 0.0) ? resolved_cutoff_length_ : 0.5;
    const double kg = 1.0 / (2.0 * lg);
    const double total = 0.003 + 0.00508 * w;
    const double c8 = 0.0032246527744746794; // 8 pi^3 1.3e-5
    const double d = std::log(kmax / kp) * c8;
    const double v = (d > 0.0) ? 8.0 * total / d : 0.0;
    const double rho = v * (c8 / 8.0);
    const double u = rho * std::log(kmax / kg);
    table_->sigma_small = std::sqrt((u > 0.0 ? u : 0.003) * 0.5);
    const double r = rho * std::log(kg / kp);
    table_->sigma_large = std::sqrt(r > 0.0 ? r : 0.003);

    build_fresnel_table();
    set_slope_axes();
    return 1;
}

void HyOceanOptics::build_fresnel_table()
{
    HyReflectanceTable& t = *table_;
    t.fresnel_start = -1.0;
    t.fresnel_step = 0.01;
    t.fresnel_count = HyReflectanceTable::kFresnelCount;
    const double pi = 3.141592653589793;
    for (int k = 0; k < 3; ++k) {
        const double n = t.index_of_refraction[k];
        for (int i = 0; i < HyReflectanceTable::kFresnelCount; ++i) {
            const double c = -1.0 + 0.01 * i;
            const double theta = std::fabs(std::acos(std::clamp(c, -1.0, 1.0)));
            // Positive cosine: light leaving the water into air.
            const double ratio = (c > 0.0) ? 1.0 / n : n;
            double refl;
            const double st = (ratio != 0.0) ? std::sin(theta) / ratio : 2.0;
            if (st >= 1.0) {
                refl = 1.0;
            } else {
                double tr = std::asin(st);
                if (theta > 1.57079632675)
                    tr = pi - tr;
                if (!(std::fabs(pi - theta) < 0.001) && !(theta < 0.001)) {
                    const double tm = std::tan(tr - theta), tp = std::tan(tr + theta);
                    const double sm = std::sin(tr - theta), sp = std::sin(tr + theta);
                    refl = 0.5 * ((tm * tm) / (tp * tp) + (sm * sm) / (sp * sp));
                } else {
                    const double q = (1.0 - ratio) / (1.0 + ratio);
                    refl = q * q;
                }
            }
            t.fresnel[k][i] = std::min(refl, 1.0);
        }
    }
}

void HyOceanOptics::set_slope_axes()
{
    HyReflectanceTable& t = *table_;
    set_axis(t.fraction_axis, HyReflectanceTable::kFractionCount, 0.1, 0.995);
    set_axis(t.slope2_axis, HyReflectanceTable::kSlope2Count, 0.0, 9.0 * t.sigma_large * t.sigma_large);
    set_axis(t.view_axis, HyReflectanceTable::kViewCount, 0.005, 0.995);
}

void HyOceanOptics::fresnel_lookup(double c, double out[3]) const
{
    if (!table_) {
        out[0] = out[1] = out[2] = 1.0;
        return;
    }
    const double x = (c + 1.0) * 100.0;
    if (!(x >= 0.0)) { // also catches NaN
        for (int k = 0; k < 3; ++k)
            out[k] = table_->fresnel[k][0];
        return;
    }
    constexpr int last = HyReflectanceTable::kFresnelCount - 1;
    if (x >= last) {
        for (int k = 0; k < 3; ++k)
            out[k] = table_->fresnel[k][last];
        return;
    }
    const int i = int(x);
    const double f = x - i;
    for (int k = 0; k < 3; ++k)
        out[k] = (1.0 - f) * table_->fresnel[k][i] + f * table_->fresnel[k][i + 1];
}

void HyOceanOptics::slope_averaged_entry(double s2, double mu, double c, double out[3]) const
{
    // Gaussian weights of the sample offsets, in units of sigma: 71 along the view azimuth
    // (-3.0 .. +4.0; the long upper tail keeps grazing facets), 31 across it (-3.0 .. +3.0).
    static const struct Weights {
        double a[71], ga[71], b[31], gb[31];
        Weights()
        {
            for (int i = 0; i < 71; ++i) {
                a[i] = -3.0 + 0.1 * i;
                ga[i] = std::exp(-a[i] * a[i] / 2.0);
            }
            for (int j = 0; j < 31; ++j) {
                b[j] = -3.0 + 0.2 * j;
                gb[j] = std::exp(-b[j] * b[j] / 2.0);
            }
        }
    } wts;

    out[0] = out[1] = out[2] = 0.0;
    if (!table_)
        return;
    const double sn = std::sqrt(std::max(0.0, 1.0 - mu * mu));
    const double tn = sn / std::max(std::fabs(mu), 1e-5);
    const double sigma = table_->sigma_small;
    s2 = std::max(s2, 0.0);

    double x0 = (sn > 0.0) ? (std::sqrt(s2 + 1.0) * c - mu) / sn : 0.0;
    double y0;
    if (x0 * x0 > s2) {
        x0 = std::sqrt(s2);
        y0 = 0.0;
    } else {
        y0 = std::sqrt(s2 - x0 * x0);
    }

    // Channels with equal indices share one Fresnel curve (the usual case): average it once.
    const bool shared = table_->index_of_refraction[0] == table_->index_of_refraction[1] &&
                        table_->index_of_refraction[1] == table_->index_of_refraction[2];
    const int nch = shared ? 1 : 3;
    constexpr int last = HyReflectanceTable::kFresnelCount - 1;
    double wsum = 0.0, sum[3] = {0.0, 0.0, 0.0};
    for (int i = 0; i < 71; ++i) {
        const double zx = x0 + wts.a[i] * sigma;
        const double proj = 1.0 + zx * tn; // projected facet area seen from the view direction
        if (proj <= 0.0)
            continue;
        const double wa = wts.ga[i] * proj;
        const double zx2p1 = zx * zx + 1.0;
        const double num = zx * sn + mu;
        for (int j = 0; j < 31; ++j) {
            const double zy = y0 + wts.b[j] * sigma;
            const double w = wa * wts.gb[j];
            wsum += w;
            const double m2 = zx2p1 + zy * zy;
            // The reflected ray leaves upward when 2 cf / m > mu, cf = num / m.
            if (2.0 * num > mu * m2) {
                const double cf = num / std::sqrt(m2);
                // Fresnel lookup at -cf.
                const double x = (1.0 - cf) * 100.0;
                int k0, k1;
                double fr;
                if (!(x >= 0.0)) {
                    k0 = k1 = 0;
                    fr = 0.0;
                } else if (x >= last) {
                    k0 = k1 = last;
                    fr = 0.0;
                } else {
                    k0 = int(x);
                    k1 = k0 + 1;
                    fr = x - k0;
                }
                for (int c = 0; c < nch; ++c) {
                    const double* f = table_->fresnel[c];
                    sum[c] += w * (f[k0] + fr * (f[k1] - f[k0]));
                }
            }
        }
    }
    if (shared)
        sum[1] = sum[2] = sum[0];
    if (wsum != 0.0) {
        out[0] = sum[0] / wsum;
        out[1] = sum[1] / wsum;
        out[2] = sum[2] / wsum;
    }
}

int HyOceanOptics::prepare_slope_table()
{
    if (slope_table_ready_)
        clear_slope_table();
    if (!table_) {
        std::fprintf(stderr, "HyOceanOptics::prepare_slope_table: no reflectance table\n");
        return 0;
    }
    HyReflectanceTable& t = *table_;
    for (int s = 0; s < HyReflectanceTable::kSlope2Count; ++s) {
        const double s2 = t.slope2_axis.start + s * t.slope2_axis.step;
        for (int v = 0; v < HyReflectanceTable::kViewCount; ++v) {
            const double mu = t.view_axis.start + v * t.view_axis.step;
            double lo, hi;
            facet_cosine_range(s2, mu, &lo, &hi);
            for (int f = 0; f < HyReflectanceTable::kFractionCount; ++f) {
                const double fr = t.fraction_axis.start + f * t.fraction_axis.step;
                double e[3];
                slope_averaged_entry(s2, mu, lo + fr * (hi - lo), e);
                const int idx = (f * HyReflectanceTable::kSlope2Count + s) * HyReflectanceTable::kViewCount + v;
                t.slope[0][idx] = e[0];
                t.slope[1][idx] = e[1];
                t.slope[2][idx] = e[2];
            }
        }
    }
    t.ready = 1;
    slope_table_ready_ = 1;
    return 1;
}

int HyOceanOptics::prepare_second()
{
    if (second_ready_)
        clear_second();
    second_ready_ = 1;
    return 1;
}

int HyOceanOptics::clear_second()
{
    second_ready_ = 0;
    return 1;
}

int HyOceanOptics::clear_slope_table()
{
    slope_table_ready_ = 0;
    return 1;
}

int HyOceanOptics::is_slope_table_ready() const { return slope_table_ready_; }

int HyOceanOptics::is_second_ready() const { return second_ready_; }

void HyOceanOptics::reflect(const double* n, const double* d, double* out) const
{
    const double dot = n[0] * d[0] + n[1] * d[1] + n[2] * d[2];
    out[0] = d[0] - 2.0 * dot * n[0];
    out[1] = d[1] - 2.0 * dot * n[1];
    out[2] = d[2] - 2.0 * dot * n[2];
}

int HyOceanOptics::refract_channel(const double* n, const double* d, int channel, double* out) const
{
    if (channel < 0 || channel > 2)
        return 0;
    return refract(n, d, index_of_refraction_[channel], out);
}

int HyOceanOptics::refract(const double* n, const double* d, double eta, double* out) const
{
    if (!(eta > 0.0))
        return 0;
    const double c = n[0] * d[0] + n[1] * d[1] + n[2] * d[2];
    if (c <= 0.0) {
        // Crossing into the medium behind the normal: bends towards -n.
        const double k = (1.0 - c * c) / (eta * eta);
        if (1.0 - k <= 0.0)
            return 0;
        const double s = std::sqrt(1.0 - k);
        for (int i = 0; i < 3; ++i)
            out[i] = (d[i] - c * n[i]) / eta - s * n[i];
    } else {
        const double q = 1.0 - (1.0 - c * c) * eta * eta;
        if (q <= 0.0)
            return 0;
        const double s = std::sqrt(q);
        for (int i = 0; i < 3; ++i)
            out[i] = (d[i] - c * n[i]) * eta + s * n[i];
    }
    return 1;
}

double HyOceanOptics::critical_cos2(int channel) const
{
    if (channel < 0 || channel > 2)
        return 0.0;
    const double n = index_of_refraction_[channel];
    return (n != 0.0) ? 1.0 - 1.0 / (n * n) : 0.0;
}

void HyOceanOptics::get_water_color(double* r, double* g, double* b) const
{
    *r = water_color_[0];
    *g = water_color_[1];
    *b = water_color_[2];
}

void HyOceanOptics::get_attenuation_length(double* r, double* g, double* b) const
{
    *r = attenuation_length_[0];
    *g = attenuation_length_[1];
    *b = attenuation_length_[2];
}

void HyOceanOptics::fresnel_reflectance(const double* n, const double* d, int side, double* r, double* g,
                                        double* b) const
{
    double out[3] = {1.0, 1.0, 1.0};
    const double dot = n[0] * d[0] + n[1] * d[1] + n[2] * d[2];
    if (side == 1 && slope_table_ready_ && table_ && table_->ready) {
        const HyReflectanceTable& t = *table_;
        const double c = -dot;
        const double mu = -d[2];
        // A vertical facet is as steep as the table goes.
        const double s2 = (n[2] != 0.0) ? (n[0] * n[0] + n[1] * n[1]) / (n[2] * n[2]) : t.slope2_axis.end;
        double lo, hi;
        facet_cosine_range(s2, mu, &lo, &hi);
        const double fr = (lo == hi) ? 0.1 : (c - lo) / (hi - lo);
        int fi, si, vi;
        double ff, sf, vf;
        axis_locate(t.fraction_axis, fr, &fi, &ff);
        axis_locate(t.slope2_axis, s2, &si, &sf);
        axis_locate(t.view_axis, mu, &vi, &vf);
        const int S = HyReflectanceTable::kSlope2Count, V = HyReflectanceTable::kViewCount;
        const int sn = (t.slope2_axis.count > 1) ? 1 : 0;
        for (int k = 0; k < 3; ++k) {
            const double* tab = t.slope[k];
            auto at = [&](int f, int s, int v) { return tab[(f * S + s) * V + v]; };
            const double c00 = at(fi, si, vi) * (1 - vf) + at(fi, si, vi + 1) * vf;
            const double c01 = at(fi, si + sn, vi) * (1 - vf) + at(fi, si + sn, vi + 1) * vf;
            const double c10 = at(fi + 1, si, vi) * (1 - vf) + at(fi + 1, si, vi + 1) * vf;
            const double c11 = at(fi + 1, si + sn, vi) * (1 - vf) + at(fi + 1, si + sn, vi + 1) * vf;
            const double c0 = c00 * (1 - sf) + c01 * sf;
            const double c1 = c10 * (1 - sf) + c11 * sf;
            out[k] = c0 * (1 - ff) + c1 * ff;
        }
    } else if (side == 1 || side == -1) {
        fresnel_lookup(dot, out);
    }
    *r = out[0];
    *g = out[1];
    *b = out[2];
}

void HyOceanOptics::glitter(const double* N, const double* L, const double* V, int side, double* r, double* g,
                            double* b) const
{
    double out[3] = {0.0, 0.0, 0.0};
    const double sigma = sigma_small() * slope_scale_;
    // A perfectly smooth surface has no spread glitter; a mean normal in the horizontal plane has no slope.
    if (V[2] >= 0.0 || N[2] == 0.0 || !table_ || !(sigma > 0.0)) {
        *r = *g = *b = 0.0;
        return;
    }
    const float* phi = hy_standard_normal_table();
    const double sx = -N[0] / N[2], sy = -N[1] / N[2];
    const double muv = -V[2];
    const double sv = std::sqrt(std::max(0.0, 1.0 - muv * muv));
    double ax = -V[0], ay = -V[1];
    if (sv > 0.0) {
        ax /= sv;
        ay /= sv;
    }
    const double two_s2 = 2.0 * sigma * sigma;
    bool assigned[3] = {false, false, false};
    for (int k = 0; k < 3; ++k) {
        if (assigned[k])
            continue;
        const double nk = index_of_refraction_[k];
        const double gn = 1.0 / std::sqrt(sx * sx + sy * sy + 1.0);
        const double c = (L[0] * sx + L[1] * sy - L[2]) * gn;
        double mul = -L[2];
        const double sl = -std::sqrt(std::max(0.0, 1.0 - L[2] * L[2]));
        double dx, dy;
        if (side == -1) {
            // Light reaching an eye under water: follow the refracted light.
            const double q = 1.0 - (1.0 - c * c) * nk * nk;
            if (q < 0.0)
                continue;
            const double t = std::sqrt(q);
            const double hx = (L[0] - c * sx) * nk - t * sx;
            const double hy = (L[1] - c * sy) * nk - t * sy;
            const double len = std::sqrt(hx * hx + hy * hy);
            if (len > 0.0) {
                dx = hx / len;
                dy = hy / len;
            } else {
                dx = 1.0;
                dy = 0.0;
            }
            mul = (-L[2] - c * gn) * nk + t * gn;
        } else {
            const double len = std::sqrt(L[0] * L[0] + L[1] * L[1]);
            if (len > 0.0) {
                dx = L[0] / len;
                dy = L[1] / len;
            } else {
                dx = 1.0;
                dy = 0.0;
            }
        }
        const double den_d = mul + muv;
        if (den_d == 0.0)
            continue;
        const double A = (ay * dy + ax * dx) * sv;
        double B = dy * sy + dx * sx;
        const double P = (A + sl) / den_d;
        const double Q = (ay * dx - ax * dy) * sv / den_d;
        const double dp = -P - B;
        const double dq = -Q - (dx * sy - dy * sx);
        // The facets that would send the light to the eye lie so many deviations off the mean slope that
        // their share is below any colour a frame can hold (exp(-60) against factors far below 1e20).
        const double deviation = (dp * dp + dq * dq) / two_s2;
        if (deviation > kGlitterCutoff)
            continue;
        if (mul - B * sl <= 0.0) {
            if (mul == 0.0)
                B = -9.99e-10;
            else if (sl != 0.0)
                B = 0.999 * mul / sl;
            else
                continue; // light straight up: nothing reaches the facets from above
        }
        const double m = (mul == 0.0) ? 1e9 : -sl / mul;
        double den;
        if (m * sigma == 0.0) {
            den = (m * B + 1.0) * sigma * kSqrt2Pi;
        } else {
            const double u = 1.0 / m + B;
            const double x = -u / sigma;
            if (x > 4.0)
                continue;
            const double ex = std::exp(-x * x / 2.0) * m * sigma * sigma;
            if (x > -4.0) {
                const int i = std::clamp(400 + int(100.0 * x), 0, kHyStandardNormalCount - 1);
                den = ex + (1.0 - double(phi[i])) * (m * B + 1.0) * sigma * kSqrt2Pi;
            } else {
                den = ex + (m * B + 1.0) * sigma * kSqrt2Pi;
            }
        }
        if (den == 0.0 || !std::isfinite(den))
            continue;
        const double W = (1.0 - m * P) / den; // times exp(-dp^2 / 2 sigma^2), folded into G's `deviation`
        const double cpsi = A * sl + mul * muv;
        // cos(acos(c) / 2) by the half-angle identity.
        const double chalf = (std::fabs(cpsi) < 1.0) ? std::sqrt((1.0 + cpsi) / 2.0) : 1.0;
        double R[3];
        fresnel_lookup(-chalf, R);
        if (side == -1)
            for (int j = 0; j < 3; ++j)
                R[j] = 1.0 - R[j];
        const double g1 = 1.0 / std::sqrt(P * P + 1.0 + Q * Q);
        const double g3 = g1 * g1 * g1;
        double G = 0.0;
        if (g3 * chalf != 0.0)
            G = std::max(0.0, std::exp(-deviation) / (sigma * kSqrt2Pi) * W / (4.0 * g3 * chalf));
        if (!std::isfinite(G))
            G = 0.0;
        for (int j = k; j < 3; ++j) {
            if (index_of_refraction_[j] == nk) {
                out[j] = G * R[j];
                assigned[j] = true;
            }
        }
    }
    *r = out[0];
    *g = out[1];
    *b = out[2];
}
