// Built-in mixed-radix transform: the portable backend of HySpectralTransform.
//
// Complex passes follow the self-sorting decimation scheme of the classic mixed-radix packages: for
// each factor p of n (4, 2, 3, 5, then any other factor), with l1 the product of the factors done so
// far and ido = n/(l1*p), a pass takes cc[i + ido*(j + p*k)] to ch[i + ido*(k + l1*m)] through a
// p-point DFT over j and the twiddles exp(+-2*pi*i*m*l1*i/n). Every element is a "vector" of V
// complex values stored contiguously, so V independent transforms run side by side in the innermost
// loop: a 2-D transform gathers 64 columns at a time into a buffer that stays in cache (V = 64), and
// transforms 8 rows at a time as the lanes of one batch (V = 8).
#include "ocean/HySpectralTransformBuiltin.h"

#include <cmath>
#include <cstring>

namespace hyfft {

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;


inline void cis(double angle, float& r, float& i)
{
    r = static_cast<float>(std::cos(angle));
    i = static_cast<float>(std::sin(angle));
}

// Offset of complex vector e in an array of V-lane vectors.
inline std::size_t at(int e, int V) { return 2 * static_cast<std::size_t>(e) * V; }

// Twiddle m (1..p-1) of index i > 0 of a pass: wa holds p-1 rows of ido-1 complex values; the
// imaginary part carries the sign S.
template <int S>
inline void load_twiddle(const float* wa, int ido, int m, int i, float& wr, float& wi)
{
    const int k = (m - 1) * 2 * (ido - 1) + 2 * (i - 1);
    wr = wa[k];
    wi = S * wa[k + 1];
}

// Lane b of output vector o: y turned by the twiddle w.
inline void store_turned(float* o, int b, float yr, float yi, float wr, float wi)
{
    o[2 * b] = yr * wr - yi * wi;
    o[2 * b + 1] = yr * wi + yi * wr;
}

// One radix pass for sign S (+1 inverse, -1 forward). cc and ch are arrays of complex vectors of
// length V (interleaved floats: element e, lane b at 2*(e*V + b)).
template <int S>
void pass_radix2(int ido, int l1, int V, const float* cc, float* ch, const float* wa)
{
    const int p = 2;
    for (int k = 0; k < l1; ++k) {
        for (int i = 0; i < ido; ++i) {
            const float* a0 = cc + at(i + ido * (0 + p * k), V);
            const float* a1 = cc + at(i + ido * (1 + p * k), V);
            float* b0 = ch + at(i + ido * (k + l1 * 0), V);
            float* b1 = ch + at(i + ido * (k + l1 * 1), V);
            if (i == 0) {
                for (int b = 0; b < 2 * V; ++b) {
                    const float x0 = a0[b], x1 = a1[b];
                    b0[b] = x0 + x1;
                    b1[b] = x0 - x1;
                }
            } else {
                float wr, wi;
                load_twiddle<S>(wa, ido, 1, i, wr, wi);
                for (int b = 0; b < V; ++b) {
                    const float r0 = a0[2 * b], i0 = a0[2 * b + 1], r1 = a1[2 * b], i1 = a1[2 * b + 1];
                    b0[2 * b] = r0 + r1;
                    b0[2 * b + 1] = i0 + i1;
                    store_turned(b1, b, r0 - r1, i0 - i1, wr, wi);
                }
            }
        }
    }
}

template <int S>
void pass_radix4(int ido, int l1, int V, const float* cc, float* ch, const float* wa)
{
    const int p = 4;
    for (int k = 0; k < l1; ++k) {
        for (int i = 0; i < ido; ++i) {
            const float* a0 = cc + at(i + ido * (0 + p * k), V);
            const float* a1 = cc + at(i + ido * (1 + p * k), V);
            const float* a2 = cc + at(i + ido * (2 + p * k), V);
            const float* a3 = cc + at(i + ido * (3 + p * k), V);
            float* b0 = ch + at(i + ido * (k + l1 * 0), V);
            float* b1 = ch + at(i + ido * (k + l1 * 1), V);
            float* b2 = ch + at(i + ido * (k + l1 * 2), V);
            float* b3 = ch + at(i + ido * (k + l1 * 3), V);
            float w1r = 1, w1i = 0, w2r = 1, w2i = 0, w3r = 1, w3i = 0;
            if (i > 0) {
                load_twiddle<S>(wa, ido, 1, i, w1r, w1i);
                load_twiddle<S>(wa, ido, 2, i, w2r, w2i);
                load_twiddle<S>(wa, ido, 3, i, w3r, w3i);
            }
            for (int b = 0; b < V; ++b) {
                const float r0 = a0[2 * b], i0 = a0[2 * b + 1];
                const float r1 = a1[2 * b], i1 = a1[2 * b + 1];
                const float r2 = a2[2 * b], i2 = a2[2 * b + 1];
                const float r3 = a3[2 * b], i3 = a3[2 * b + 1];
                const float sr02 = r0 + r2, si02 = i0 + i2, dr02 = r0 - r2, di02 = i0 - i2;
                const float sr13 = r1 + r3, si13 = i1 + i3, dr13 = r1 - r3, di13 = i1 - i3;
                // y1 = d02 + S*i*d13, y3 = d02 - S*i*d13
                const float y0r = sr02 + sr13, y0i = si02 + si13;
                const float y2r = sr02 - sr13, y2i = si02 - si13;
                const float y1r = dr02 - S * di13, y1i = di02 + S * dr13;
                const float y3r = dr02 + S * di13, y3i = di02 - S * dr13;
                b0[2 * b] = y0r;
                b0[2 * b + 1] = y0i;
                store_turned(b1, b, y1r, y1i, w1r, w1i);
                store_turned(b2, b, y2r, y2i, w2r, w2i);
                store_turned(b3, b, y3r, y3i, w3r, w3i);
            }
        }
    }
}

template <int S>
void pass_radix3(int ido, int l1, int V, const float* cc, float* ch, const float* wa)
{
    const int p = 3;
    const float c1 = -0.5f, s1 = S * 0.86602540378443864676f;
    for (int k = 0; k < l1; ++k) {
        for (int i = 0; i < ido; ++i) {
            const float* a0 = cc + at(i + ido * (0 + p * k), V);
            const float* a1 = cc + at(i + ido * (1 + p * k), V);
            const float* a2 = cc + at(i + ido * (2 + p * k), V);
            float* b0 = ch + at(i + ido * (k + l1 * 0), V);
            float* b1 = ch + at(i + ido * (k + l1 * 1), V);
            float* b2 = ch + at(i + ido * (k + l1 * 2), V);
            float w1r = 1, w1i = 0, w2r = 1, w2i = 0;
            if (i > 0) {
                load_twiddle<S>(wa, ido, 1, i, w1r, w1i);
                load_twiddle<S>(wa, ido, 2, i, w2r, w2i);
            }
            for (int b = 0; b < V; ++b) {
                const float r0 = a0[2 * b], i0 = a0[2 * b + 1];
                const float r1 = a1[2 * b], i1 = a1[2 * b + 1];
                const float r2 = a2[2 * b], i2 = a2[2 * b + 1];
                const float sr = r1 + r2, si = i1 + i2, dr = r1 - r2, di = i1 - i2;
                const float mr = r0 + c1 * sr, mi = i0 + c1 * si;
                // y1 = m + i*s1*d, y2 = m - i*s1*d
                const float y1r = mr - s1 * di, y1i = mi + s1 * dr;
                const float y2r = mr + s1 * di, y2i = mi - s1 * dr;
                b0[2 * b] = r0 + sr;
                b0[2 * b + 1] = i0 + si;
                store_turned(b1, b, y1r, y1i, w1r, w1i);
                store_turned(b2, b, y2r, y2i, w2r, w2i);
            }
        }
    }
}

template <int S>
void pass_radix5(int ido, int l1, int V, const float* cc, float* ch, const float* wa)
{
    const int p = 5;
    const float c1 = 0.30901699437494742410f, s1 = S * 0.95105651629515357212f;
    const float c2 = -0.80901699437494742410f, s2 = S * 0.58778525229247312917f;
    for (int k = 0; k < l1; ++k) {
        for (int i = 0; i < ido; ++i) {
            const float* a[5];
            float* o[5];
            for (int j = 0; j < 5; ++j) {
                a[j] = cc + at(i + ido * (j + p * k), V);
                o[j] = ch + at(i + ido * (k + l1 * j), V);
            }
            float wr[5] = {1, 1, 1, 1, 1}, wi[5] = {0, 0, 0, 0, 0};
            if (i > 0) {
                for (int m = 1; m < 5; ++m)
                    load_twiddle<S>(wa, ido, m, i, wr[m], wi[m]);
            }
            for (int b = 0; b < V; ++b) {
                const float r0 = a[0][2 * b], i0 = a[0][2 * b + 1];
                const float r1 = a[1][2 * b], i1 = a[1][2 * b + 1];
                const float r2 = a[2][2 * b], i2 = a[2][2 * b + 1];
                const float r3 = a[3][2 * b], i3 = a[3][2 * b + 1];
                const float r4 = a[4][2 * b], i4 = a[4][2 * b + 1];
                const float s14r = r1 + r4, s14i = i1 + i4, d14r = r1 - r4, d14i = i1 - i4;
                const float s23r = r2 + r3, s23i = i2 + i3, d23r = r2 - r3, d23i = i2 - i3;
                const float m1r = r0 + c1 * s14r + c2 * s23r, m1i = i0 + c1 * s14i + c2 * s23i;
                const float m2r = r0 + c2 * s14r + c1 * s23r, m2i = i0 + c2 * s14i + c1 * s23i;
                // imaginary-unit parts: n1 = s1*d14 + s2*d23, n2 = s2*d14 - s1*d23
                const float n1r = s1 * d14r + s2 * d23r, n1i = s1 * d14i + s2 * d23i;
                const float n2r = s2 * d14r - s1 * d23r, n2i = s2 * d14i - s1 * d23i;
                float yr[5], yi[5];
                yr[0] = r0 + s14r + s23r;
                yi[0] = i0 + s14i + s23i;
                yr[1] = m1r - n1i;
                yi[1] = m1i + n1r;
                yr[4] = m1r + n1i;
                yi[4] = m1i - n1r;
                yr[2] = m2r - n2i;
                yi[2] = m2i + n2r;
                yr[3] = m2r + n2i;
                yi[3] = m2i - n2r;
                o[0][2 * b] = yr[0];
                o[0][2 * b + 1] = yi[0];
                for (int m = 1; m < 5; ++m)
                    store_turned(o[m], b, yr[m], yi[m], wr[m], wi[m]);
            }
        }
    }
}

// Any other factor: a direct p-point DFT (roots holds exp(+2*pi*i*t/p), t = 0..p-1).
template <int S>
void pass_generic(int ido, int l1, int p, int V, const float* cc, float* ch, const float* wa, const float* roots)
{
    for (int k = 0; k < l1; ++k) {
        for (int i = 0; i < ido; ++i) {
            for (int m = 0; m < p; ++m) {
                float* o = ch + at(i + ido * (k + l1 * m), V);
                float twr = 1, twi = 0;
                if (i > 0 && m > 0)
                    load_twiddle<S>(wa, ido, m, i, twr, twi);
                for (int b = 0; b < V; ++b) {
                    float yr = 0, yi = 0;
                    for (int j = 0; j < p; ++j) {
                        const float* a = cc + at(i + ido * (j + p * k), V);
                        const int t = static_cast<int>((static_cast<long long>(j) * m) % p);
                        const float rr = roots[2 * t], ri = S * roots[2 * t + 1];
                        const float xr = a[2 * b], xi = a[2 * b + 1];
                        yr += xr * rr - xi * ri;
                        yi += xr * ri + xi * rr;
                    }
                    store_turned(o, b, yr, yi, twr, twi);
                }
            }
        }
    }
}

template <int S>
void run_pass(int p, int ido, int l1, int V, const float* cc, float* ch, const float* wa, const float* roots)
{
    switch (p) {
    case 2: pass_radix2<S>(ido, l1, V, cc, ch, wa); break;
    case 3: pass_radix3<S>(ido, l1, V, cc, ch, wa); break;
    case 4: pass_radix4<S>(ido, l1, V, cc, ch, wa); break;
    case 5: pass_radix5<S>(ido, l1, V, cc, ch, wa); break;
    default: pass_generic<S>(ido, l1, p, V, cc, ch, wa, roots); break;
    }
}

} // namespace

std::size_t ComplexPlan::table_floats(int n)
{
    // Twiddles: the sum over factors of (p-1)*(ido-1) complex values stays below 2*n; the roots of
    // the generic factors add at most n more.
    return 8 * static_cast<std::size_t>(n > 0 ? n : 1) + 16;
}

int ComplexPlan::build(int length, float* tables)
{
    n = length;
    nfactors = 0;
    int rest = n;
    // 4 first (cheapest per point), then 2, 3, 5, then any remaining factor.
    while (rest % 4 == 0 && nfactors < kMaxFactors) {
        factors[nfactors++] = 4;
        rest /= 4;
    }
    while (rest % 2 == 0 && nfactors < kMaxFactors) {
        factors[nfactors++] = 2;
        rest /= 2;
    }
    for (int p = 3; rest > 1 && nfactors < kMaxFactors; p += 2) {
        if (static_cast<long long>(p) * p > rest)
            p = rest;
        while (rest % p == 0 && nfactors < kMaxFactors) {
            factors[nfactors++] = p;
            rest /= p;
        }
    }
    if (rest != 1)
        return 0;
    float* t = tables;
    int l1 = 1;
    for (int f = 0; f < nfactors; ++f) {
        const int p = factors[f];
        const int ido = n / (l1 * p);
        twiddle[f] = t;
        for (int m = 1; m < p; ++m)
            for (int i = 1; i < ido; ++i) {
                const double angle = kTwoPi * static_cast<double>(static_cast<long long>(m) * l1 * i % n) / n;
                cis(angle, t[0], t[1]);
                t += 2;
            }
        roots[f] = nullptr;
        if (p != 2 && p != 3 && p != 4 && p != 5) {
            roots[f] = t;
            for (int s = 0; s < p; ++s) {
                cis(kTwoPi * s / p, t[0], t[1]);
                t += 2;
            }
        }
        l1 *= p;
    }
    return 1;
}

float* ComplexPlan::execute(int sign, int V, float* a, float* b) const
{
    int l1 = 1;
    float* in = a;
    float* out = b;
    for (int f = 0; f < nfactors; ++f) {
        const int p = factors[f];
        const int ido = n / (l1 * p);
        if (sign > 0)
            run_pass<1>(p, ido, l1, V, in, out, twiddle[f], roots[f]);
        else
            run_pass<-1>(p, ido, l1, V, in, out, twiddle[f], roots[f]);
        float* t = in;
        in = out;
        out = t;
        l1 *= p;
    }
    return in;
}

// ---------------------------------------------------------------------------------------------

std::size_t Plan2d::table_floats(int nx, int ny)
{
    const int m = (nx % 2 == 0) ? nx / 2 : nx;
    // column plan, row plan, real-step twiddles (nx/2 + 1 complex)
    return ComplexPlan::table_floats(ny) + ComplexPlan::table_floats(m) + 2 * static_cast<std::size_t>(nx / 2 + 2);
}

std::size_t Plan2d::scratch_floats(int nx, int ny)
{
    const int m = (nx % 2 == 0) ? nx / 2 : nx;
    // two buffers for a block of columns (ny x kColumnBlock complex) and two lane buffers for a block
    // of rows (m x kRowBlock complex)
    const std::size_t columns = 2 * static_cast<std::size_t>(ny) * kColumnBlock;
    const std::size_t rows = 2 * static_cast<std::size_t>(m) * kRowBlock;
    return 2 * (columns > rows ? columns : rows) + 32;
}

int Plan2d::build(int nx_, int ny_, float* tables)
{
    nx = nx_;
    ny = ny_;
    ncols = nx / 2 + 1;
    even = nx % 2 == 0;
    const int m = even ? nx / 2 : nx;
    float* t = tables;
    if (!columns.build(ny, t))
        return 0;
    t += ComplexPlan::table_floats(ny);
    if (!rows.build(m, t))
        return 0;
    t += ComplexPlan::table_floats(m);
    half_twiddle = t;
    for (int k = 0; k <= nx / 2; ++k)
        cis(kTwoPi * k / nx, t[2 * k], t[2 * k + 1]);
    return 1;
}

// Inverse of `count` rows (count <= kRowBlock): row r has ncols complex values at in + r*2*ncols
// (Hermitian half) and gives nx reals at out + r*nx. The rows run side by side as the lanes of one
// batched complex transform. Every input is read before any output is written, so the output may
// overlap the input. The imaginary parts of the DC and Nyquist values are ignored, as a real field
// has none.
void Plan2d::inverse_rows(const float* in, int count, float* out, float* buf_a, float* buf_b) const
{
    const std::size_t in_stride = 2 * static_cast<std::size_t>(ncols);
    const int V = count;
    if (even) {
        const int m = nx / 2;
        // Z[k] = E[k] + i*O[k], E[k] = X[k] + conj(X[m-k]), O[k] = (X[k] - conj(X[m-k]))*w^k.
        for (int r = 0; r < V; ++r) {
            const float* row = in + r * in_stride;
            for (int k = 0; k < m; ++k) {
                float xr = row[2 * k], xi = row[2 * k + 1];
                float yr = row[2 * (m - k)], yi = -row[2 * (m - k) + 1];
                if (k == 0) {
                    xi = 0.0f;
                    yi = 0.0f;
                }
                const float er = xr + yr, ei = xi + yi;
                const float dr = xr - yr, di = xi - yi;
                const float wr = half_twiddle[2 * k], wi = half_twiddle[2 * k + 1];
                const float orr = dr * wr - di * wi, oi = dr * wi + di * wr;
                float* z = buf_a + 2 * (static_cast<std::size_t>(k) * V + r);
                z[0] = er - oi;
                z[1] = ei + orr;
            }
        }
        const float* z = rows.execute(+1, V, buf_a, buf_b);
        for (int r = 0; r < V; ++r) {
            float* o = out + static_cast<std::size_t>(r) * nx;
            for (int k = 0; k < m; ++k) {
                o[2 * k] = z[2 * (static_cast<std::size_t>(k) * V + r)];
                o[2 * k + 1] = z[2 * (static_cast<std::size_t>(k) * V + r) + 1];
            }
        }
    } else {
        // Odd length: expand to the full Hermitian spectrum and run a complex transform.
        const int n = nx;
        for (int r = 0; r < V; ++r) {
            const float* row = in + r * in_stride;
            auto at = [&](int k) { return buf_a + 2 * (static_cast<std::size_t>(k) * V + r); };
            at(0)[0] = row[0];
            at(0)[1] = 0.0f;
            for (int k = 1; k < ncols; ++k) {
                at(k)[0] = row[2 * k];
                at(k)[1] = row[2 * k + 1];
                at(n - k)[0] = row[2 * k];
                at(n - k)[1] = -row[2 * k + 1];
            }
        }
        const float* z = rows.execute(+1, V, buf_a, buf_b);
        for (int r = 0; r < V; ++r)
            for (int x = 0; x < n; ++x)
                out[static_cast<std::size_t>(r) * nx + x] = z[2 * (static_cast<std::size_t>(x) * V + r)];
    }
}

// Forward of `count` rows: nx reals at in + r*nx give ncols complex values at out + r*2*ncols.
// Every input is read before any output is written.
void Plan2d::forward_rows(const float* in, int count, float* out, float* buf_a, float* buf_b) const
{
    const std::size_t out_stride = 2 * static_cast<std::size_t>(ncols);
    const int V = count;
    if (even) {
        const int m = nx / 2;
        for (int r = 0; r < V; ++r) {
            const float* row = in + static_cast<std::size_t>(r) * nx;
            for (int k = 0; k < m; ++k) {
                float* z = buf_a + 2 * (static_cast<std::size_t>(k) * V + r);
                z[0] = row[2 * k];
                z[1] = row[2 * k + 1];
            }
        }
        const float* z = rows.execute(-1, V, buf_a, buf_b);
        // X[k] = (Z[k] + conj(Z[m-k]))/2 - i*w^-k*(Z[k] - conj(Z[m-k]))/2, Z[m] = Z[0].
        for (int r = 0; r < V; ++r) {
            float* o = out + r * out_stride;
            for (int k = 0; k <= m; ++k) {
                const int ka = k == m ? 0 : k;
                const int kb = k == 0 ? 0 : m - k;
                const float* za = z + 2 * (static_cast<std::size_t>(ka) * V + r);
                const float* zb = z + 2 * (static_cast<std::size_t>(kb) * V + r);
                const float ar = za[0], ai = za[1];
                const float br = zb[0], bi = -zb[1];
                const float er = 0.5f * (ar + br), ei = 0.5f * (ai + bi);
                const float dr = 0.5f * (ar - br), di = 0.5f * (ai - bi);
                // o = -i * conj(w^k) * d
                const float wr = half_twiddle[2 * k], wi = -half_twiddle[2 * k + 1];
                const float tr = dr * wr - di * wi, ti = dr * wi + di * wr;
                o[2 * k] = er + ti;
                o[2 * k + 1] = ei - tr;
            }
        }
    } else {
        const int n = nx;
        for (int r = 0; r < V; ++r)
            for (int x = 0; x < n; ++x) {
                float* z = buf_a + 2 * (static_cast<std::size_t>(x) * V + r);
                z[0] = in[static_cast<std::size_t>(r) * nx + x];
                z[1] = 0.0f;
            }
        const float* z = rows.execute(-1, V, buf_a, buf_b);
        for (int r = 0; r < V; ++r)
            for (int k = 0; k < ncols; ++k) {
                out[r * out_stride + 2 * k] = z[2 * (static_cast<std::size_t>(k) * V + r)];
                out[r * out_stride + 2 * k + 1] = z[2 * (static_cast<std::size_t>(k) * V + r) + 1];
            }
    }
}

// Column transforms, kColumnBlock columns at a time: gather the block into a contiguous buffer (row j of
// the block at j*count), run every pass there while it stays in cache, scatter it back.
void Plan2d::columns_pass(float* data, int sign, float* buf_a, float* buf_b) const
{
    if (ny == 1)
        return;
    const std::size_t stride = 2 * static_cast<std::size_t>(ncols);
    for (int c0 = 0; c0 < ncols; c0 += kColumnBlock) {
        const int count = ncols - c0 < kColumnBlock ? ncols - c0 : kColumnBlock;
        const std::size_t bytes = 2 * sizeof(float) * static_cast<std::size_t>(count);
        for (int j = 0; j < ny; ++j)
            std::memcpy(buf_a + 2 * static_cast<std::size_t>(j) * count, data + j * stride + 2 * c0, bytes);
        const float* z = columns.execute(sign, count, buf_a, buf_b);
        for (int j = 0; j < ny; ++j)
            std::memcpy(data + j * stride + 2 * c0, z + 2 * static_cast<std::size_t>(j) * count, bytes);
    }
}

void Plan2d::inverse(float* data, float* scratch) const
{
    const std::size_t half = (scratch_floats(nx, ny) - 32) / 2;
    float* buf_a = scratch;
    float* buf_b = scratch + half;
    columns_pass(data, +1, buf_a, buf_b);
    // Rows, kRowBlock at a time: output rows (nx reals at j*nx) never reach an input row beyond the block.
    for (int j = 0; j < ny; j += kRowBlock) {
        const int count = ny - j < kRowBlock ? ny - j : kRowBlock;
        inverse_rows(data + 2 * static_cast<std::size_t>(ncols) * j, count, data + static_cast<std::size_t>(nx) * j,
                     buf_a, buf_b);
    }
}

void Plan2d::forward(float* data, float* scratch) const
{
    const std::size_t half = (scratch_floats(nx, ny) - 32) / 2;
    float* buf_a = scratch;
    float* buf_b = scratch + half;
    // Rows in blocks, last block first, so an output row never overwrites input still to be read.
    const int last = (ny - 1) / kRowBlock * kRowBlock;
    for (int j = last; j >= 0; j -= kRowBlock) {
        const int count = ny - j < kRowBlock ? ny - j : kRowBlock;
        forward_rows(data + static_cast<std::size_t>(nx) * j, count, data + 2 * static_cast<std::size_t>(ncols) * j,
                     buf_a, buf_b);
    }
    columns_pass(data, -1, buf_a, buf_b);
}

} // namespace hyfft
