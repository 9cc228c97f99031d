// HyOceanSurface: the one object through which the program sees the sea. It owns the
// multi-resolution grid, the two primary wind-wave elements (small lattice on the main grid, large
// lattice on auxiliary grid 0) and a list of further elements (swells, ripples, wakes, disturbance
// grids, displacement grids), each bound to an auxiliary grid of its own.
//
// Ids: every element of the list has an id issued as last id + 1, starting at 1, never reused; 0
// means failure. Id-taking operations report "<class>::<operation> invalid id " and return 0 for an
// id the list does not hold. Add operations return the new id, reset and remove operations the id
// they were given, the others 1 or the forwarded result. Every diagnostic is one line on the
// standard error stream; "Out of Memory" goes to the standard output stream.
//
// Bad input, and what it gives (never a crash, never a NaN in the heights):
//  - primary waves: a lattice size that is odd or outside 4..8192, or a spacing that is not a positive
//    finite number, is refused with a message and creates nothing. Even sizes that are not powers of
//    two are accepted (the transform is mixed-radix).
//  - a wind speed that is 0, negative or not finite, a wind direction that is not finite, or a vertical
//    scale that is not finite: flat primary waves.
//  - a time that is not finite: the sea at time 0.
//  - swells: an odd size, a size below 2 or a bad spacing is refused ("... unable to add new grid ");
//    a length, roughness or oscillations that is not a positive finite number, or a height or
//    direction that is not finite, gives a swell that contributes nothing.
//  - ripples, wakes, disturbance and displacement grids: sizes below 2 or bad spacings are refused
//    (0); a displacement placement that is not finite is refused on add and ignored on reset.
//  - float_on_surface with a size of 0 or not finite: the object sits level at the height under it.
//  - an id of another kind of element (a ripple's id given to a swell operation) is an invalid id.
//  - failed allocations report their messages and return 0; the surface stays usable, and a later
//    call with memory available succeeds. A reallocation that fails puts the element's former grid
//    back, so the element carries on as it was; should even that fail, the element stays in the list
//    contributing nothing (its id stays valid) and its empty grid slot stays until the primary waves
//    are deallocated.
//  - a failed frame (no memory for a first evolution) keeps the heights the arrays had.
#pragma once

#include "ocean/HyGridMulti.h"
#include "ocean/HyOceanData.h"
#include "ocean/HyOceanSurfaceGridElement.h"
#include "ocean/HyOceanSurfaceGridElement_displacement.h"
#include "ocean/HyOceanSurfaceGridElement_disturbance.h"
#include "ocean/HyOceanSurfaceGridElement_ripple.h"
#include "ocean/HyOceanSurfaceGridElement_swell.h"
#include "ocean/HyOceanSurfaceGridElement_wake.h"

#include <cstdint>

// Surface settings (construction and set_surface_parameters).
struct HySurface_data {
    std::int32_t curvature = 0;          // 1: heights drop with distance from the centre
    double curvature_radius = 99999999.0; // metres
    std::int32_t loop = 0;               // 1: every element loops with loop_time
    double loop_time = 99999999.0;       // seconds
};

// Primary waves (allocate_primary_waves, reallocate_primary_waves).
struct HyPrimaryWaves_data {
    std::int32_t size = 1024;         // N: nodes per side of both lattices
    double small_spacing = 0.075;     // metres per node of the small lattice (main grid)
    double large_spacing = 0.93;      // metres per node of the large lattice (auxiliary grid 0)
    double wind_speed = 7.5;          // m/s
    double wind_direction = 0.0;      // radians
    double shortest_wavelength = 0.0; // metres; 0: no cut beyond the lattice limit
    double vertical_scale = 1.0;
    double extra = 0.0;
    std::int32_t small_seed = 101;
    std::int32_t large_seed = 1011;
};

// The doubly linked list of the surface's further elements. A node owns its element.
class HyOceanDisturbanceList {
public:
    struct Node : HyAllocated {
        std::uint32_t id = 0;
        Node* next = nullptr;
        Node* previous = nullptr;
        HyOcean_data* element = nullptr;
    };

    HyOceanDisturbanceList() = default;
    ~HyOceanDisturbanceList(); // deletes every node and its element
    HyOceanDisturbanceList(const HyOceanDisturbanceList&) = delete;
    HyOceanDisturbanceList& operator=(const HyOceanDisturbanceList&) = delete;

    // Appends a node holding `element`; the new id, or 0 (after "HyOceanDisturbanceList::add_node 
    // unable to allocate node ") when no node can be allocated.
    std::uint32_t add_node(HyOcean_data* element);
    // The node with this id, or null.
    Node* find(std::uint32_t id) const;
    // Unlinks and frees the node (not its element); 1, or 0 after a warning when the id is unknown
    // or the list is corrupt.
    int remove_node(std::uint32_t id);
    // Deletes every node and its element; the last issued id stays, so ids are still never reused.
    void clear();

    std::int32_t count = 0;
    std::uint32_t last_id = 0;
    Node* head = nullptr;
    Node* tail = nullptr;
};

class HyOceanSurface : public HyAllocated {
public:
    explicit HyOceanSurface(const HySurface_data& settings = HySurface_data());
    HyOceanSurface(const HyOceanSurface&) = delete;
    HyOceanSurface& operator=(const HyOceanSurface&) = delete;

    // Virtual operations, in their fixed order.
    virtual ~HyOceanSurface();                                                   // 0
    virtual int set_surface_parameters(const HySurface_data& settings);          // 1
    virtual int get_grid(HyGridMulti*& grid);                                    // 2
    // 3: creates the grid and both primary elements; 0 (the first waves kept) when already done.
    // A size that is not even and at least 4, or a spacing that is not a positive finite number, is
    // refused with a message and creates nothing.
    virtual int allocate_primary_waves(const HyPrimaryWaves_data& record);
    virtual int reset_primary_wave_parameters(const double& direction, const double& speed,
                                              const double& shortest_wavelength, const double& vertical_scale,
                                              const double& extra);              // 4
    virtual int reallocate_primary_waves(const HyPrimaryWaves_data& record);     // 5
    virtual int deallocate_primary_waves();                                      // 6
    virtual int get_bare_pointer(const std::uint32_t& id, HyOcean_data*& element); // 7
    virtual int get_element_corners(const std::uint32_t& id, double& x0, double& y0, double& x1, double& y1,
                                    double& x2, double& y2, double& x3, double& y3); // 8

    // Swells (periodic additive auxiliary grid, N x N).
    virtual std::uint32_t add_new_swell(const HySwell_data& record);             // 9
    virtual std::uint32_t reset_swell_parameters(const std::uint32_t& id, const double& height,
                                                 const double& length, const double& roughness,
                                                 const double& oscillations, const double& direction,
                                                 const double& vertical_scale); // 10
    virtual int reallocate_swell(const std::uint32_t& id, const HySwell_data& record); // 11
    virtual std::uint32_t remove_swell(const std::uint32_t& id);                 // 12

    // Ripples (radial additive auxiliary grid, N x 1).
    virtual std::uint32_t add_new_ripple(const HyRipple_record& record);           // 13
    virtual std::uint32_t reset_ripple_parameters(const std::uint32_t& id, const double& centre_x,
                                                  const double& centre_y, const double& start_time,
                                                  const double& time_scale,
                                                  const double& amplitude_scale); // 14
    virtual int reallocate_ripple(const std::uint32_t& id, const HyRipple_record& record); // 15
    virtual std::uint32_t remove_ripple(const std::uint32_t& id);                // 16

    // Wakes (rotated non-periodic additive auxiliary grid).
    virtual std::uint32_t add_new_wake(const HyWake_record& record);               // 17
    // 18: new motion (depth scales the computed pattern), and the grid turned to the heading.
    virtual std::uint32_t reset_wake_parameters(const std::uint32_t& id, const double& depth,
                                                const double& heading, const double& ship_x,
                                                const double& ship_y, const double& reference_time);
    // 19: the pattern's display options (soft limit and fade).
    virtual std::uint32_t reset_wake_parameters(const std::uint32_t& id, const int& soft_limit,
                                                const double& soft_limit_scale, const int& fade,
                                                const double& fade_length, const double& fade_power);
    virtual int reallocate_wake(const std::uint32_t& id, const HyWake_record& record); // 20
    virtual std::uint32_t remove_wake(const std::uint32_t& id);                  // 21
    virtual int get_wake_front_and_back(const std::uint32_t& id, double& front_x, double& front_y,
                                        double& back_x, double& back_y, const double& t); // 22

    // Disturbance grids (rotated non-periodic additive auxiliary grid).
    virtual std::uint32_t add_new_disturbance_grid(const HyDisturbance_record& record);       // 23
    virtual int reallocate_disturbance_grid(const std::uint32_t& id, const HyDisturbance_record& record); // 24
    virtual std::uint32_t reset_disturbance_grid_parameters(const std::uint32_t& id, const double& centre_x,
                                                            const double& centre_y, const double& angle,
                                                            const double& start_time,
                                                            const double& time_step); // 25
    virtual std::uint32_t remove_disturbance_grid(const std::uint32_t& id);                // 26
    virtual int add_boat_disturbance(const std::uint32_t& id, const HyBoatDisturbance_data& block); // 27
    virtual int delete_boat_disturbance(const std::uint32_t& id, const int& boat_id);      // 28
    virtual int change_boat_disturbance(const std::uint32_t& id, const int& boat_id,
                                        const HyBoatDisturbance_data& block);             // 29
    virtual int add_ripple_disturbance(const std::uint32_t& id, const HyRippleDisturbance_data& block); // 30
    virtual int delete_ripple_disturbance(const std::uint32_t& id, const int& ripple_id);  // 31
    virtual int change_ripple_disturbance(const std::uint32_t& id, const int& ripple_id,
                                          const HyRippleDisturbance_data& block);         // 32

    // Displacement grids (rotated additive auxiliary grid, periodic flag from the record).
    virtual std::uint32_t add_new_displacement_grid(const HyDisplacement_data& record);    // 33
    virtual int reallocate_displacement_grid(const std::uint32_t& id, const HyDisplacement_data& record); // 34
    virtual std::uint32_t reset_displacment_grid_parameters(const std::uint32_t& id, const double& centre_x,
                                                            const double& centre_y,
                                                            const double& angle); // 35
    virtual int remove_displacement_grid(const std::uint32_t& id);                         // 36

    // Reflecting lines: forwarded to the grid when one exists (else 0 / -1).
    virtual int add_reflecting_line(const double& x0, const double& y0, const double& angle);    // 37
    virtual int remove_reflecting_line(const double& x0, const double& y0, const double& angle); // 38
    virtual int clear_reflecting_lines();                                                    // 39

    virtual int evolve_to_time(const double& t);                                 // 40
    virtual int evolve_disturbance_to_time(const std::uint32_t& id, const double& t); // 41

    // Queries (no allocation; 0 / unchanged when no grid exists yet).
    virtual double get_height(const double& x, const double& y) const;           // 42
    virtual int get_slope(const double& x, const double& y, double& sx, double& sy) const; // 43
    virtual int get_slope_by_difference(const double& x, const double& y, const double& step_x,
                                        const double& step_y, double& sx, double& sy) const; // 44
    virtual int add_slope_to_normal(const double& x, const double& y, double& n_x, double& n_y,
                                    double& n_z) const;                          // 45
    virtual int add_difference_slope_to_normal(const double& x, const double& y, double& n_x, double& n_y,
                                               double& n_z, const double& step_x,
                                               const double& step_y) const;     // 46
    // 47: the position and attitude (a tilt, b pan, c roll) of an object of the given size riding
    // the sea at (x, y) with its centre z above the mean surface under it.
    virtual int float_on_surface(const double& x, const double& y, const double& z, const double& a,
                                 const double& b, const double& c, const double& size, double& out_x,
                                 double& out_y, double& out_z, double& out_a, double& out_b,
                                 double& out_c) const;
    virtual int write_sgi_height_and_slope(const char* path, const double& height_min, const double& height_max,
                                           const double& slope_min, const double& slope_max,
                                           const double& centre_x, const double& centre_y,
                                           const HySgiSampling& sampling) const; // 48
    virtual int write_sgi_height(const char* path, const double& value_min, const double& value_max,
                                 const double& centre_x, const double& centre_y, const int& count_x,
                                 const int& count_y, const double& spacing_x,
                                 const double& spacing_y) const; // 49

    // Fields, in declaration order.
    std::int32_t curvature = 0;
    double curvature_radius = 99999999.0;
    std::int32_t loop = 0;
    double loop_time = 99999999.0;
    HyGridMulti* grid = nullptr;                     // owned
    std::int32_t primary_allocated = 0;
    HyOceanSurfaceGridElement* large_primary = nullptr; // owned; bound to auxiliary grid 0
    HyOceanSurfaceGridElement* small_primary = nullptr; // owned; bound to the main grid
    HyOceanDisturbanceList disturbances;

private:
    // What an element's auxiliary grid looked like before a reallocation.
    struct HyAuxSnapshot {
        bool valid = false;
        int nx = 0, ny = 0;
        double dx = 0, dy = 0;
        int periodic = 0, type = 0, rotated = 0;
        double cos_r = 1, sin_r = 0, offset_x = 0, offset_y = 0;
    };
    // Re-dimensions the grid of `old` as `request` says (or makes a fresh one when `old` has lost its
    // grid, whose failure says `add_failed`, or `unable` when that is null); the grid's index, or -1
    // after the message with the old element still bound to a grid of its former size.
    int resize_element_grid(HyOcean_data* old, const HyAuxGridRequest& request, const char* bad_pointer,
                            const char* unable, const char* add_failed, HyAuxSnapshot& saved);
    // Undoes resize_element_grid after the new element could not be made.
    void restore_element_grid(HyOcean_data* old, int g, const HyAuxSnapshot& saved);
    // Element record with the surface's loop settings, the defaults otherwise.
    HyOcean_record base_record() const;
    // Builds both primary elements on the current grid; 1 on success. `where` prefixes messages.
    int create_primary_elements(const HyPrimaryWaves_data& record, bool reallocating);
    void delete_primary_elements();
    // The node for `id`, or null after printing "HyOceanSurface::<operation> invalid id ".
    HyOceanDisturbanceList::Node* node_for(std::uint32_t id, const char* operation) const;
    // Evolves one element to t and places its grid.
    void evolve_element(HyOcean_data* element, double t);
    // Moves an element's auxiliary grid to the element's position at time t.
    void place_element(HyOcean_data* element, double t);
    // Removes the auxiliary grid holding the element's array; 1/0.
    int remove_element_grid(HyOcean_data* element);

    // The steps every kind of list element shares. A null message makes that failure silent.
    // The element with this id as the kind an operation expects; null after
    // "HyOceanSurface::<operation> invalid id " when the id is unknown or of another kind.
    template <class E>
    E* element_of(std::uint32_t id, const char* operation) const;
    // Puts a freshly made element (null when it could not be made) bound to `array` in the list; its
    // id, or 0 with `array`'s grid removed again after the failure's message.
    std::uint32_t adopt_new_element(HyOcean_data* element, float* array, bool initialise, const char* not_created,
                                    const char* not_initialised, const char* not_listed);
    // Re-dimensions the element's grid as `request` says and swaps in `make(heights)`; 1, or 0 with
    // the former element still in place. `usable()` is asked only once the id is known good.
    template <class E, class Usable, class Make>
    int reallocate_element(std::uint32_t id, const char* operation, Usable usable, const HyAuxGridRequest& request,
                           Make make, bool initialise, const char* not_created, const char* not_initialised,
                           const char* add_failed = nullptr);
    template <class E>
    std::uint32_t remove_element(std::uint32_t id, const char* operation, const char* bad_grid, const char* bad_id);
    HyOceanSurfaceGridElement_swell* make_swell(const HySwell_data& record, float* array) const;
    HyOceanSurfaceGridElement_ripple* make_ripple(const HyRipple_record& record, float* array) const;
    HyOceanSurfaceGridElement_wake* make_wake(const HyWake_record& record, float* array) const;
    HyOceanSurfaceGridElement_disturbance* make_disturbance(const HyDisturbance_record& record, float* array) const;
    void place_displacement(HyOcean_data* element);
};
