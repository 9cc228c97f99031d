// The pinhole camera: view geometry (pose, fields of view, pixel grid, optional sub-window), the
// output planes the scene writes, and the final tone operations on those planes.
//
// World frame: x east, y north, z up, metres; sea level is z = 0; angles in radians.
//
// Camera space and the image plane. A camera-space vector (p, q, s) maps to the world by R. The
// image-plane point at row coordinate yr and column coordinate xc is the camera-space direction
// (-yr, -xc, 1); a camera-space vector with s > 0 lands at yr = -p/s, xc = -q/s. Row coordinates run
// from rmin (edge of row 0) to rmax, column coordinates from cmin (edge of column 0) to cmax. Looking
// east (a = pi/2, b = c = 0), column 0 is on the north side and row 0 on the downward side: row 0 is
// the bottom row of the picture.
//
// Output planes: red, green, blue, alpha and depth, each window columns x window rows floats, row
// major, row 0 (the bottom of the picture) first, stride = window columns, no padding. Plane index of
// window pixel (row, column) is row * columns + column.
#pragma once

#include "platform/HyMemory.h"
#include "render/HyRenderData.h"

#include <cstdint>

// Pinhole projection. Plain data, copied by value when handed to the surface optics and the slicer.
// Operations are non-virtual; out-parameters are written through references.
class HyViewGeometry {
public:
    HyViewGeometry();

    // Stores the eye point.
    void set_position(const double& x, const double& y, const double& z);
    // R = Rz(b) * Ry(a) * Rz(c): a is the view axis' angle from the zenith (pi/2 is the horizon,
    // more looks down), b its azimuth from east towards north, c turns the image about the axis.
    // Rebuilds R and Rt together.
    void set_orientation(const double& a, const double& b, const double& c);
    // Pixel counts; both steps follow from the current extents.
    void set_size(const int& columns, const int& rows);
    // Counts and image-plane extents at once; both steps follow.
    void set_window(const int& rows, const double& rmin, const double& rmax, const int& columns,
                    const double& cmin, const double& cmax);
    // Full angles: rmax = tan(vertical / 2) = -rmin, cmax = tan(horizontal / 2) = -cmin; steps follow
    // from the current counts.
    void set_fields_of_view(const double& horizontal, const double& vertical);

    // Unit world direction through the centre of pixel (row, column) of the window.
    void pixel_direction(int row, int column, double& dx, double& dy, double& dz) const;
    // Same at fractional pixel coordinates: 0 is the window's edge, r + 0.5 the centre of pixel r.
    void subpixel_direction(double row, double column, double& dx, double& dy, double& dz) const;
    // Ray of six doubles: origin (the eye), then the direction of `subpixel_direction`.
    void subpixel_ray(double row, double column, double ray[6]) const;
    // Ray through the image-plane point (yr, xc).
    void plane_ray(const double& yr, const double& xc, double ray[6]) const;

    // Projects a world point to the pixel that holds it. A point on or behind the eye plane (camera
    // depth <= 0) gives 0 and leaves row and column untouched. Otherwise row and column are written
    // (floor; negative or beyond the window when the point falls outside it, limited to +-2^30) and the
    // result is 1 only strictly inside the window (a point on its border is not visible).
    int project_point(double x, double y, double z, int& row, int& column) const;
    int project_point(const double point[3], int& row, int& column) const;
    // As `project_point` without the floor: fractional pixel coordinates, 0 at the window's edge.
    int project_point_fractional(double x, double y, double z, double& row, double& column) const;
    int project_point_fractional(const double point[3], double& row, double& column) const;

    // Angular codes of the direction from the eye to a world point, the units in which the surface
    // optics and the slicer index directions: elevation code = 1000 * dz / |d|, azimuth code = 1000 *
    // (atan2(-dy, dx) + offset) wrapped into [-3.1415926535, 3.1415926535] by steps of 6.2831853 (the
    // truncated constants are part of the convention). The azimuth runs clockwise seen from above, so
    // with offset = the orientation angle b the view axis has azimuth code 0 (codes relative to the
    // camera heading). The eye point itself gives codes 0 and 1000 * wrapped offset.
    void direction_code(double x, double y, double z, const double& azimuth_offset, double& elevation_code,
                        double& azimuth_code) const;
    void direction_code(const double point[3], const double& azimuth_offset, double& elevation_code,
                        double& azimuth_code) const;
    // The lens function: angular codes back to fractional pixel coordinates of the window. A direction
    // on or behind the eye plane, or a window without extent, gives row = column = -1 and 0.
    int project_direction_code(const double& elevation_code, const double& azimuth_code,
                               const double& azimuth_offset, double& row, double& column) const;
    // Smallest and largest zenith angle of the rays through the four window corners.
    void zenith_range(double& minimum, double& maximum) const;

    // Conveniences for callers that read the geometry.
    void get_position(double& x, double& y, double& z) const;
    void get_orientation(double& a, double& b, double& c) const;
    // Unit world direction of the optical axis: the third column of R.
    void view_axis(double& dx, double& dy, double& dz) const;
    // The larger of the row and column steps (image-plane units per pixel).
    double max_step() const;

    double R[3][3];  // camera space -> world, row major
    double Rt[3][3]; // world -> camera space, always the transpose of R
    double x, y, z;  // eye point, metres
    double a, b, c;  // orientation angles, radians
    int rows;        // pixel rows covered by the window
    int columns;     // pixel columns covered
    double rmin, rmax;  // window extent along the image plane's row axis (plane at distance 1)
    double cmin, cmax;  // window extent along the column axis
    double row_step;    // (rmax - rmin) / rows; 0 when there are no rows
    double column_step; // (cmax - cmin) / columns; 0 when there are no columns

private:
    void update_steps();
    // Image-plane coordinates of a world point relative to the eye; false on or behind the eye plane.
    bool to_plane(double x, double y, double z, double& yr, double& xc) const;
};

// Camera record (type 200). Operations are listed in their fixed order; the number is the place.
// The camera does not own its planes (see HyImagePlanes below for the driver's side).
class HyRenderData_Camera : public HyRenderData {
public:
    HyRenderData_Camera();
    ~HyRenderData_Camera() override;                                                           // 0

    // 1: full image size in pixels; the view follows.
    virtual void set_image_size(const std::uint32_t& width, const std::uint32_t& height);
    // 2: render only full-image pixels first..last (inclusive) each way; the projection stays that of
    // the full image, cut down: plane pixel (0, 0) is full-image pixel (first column, first row).
    // Bounds are the caller's to keep (first <= last < size); a window with last < first has no pixels.
    virtual void set_window(const std::uint32_t& first_column, const std::uint32_t& last_column,
                            const std::uint32_t& first_row, const std::uint32_t& last_row);
    virtual void clear_window();                                                               // 3
    // 4: full angles across the width and the height, radians.
    virtual void set_fields_of_view(const double& horizontal, const double& vertical);
    virtual void set_position(const double& x, const double& y, const double& z);               // 5
    virtual void set_orientation(const double& a, const double& b, const double& c);            // 6
    virtual void get_image_size(std::uint32_t& width, std::uint32_t& height) const;             // 7
    // 8: without a window: 0, width - 1, 0, height - 1.
    virtual void get_window(std::uint32_t& first_column, std::uint32_t& last_column, std::uint32_t& first_row,
                            std::uint32_t& last_row) const;
    // 9: the extent of every render loop and of the planes: the window's, else the image's.
    virtual void get_window_size(std::uint32_t& columns, std::uint32_t& rows) const;
    virtual void get_fields_of_view(double& horizontal, double& vertical) const;                 // 10
    // 11: the angle one pixel subtends at the centre (0 without pixels).
    virtual void get_pixel_angles(double& horizontal, double& vertical) const;
    virtual void get_view(HyViewGeometry& geometry) const;                                      // 12
    virtual void get_position(double& x, double& y, double& z) const;                           // 13
    virtual void get_orientation(double& a, double& b, double& c) const;                        // 14
    // 15: where the ray through the centre of window pixel (column, row) meets sea level. 0 when it
    // does not (eye above looking level or up, eye below looking level or down); an eye exactly at sea
    // level gives its own x, y.
    virtual int pixel_to_sea_level(const int& column, const int& row, double& x, double& y) const;
    // 16: `project_point` of (x, y, 0).
    virtual int sea_level_to_pixel(const double& x, const double& y, int& column, int& row) const;
    virtual void set_colour_planes(float* red, float* green, float* blue);                     // 17
    virtual std::uint32_t get_colour_planes(float*& red, float*& green, float*& blue) const;     // 18
    virtual void clear_colour_planes();                                                        // 19
    virtual void set_alpha_plane(float* alpha); // 20: marks the plane set, also for null
    virtual std::uint32_t get_alpha_plane(float*& alpha) const;                                 // 21
    virtual void clear_alpha_plane();                                                          // 22
    virtual void set_depth_plane(float* depth);                                                // 23
    virtual std::uint32_t get_depth_plane(float*& depth) const;                                 // 24
    virtual void clear_depth_plane();                                                          // 25
    // 26: v > 0 -> v^gamma in single precision, else 0, on every present colour plane.
    virtual void apply_gamma(const double& gamma);
    // 27: v -> (v - minimum) / (maximum - minimum), no clamping. With maximum == minimum the map is a
    // step: values above minimum become 1, the rest 0.
    virtual void apply_colour_range(const double& minimum, const double& maximum);
    // 28: colour / alpha where alpha > 0.001; needs all four planes (else 0).
    virtual int unpremultiply();
    // 29: colour * alpha; needs all four planes (else 0).
    virtual int premultiply();

    // Direct read access for loops that already hold the camera.
    const HyViewGeometry& view() const { return view_; }
    std::uint32_t window_on() const { return window_on_; }

protected:
    // Rebuilds the view from image size, window and fields of view (after operations 1 to 4).
    void update_view();
    // Number of floats in each plane (window columns x rows).
    std::size_t plane_count() const;

private:
    // v -> f(v) on every value of every present colour plane; nothing without colour planes.
    template <class F>
    void map_colour_planes(F f);

    HyViewGeometry view_;
    std::uint32_t colour_planes_set_ = 0;
    float* red_ = nullptr;
    float* green_ = nullptr;
    float* blue_ = nullptr;
    // A single optional plane; `set` marks it present, also with a null pointer.
    struct Plane {
        float* data = nullptr;
        std::uint32_t set = 0;
    };
    Plane alpha_;
    Plane depth_;
    std::uint32_t width_ = 128;
    std::uint32_t height_ = 128;
    std::uint32_t window_on_ = 0;
    std::uint32_t first_column_ = 0, last_column_ = 0, first_row_ = 0, last_row_ = 0;
    double horizontal_fov_ = 1.0;
    double vertical_fov_ = 1.0;
};

// The render driver's output planes for one frame, taken from the tagged allocator. Each plane is
// columns x rows floats, row major, row 0 first, no padding (the camera's layout). Allocation is all or
// nothing; the planes are released by `release` or the destructor.
class HyImagePlanes {
public:
    HyImagePlanes() = default;
    ~HyImagePlanes() { release(); }
    HyImagePlanes(const HyImagePlanes&) = delete;
    HyImagePlanes& operator=(const HyImagePlanes&) = delete;

    // Colour planes always, alpha and depth on request, all zeroed. 1 on success; 0 when any block
    // cannot be had or the size overflows: nothing is kept, a diagnostic line goes to the error stream
    // and "Out of Memory" to the output stream. A size of 0 gives no planes, result 1.
    int allocate(std::uint32_t columns, std::uint32_t rows, bool with_alpha, bool with_depth);
    void release();
    // Hands the planes to the camera: colour planes, and alpha / depth when allocated.
    void attach(HyRenderData_Camera& camera) const;

    float* red = nullptr;
    float* green = nullptr;
    float* blue = nullptr;
    float* alpha = nullptr;
    float* depth = nullptr;
    std::uint32_t columns = 0;
    std::uint32_t rows = 0;
};
