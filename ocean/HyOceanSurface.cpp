#include "ocean/HyOceanSurface.h"

#include "platform/HyThreadPool.h"

#include <cmath>
#include <cstdio>
#include <cstring>

using hywave::report;

namespace {

void report_with_id(const char* text, std::uint32_t id)
{
    char line[160];
    std::snprintf(line, sizeof line, "%s%u", text, id);
    report(line);
}

bool positive_finite(double v) { return v > 0.0 && std::isfinite(v); }

// Largest lattice side the surface accepts: an 8192^2 lattice already takes 256 MB per array.
constexpr int kMaxLatticeSize = 8192;

bool primary_record_usable(const HyPrimaryWaves_data& r)
{
    return r.size >= 4 && r.size <= kMaxLatticeSize && (r.size % 2) == 0 && positive_finite(r.small_spacing) &&
           positive_finite(r.large_spacing);
}

} // namespace

// ------------------------------------------------------------------------------------------------
// HyOceanDisturbanceList

HyOceanDisturbanceList::~HyOceanDisturbanceList() { clear(); }

void HyOceanDisturbanceList::clear()
{
    Node* n = head;
    while (n) {
        Node* next = n->next;
        delete n->element;
        delete n;
        n = next;
    }
    head = tail = nullptr;
    count = 0;
}

std::uint32_t HyOceanDisturbanceList::add_node(HyOcean_data* element)
{
    Node* n = new Node;
    if (!n) {
        report("HyOceanDisturbanceList::add_node  unable to allocate node ");
        return 0;
    }
    n->id = ++last_id;
    n->element = element;
    n->previous = tail;
    if (tail)
        tail->next = n;
    else
        head = n;
    tail = n;
    ++count;
    return n->id;
}

HyOceanDisturbanceList::Node* HyOceanDisturbanceList::find(std::uint32_t id) const
{
    for (Node* n = head; n; n = n->next)
        if (n->id == id)
            return n;
    return nullptr;
}

int HyOceanDisturbanceList::remove_node(std::uint32_t id)
{
    Node* n = find(id);
    if (!n) {
        report_with_id("WARNING:  HyOceanDisturbanceList unable to find id ", id);
        return 0;
    }
    if (!n->previous && !n->next && count != 1) {
        report("corrupt element HyOceanDisturbanceList ");
        return 0;
    }
    if (n->previous)
        n->previous->next = n->next;
    else
        head = n->next;
    if (n->next)
        n->next->previous = n->previous;
    else
        tail = n->previous;
    delete n;
    --count;
    return 1;
}

// ------------------------------------------------------------------------------------------------
// Construction, settings, primary waves

HyOceanSurface::HyOceanSurface(const HySurface_data& settings)
    : curvature(settings.curvature), curvature_radius(settings.curvature_radius), loop(settings.loop),
      loop_time(settings.loop_time)
{
}

HyOceanSurface::~HyOceanSurface()
{
    // List elements go first: they only point into the grid's arrays.
    disturbances.clear();
    delete_primary_elements();
    delete grid;
    grid = nullptr;
}

HyOcean_record HyOceanSurface::base_record() const
{
    HyOcean_record r;
    r.loop = loop;
    r.loop_time = loop_time;
    return r;
}

int HyOceanSurface::set_surface_parameters(const HySurface_data& s)
{
    curvature = s.curvature;
    curvature_radius = s.curvature_radius;
    loop = s.loop;
    loop_time = s.loop_time;
    if (grid) {
        grid->curvature = curvature;
        grid->curvature_radius = curvature_radius;
    }
    auto apply = [this](HyOcean_data* e) {
        if (!e)
            return;
        if (loop == 1)
            e->set_loop_time(loop_time);
        else
            e->clear_loop();
    };
    if (primary_allocated) {
        apply(large_primary);
        apply(small_primary);
    }
    for (HyOceanDisturbanceList::Node* n = disturbances.head; n; n = n->next)
        apply(n->element);
    return 1;
}

int HyOceanSurface::get_grid(HyGridMulti*& out)
{
    out = grid;
    return grid ? 1 : 0;
}

void HyOceanSurface::delete_primary_elements()
{
    delete large_primary;
    delete small_primary;
    large_primary = nullptr;
    small_primary = nullptr;
    primary_allocated = 0;
}

int HyOceanSurface::create_primary_elements(const HyPrimaryWaves_data& p, bool reallocating)
{
    delete_primary_elements();
    const int n = p.size;
    HyOcean_record r = base_record();
    r.nx = r.ny = n;
    r.wind_speed = p.wind_speed;
    r.wind_direction = p.wind_direction;
    r.extra = p.extra;
    r.shortest_wavelength = p.shortest_wavelength;
    r.vertical_scale = p.vertical_scale;
    r.spectrum_type = 104;

    // Each lattice halves its spectrum where the other lattice also has waves, so that the two
    // halves add up to one full spectrum.
    r.dx = r.dy = p.small_spacing;
    r.heights = grid->heights;
    r.seed = p.small_seed;
    r.band_low = 1.0 / (n * p.large_spacing);
    r.band_high = 1.0 / (2.0 * p.large_spacing);
    small_primary = new HyOceanSurfaceGridElement(r);
    if (!small_primary || !small_primary->generate_kspace()) {
        delete_primary_elements();
        report(reallocating ? "HyOceanSurface::reallocate_primary_waves unable to initialize primary waves "
                            : " HyOceanSurface::allocate_primary_waves  unable to allocate small wave grid");
        return 0;
    }
    r.dx = r.dy = p.large_spacing;
    r.heights = grid->aux_array[0];
    r.seed = p.large_seed;
    r.band_low = 1.0 / (n * p.small_spacing);
    r.band_high = 1.0 / (2.0 * p.small_spacing);
    large_primary = new HyOceanSurfaceGridElement(r);
    if (!large_primary || !large_primary->generate_kspace()) {
        delete_primary_elements();
        report(reallocating ? "HyOceanSurface::reallocate_primary_waves unable to initialize primary waves "
                            : " HyOceanSurface::allocate_primary_waves unable to allocate primary wave grid");
        return 0;
    }
    primary_allocated = 1;
    return 1;
}

int HyOceanSurface::allocate_primary_waves(const HyPrimaryWaves_data& p)
{
    if (primary_allocated) {
        report(" HyOceanSurface::allocate_primary_waves  waves already allocated");
        return 0;
    }
    if (!primary_record_usable(p)) {
        report(" HyOceanSurface::allocate_primary_waves  lattice size must be even, 4 to 8192, and spacings "
               "positive");
        return 0;
    }
    const int n = p.size;
    if (grid && disturbances.count > 0) {
        // A grid kept by a failed reallocation still carries elements: size it again in place.
        const int ok = grid->reallocate(n, n, p.small_spacing, p.small_spacing) &&
                       grid->reallocate_aux_grid(0, n, n, p.large_spacing, p.large_spacing);
        if (!ok || !grid->heights || !grid->aux_array[0]) {
            report(" HyOceanSurface::allocate_primary_waves  wave grid allocation failed");
            return 0;
        }
    } else {
        delete grid;
        grid = new HyGridMulti(n, n, p.small_spacing, p.small_spacing, n, n, p.large_spacing, p.large_spacing);
        if (!grid || !grid->heights || grid->aux_count < 1 || !grid->aux_array[0]) {
            if (!grid)
                hywave::report_out_of_memory();
            report(" HyOceanSurface::allocate_primary_waves  wave grid allocation failed");
            delete grid;
            grid = nullptr;
            return 0;
        }
    }
    grid->wrap_x = grid->wrap_y = 1;
    grid->aux_periodic[0] = 1;
    grid->curvature = curvature;
    grid->curvature_radius = curvature_radius;
    if (!create_primary_elements(p, false)) {
        if (disturbances.count == 0) {
            delete grid;
            grid = nullptr;
        }
        return 0;
    }
    return primary_allocated;
}

int HyOceanSurface::reset_primary_wave_parameters(const double& direction, const double& speed,
                                                  const double& shortest_wavelength, const double& vertical_scale,
                                                  const double& extra)
{
    if (primary_allocated) {
        large_primary->set_wave_parameters(direction, speed, shortest_wavelength, vertical_scale, extra);
        small_primary->set_wave_parameters(direction, speed, shortest_wavelength, vertical_scale, extra);
    }
    return 1;
}

int HyOceanSurface::reallocate_primary_waves(const HyPrimaryWaves_data& p)
{
    if (!primary_allocated || !grid)
        return allocate_primary_waves(p);
    if (!primary_record_usable(p)) {
        report("HyOceanSurface::reallocate_primary_waves lattice size must be even, 4 to 8192, and spacings "
               "positive");
        return 0;
    }
    // The elements write into the arrays about to be replaced.
    delete_primary_elements();
    const int n = p.size;
    if (!grid->reallocate(n, n, p.small_spacing, p.small_spacing)) {
        report("HyOceanSurface::reallocate_primary_waves unable to allocate large grid ");
        return 0;
    }
    if (!grid->reallocate_aux_grid(0, n, n, p.large_spacing, p.large_spacing)) {
        report("HyOceanSurface::reallocate_primary_waves unable to allocate small grid ");
        return 0;
    }
    if (!grid->heights || !grid->aux_array[0]) {
        report(" HyOceanSurface::reallocate_primary_waves  wave grid allocation failed");
        return 0;
    }
    grid->wrap_x = grid->wrap_y = 1;
    grid->aux_periodic[0] = 1;
    grid->curvature = curvature;
    grid->curvature_radius = curvature_radius;
    return create_primary_elements(p, true);
}

int HyOceanSurface::deallocate_primary_waves()
{
    if (!primary_allocated && !grid)
        return 0;
    if (disturbances.count > 0) {
        // Their arrays go with the grid: the elements cannot outlive it.
        report("HyOceanSurface::deallocate_primary_waves removing the elements still on the surface ");
        disturbances.clear();
    }
    delete_primary_elements();
    delete grid;
    grid = nullptr;
    return 1;
}

// ------------------------------------------------------------------------------------------------
// List helpers

HyOceanDisturbanceList::Node* HyOceanSurface::node_for(std::uint32_t id, const char* operation) const
{
    HyOceanDisturbanceList::Node* n = disturbances.find(id);
    if (!n || !n->element) {
        char line[160];
        std::snprintf(line, sizeof line, "HyOceanSurface::%s invalid id ", operation);
        report(line);
        return nullptr;
    }
    return n;
}

namespace {

// The element of `node` as the class an operation expects; null (and the operation's invalid-id
// message) when the id belongs to another kind of element.
template <class T>
T* element_as(HyOceanDisturbanceList::Node* node, const char* operation)
{
    T* e = node ? dynamic_cast<T*>(node->element) : nullptr;
    if (node && !e) {
        char line[160];
        std::snprintf(line, sizeof line, "HyOceanSurface::%s invalid id ", operation);
        report(line);
    }
    return e;
}

} // namespace

int HyOceanSurface::remove_element_grid(HyOcean_data* element)
{
    // An element whose grid was lost in a failed reallocation has nothing left to remove.
    if (!element->get_height_array())
        return 1;
    if (!grid)
        return 0;
    return grid->remove_aux_grid(element->get_height_array());
}

int HyOceanSurface::get_bare_pointer(const std::uint32_t& id, HyOcean_data*& element)
{
    HyOceanDisturbanceList::Node* n = node_for(id, "get_bare_pointer");
    if (!n)
        return 0;
    element = n->element;
    return 1;
}

int HyOceanSurface::get_element_corners(const std::uint32_t& id, double& x0, double& y0, double& x1, double& y1,
                                        double& x2, double& y2, double& x3, double& y3)
{
    HyOcean_data* e = nullptr;
    if (!get_bare_pointer(id, e))
        return 0;
    e->get_corners(x0, y0, x1, y1, x2, y2, x3, y3);
    return 1;
}

// ------------------------------------------------------------------------------------------------
// Re-dimensioning an element's auxiliary grid

int HyOceanSurface::resize_element_grid(HyOcean_data* old, const HyAuxGridRequest& request, const char* bad_pointer,
                                        const char* unable, const char* add_failed, HyAuxSnapshot& saved)
{
    saved = HyAuxSnapshot();
    if (!grid) {
        report(bad_pointer);
        return -1;
    }
    if (!old->get_height_array()) {
        // The element lost its grid in an earlier failure: it gets a fresh one.
        float* a = grid->add_aux_grid(request);
        if (!a) {
            report(add_failed ? add_failed : unable);
            return -1;
        }
        return grid->find_aux_grid(a);
    }
    const int g = grid->find_aux_grid(old->get_height_array());
    if (g <= 0) {
        report(bad_pointer);
        return -1;
    }
    saved = {true,
             grid->aux_nx[g],
             grid->aux_ny[g],
             grid->aux_dx[g],
             grid->aux_dy[g],
             grid->aux_periodic[g],
             grid->aux_type[g],
             grid->aux_rotated[g],
             grid->aux_cos_r[g],
             grid->aux_sin_r[g],
             grid->aux_offset_x[g],
             grid->aux_offset_y[g]};
    if (!grid->reallocate_aux_grid(g, request.nx, request.ny, request.dx, request.dy)) {
        report(unable);
        restore_element_grid(old, g, saved);
        return -1;
    }
    // Reallocation leaves a periodic, additive, unrotated grid.
    grid->aux_periodic[g] = request.periodic;
    grid->aux_type[g] = request.type;
    if (request.rotated)
        grid->set_aux_rotation(g, request.angle);
    else
        grid->clear_aux_rotation(g);
    return g;
}

void HyOceanSurface::restore_element_grid(HyOcean_data* old, int g, const HyAuxSnapshot& saved)
{
    if (!saved.valid) {
        // A fresh grid made for an element that had lost its own: take it away again.
        if (g >= 0 && g < grid->aux_count)
            grid->remove_aux_grid(grid->aux_array[g]);
        old->set_height_array(nullptr);
        return;
    }
    // Put the former size back so that the old element carries on with its own state. Should even
    // that fail, the element stays in the list unbound (flat) until a later reallocation succeeds.
    if (grid->reallocate_aux_grid(g, saved.nx, saved.ny, saved.dx, saved.dy)) {
        grid->aux_periodic[g] = saved.periodic;
        grid->aux_type[g] = saved.type;
        grid->aux_rotated[g] = saved.rotated;
        grid->aux_cos_r[g] = saved.cos_r;
        grid->aux_sin_r[g] = saved.sin_r;
        grid->aux_offset_x[g] = saved.offset_x;
        grid->aux_offset_y[g] = saved.offset_y;
        old->set_height_array(grid->aux_array[g]);
    } else {
        old->set_height_array(nullptr);
    }
}

// ------------------------------------------------------------------------------------------------
// The add / reallocate / remove steps every kind of list element shares

namespace {

void report_if(const char* text)
{
    if (text)
        report(text);
}

} // namespace

template <class E>
E* HyOceanSurface::element_of(std::uint32_t id, const char* operation) const
{
    return element_as<E>(node_for(id, operation), operation);
}

std::uint32_t HyOceanSurface::adopt_new_element(HyOcean_data* e, float* array, bool initialise,
                                                const char* not_created, const char* not_initialised,
                                                const char* not_listed)
{
    if (!e) {
        report_if(not_created);
        grid->remove_aux_grid(array);
        return 0;
    }
    if (initialise && !e->generate_kspace()) {
        report_if(not_initialised);
        grid->remove_aux_grid(array);
        delete e;
        return 0;
    }
    const std::uint32_t id = disturbances.add_node(e);
    if (!id) {
        report_if(not_listed);
        grid->remove_aux_grid(array);
        delete e;
        return 0;
    }
    return id;
}

// The old element is deleted only once its successor is built and initialised: a reallocation that
// fails for want of memory leaves the sea as it was instead of a hole where the element was.
template <class E, class Usable, class Make>
int HyOceanSurface::reallocate_element(std::uint32_t id, const char* operation, Usable usable,
                                       const HyAuxGridRequest& request, Make make, bool initialise,
                                       const char* not_created, const char* not_initialised,
                                       const char* add_failed)
{
    HyOceanDisturbanceList::Node* n = node_for(id, operation);
    auto* old = element_as<E>(n, operation);
    if (!old)
        return 0;
    char bad_pointer[160], unable[160];
    std::snprintf(bad_pointer, sizeof bad_pointer, "HyOceanSurface::%s bad grid pointer, unable to reallocate grid ",
                  operation);
    std::snprintf(unable, sizeof unable, "HyOceanSurface::%s unable to reallocate grid ", operation);
    if (!usable()) {
        report(bad_pointer);
        return 0;
    }
    HyAuxSnapshot saved;
    const int g = resize_element_grid(old, request, bad_pointer, unable, add_failed, saved);
    if (g < 0)
        return 0;
    E* e = make(grid->aux_array[g]);
    if (!e) {
        report_if(not_created);
        restore_element_grid(old, g, saved);
        return 0;
    }
    if (initialise && !e->generate_kspace()) {
        report_if(not_initialised);
        delete e;
        restore_element_grid(old, g, saved);
        return 0;
    }
    delete old;
    n->element = e;
    return 1;
}

template <class E>
std::uint32_t HyOceanSurface::remove_element(std::uint32_t id, const char* operation, const char* bad_grid,
                                             const char* bad_id)
{
    auto* e = element_of<E>(id, operation);
    if (!e)
        return 0;
    if (!remove_element_grid(e)) {
        report_if(bad_grid);
        return 0;
    }
    delete e;
    if (!disturbances.remove_node(id))
        report_if(bad_id);
    return id;
}

// ------------------------------------------------------------------------------------------------
// Swells

namespace {

HyAuxGridRequest swell_request(const HySwell_data& s)
{
    HyAuxGridRequest q;
    q.nx = q.ny = s.size;
    q.dx = q.dy = s.spacing;
    q.periodic = 1;
    q.type = kHyAuxAdditive;
    q.rotated = 0;
    return q;
}

} // namespace

HyOceanSurfaceGridElement_swell* HyOceanSurface::make_swell(const HySwell_data& s, float* array) const
{
    HyOcean_record r = base_record();
    r.nx = r.ny = s.size;
    r.dx = r.dy = s.spacing;
    r.heights = array;
    r.seed = s.seed;
    return new HyOceanSurfaceGridElement_swell(r, s);
}

std::uint32_t HyOceanSurface::add_new_swell(const HySwell_data& s)
{
    float* array = nullptr;
    if (grid && hywave::lattice_usable("HyOceanSurface::add_new_swell", s.size, s.size, s.spacing, s.spacing))
        array = grid->add_aux_grid(swell_request(s));
    if (!array) {
        report("HyOceanSurface::add_new_swell  unable to add new grid ");
        return 0;
    }
    return adopt_new_element(make_swell(s, array), array, true,
                             "HyOceanSurface::add_new_swell unable to create new swell ",
                             "HyOceanSurface::add_new_swell unable to initialize new swell ",
                             "HyOceanSurface::add_new_swell unable to add swell to disturbance list ");
}

std::uint32_t HyOceanSurface::reset_swell_parameters(const std::uint32_t& id, const double& height,
                                                     const double& length, const double& roughness,
                                                     const double& oscillations, const double& direction,
                                                     const double& vertical_scale)
{
    auto* e = element_of<HyOceanSurfaceGridElement_swell>(id, "reset_swell_parameters");
    if (!e)
        return 0;
    e->set_wave_parameters(height, length, roughness, oscillations, direction, vertical_scale);
    return id;
}

int HyOceanSurface::reallocate_swell(const std::uint32_t& id, const HySwell_data& s)
{
    return reallocate_element<HyOceanSurfaceGridElement_swell>(
        id, "reallocate_swell",
        [&] { return hywave::lattice_usable("HyOceanSurface::reallocate_swell", s.size, s.size, s.spacing, s.spacing); },
        swell_request(s), [&](float* array) { return make_swell(s, array); }, true,
        "HyOceanSurface::reallocate_swell unable to re-create swell ",
        "HyOceanSurface::reallocate_swell unable to re-initialize swell ");
}

std::uint32_t HyOceanSurface::remove_swell(const std::uint32_t& id)
{
    return remove_element<HyOceanSurfaceGridElement_swell>(
        id, "remove_swell", "HyOceanSurface::remove_swell bad grid pointer, unable to delete swell grid ",
        "HyOceanSurface::remove_swell bad id, unable to remove swell node ");
}

// ------------------------------------------------------------------------------------------------
// Ripples

namespace {

bool ripple_usable(const HyRipple_record& record)
{
    return record.nx >= 2 && record.nx <= (1 << 20) && positive_finite(record.dx);
}

HyAuxGridRequest ripple_request(const HyRipple_record& record)
{
    HyAuxGridRequest q;
    q.nx = record.nx;
    q.ny = 1;
    q.dx = q.dy = record.dx;
    q.periodic = 0;
    q.type = kHyAuxAdditiveRadial;
    return q;
}

} // namespace

HyOceanSurfaceGridElement_ripple* HyOceanSurface::make_ripple(const HyRipple_record& record, float* array) const
{
    HyRipple_record r = record;
    r.ny = 1;
    r.heights = array;
    r.loop = loop;
    r.loop_time = loop_time;
    return new HyOceanSurfaceGridElement_ripple(r);
}

std::uint32_t HyOceanSurface::add_new_ripple(const HyRipple_record& record)
{
    float* array = nullptr;
    if (grid && ripple_usable(record))
        array = grid->add_aux_grid(ripple_request(record));
    if (!array) {
        report("HyOceanSurface::add_new_ripple  unable to add new grid ");
        return 0;
    }
    return adopt_new_element(make_ripple(record, array), array, true,
                             "HyOceanSurface::add_new_ripple unable to create new ripple ",
                             "HyOceanSurface::add_new_ripple unable to initialize new ripple ",
                             "HyOceanSurface::add_new_ripple unable to add ripple to disturbance list ");
}

std::uint32_t HyOceanSurface::reset_ripple_parameters(const std::uint32_t& id, const double& centre_x,
                                                      const double& centre_y, const double& start_time,
                                                      const double& time_scale, const double& amplitude_scale)
{
    auto* e = element_of<HyOceanSurfaceGridElement_ripple>(id, "reset_ripple_parameters");
    if (!e)
        return 0;
    e->set_ripple_parameters(start_time, centre_x, centre_y, time_scale, amplitude_scale);
    return id;
}

int HyOceanSurface::reallocate_ripple(const std::uint32_t& id, const HyRipple_record& record)
{
    return reallocate_element<HyOceanSurfaceGridElement_ripple>(
        id, "reallocate_ripple", [&] { return ripple_usable(record); }, ripple_request(record),
        [&](float* array) { return make_ripple(record, array); }, true,
        "HyOceanSurface::reallocate_new_ripple unable to create new ripple ",
        "HyOceanSurface::reallocate_new_ripple unable to initialize new ripple ");
}

std::uint32_t HyOceanSurface::remove_ripple(const std::uint32_t& id)
{
    return remove_element<HyOceanSurfaceGridElement_ripple>(
        id, "remove_ripple", "HyOceanSurface::remove_ripple bad grid pointer, unable to delete ripple grid ",
        "HyOceanSurface::remove_ripple bad id, unable to remove ripple node ");
}

// ------------------------------------------------------------------------------------------------
// Wakes

namespace {

bool patch_usable(int nx, int ny, double dx, double dy)
{
    return nx >= 2 && ny >= 2 && nx <= kMaxLatticeSize && ny <= kMaxLatticeSize && positive_finite(dx) &&
           positive_finite(dy);
}

// A rotated additive patch that follows its element (wakes, disturbance and displacement grids).
HyAuxGridRequest patch_request(int nx, int ny, double dx, double dy, int periodic, double angle)
{
    HyAuxGridRequest q;
    q.nx = nx;
    q.ny = ny;
    q.dx = dx;
    q.dy = dy;
    q.periodic = periodic;
    q.type = kHyAuxAdditive;
    q.rotated = 1;
    q.angle = std::isfinite(angle) ? angle : 0.0;
    return q;
}

} // namespace

HyOceanSurfaceGridElement_wake* HyOceanSurface::make_wake(const HyWake_record& record, float* array) const
{
    HyWake_record r = record;
    r.heights = array;
    r.loop = loop;
    r.loop_time = loop_time;
    std::strcpy(r.hull_file, "null.dat");
    return new HyOceanSurfaceGridElement_wake(r);
}

std::uint32_t HyOceanSurface::add_new_wake(const HyWake_record& record)
{
    float* array = nullptr;
    if (grid && patch_usable(record.nx, record.ny, record.dx, record.dy))
        array = grid->add_aux_grid(patch_request(record.nx, record.ny, record.dx, record.dy, 0, record.heading));
    if (!array) {
        report("HyOceanSurface::add_new_wake  unable to add new grid ");
        return 0;
    }
    return adopt_new_element(make_wake(record, array), array, true,
                             "HyOceanSurface::add_new_wake unable to create new wake ", nullptr,
                             "HyOceanSurface::add_new_wake unable to add wake to disturbance list ");
}

std::uint32_t HyOceanSurface::reset_wake_parameters(const std::uint32_t& id, const double& depth,
                                                    const double& heading, const double& ship_x,
                                                    const double& ship_y, const double& reference_time)
{
    auto* e = element_of<HyOceanSurfaceGridElement_wake>(id, "reset_wake_parameters");
    if (!e)
        return 0;
    e->set_wake_motion(depth, heading, ship_x, ship_y, reference_time);
    const double angle = std::isfinite(heading) ? heading : 0.0;
    if (e->get_height_array() && grid && grid->set_aux_orientation(e->get_height_array(), angle) == -1)
        report("HyOceanSurface::reset_wake_parameters unable to set orientatin ");
    return id;
}

std::uint32_t HyOceanSurface::reset_wake_parameters(const std::uint32_t& id, const int& soft_limit,
                                                    const double& soft_limit_scale, const int& fade,
                                                    const double& fade_length, const double& fade_power)
{
    auto* e = element_of<HyOceanSurfaceGridElement_wake>(id, "reset_wake_parameters");
    if (!e)
        return 0;
    e->set_soft_limit(soft_limit);
    e->set_soft_limit_scale(soft_limit_scale);
    e->set_fade(fade);
    e->set_fade_shape(fade_length, fade_power);
    return id;
}

int HyOceanSurface::reallocate_wake(const std::uint32_t& id, const HyWake_record& record)
{
    return reallocate_element<HyOceanSurfaceGridElement_wake>(
        id, "reallocate_wake", [&] { return patch_usable(record.nx, record.ny, record.dx, record.dy); },
        patch_request(record.nx, record.ny, record.dx, record.dy, 0, record.heading),
        [&](float* array) { return make_wake(record, array); }, true,
        "HyOceanSurface::reallocate_new_wake unable to create new wake ", nullptr);
}

std::uint32_t HyOceanSurface::remove_wake(const std::uint32_t& id)
{
    return remove_element<HyOceanSurfaceGridElement_wake>(
        id, "remove_wake", "HyOceanSurface::remove_wake bad grid pointer, unable to delete wake grid ",
        "HyOceanSurface::remove_wake bad id, unable to remove wake node ");
}

int HyOceanSurface::get_wake_front_and_back(const std::uint32_t& id, double& front_x, double& front_y,
                                            double& back_x, double& back_y, const double& t)
{
    auto* e = element_of<HyOceanSurfaceGridElement_wake>(id, "get_wake_front_and_back");
    if (!e)
        return 0;
    e->get_wake_front_and_back(front_x, front_y, back_x, back_y, t);
    return 1;
}

// ------------------------------------------------------------------------------------------------
// Disturbance grids

HyOceanSurfaceGridElement_disturbance* HyOceanSurface::make_disturbance(const HyDisturbance_record& record,
                                                                        float* array) const
{
    HyDisturbance_record r = record;
    r.heights = array;
    r.loop = loop;
    r.loop_time = loop_time;
    return new HyOceanSurfaceGridElement_disturbance(r);
}

std::uint32_t HyOceanSurface::add_new_disturbance_grid(const HyDisturbance_record& record)
{
    if (!grid || !patch_usable(record.nx, record.ny, record.dx, record.dy))
        return 0;
    float* array = grid->add_aux_grid(patch_request(record.nx, record.ny, record.dx, record.dy, 0, record.angle));
    if (!array)
        return 0;
    return adopt_new_element(
        make_disturbance(record, array), array, true,
        "HyOceanSurface::add_new_disturbance_grid unable to create new disturbance grid ",
        "HyOceanSurface::add_new_disturbance unable to initialize new disturbance grid ",
        "HyOceanSurface::add_new_disturbance_grid unable to add disturbance grid to disturbance list ");
}

int HyOceanSurface::reallocate_disturbance_grid(const std::uint32_t& id, const HyDisturbance_record& record)
{
    return reallocate_element<HyOceanSurfaceGridElement_disturbance>(
        id, "reallocate_disturbance_grid", [&] { return patch_usable(record.nx, record.ny, record.dx, record.dy); },
        patch_request(record.nx, record.ny, record.dx, record.dy, 0, record.angle),
        [&](float* array) { return make_disturbance(record, array); }, true,
        "HyOceanSurface::reallocate_disturbance_grid unable to create new disturbance grid ",
        "HyOceanSurface::reallocate_disturbance unable to initialize new disturbance grid ",
        "HyOceanSurface::reallocate_disturbance_grid  unable to add new grid ");
}

std::uint32_t HyOceanSurface::reset_disturbance_grid_parameters(const std::uint32_t& id, const double& centre_x,
                                                                const double& centre_y, const double& angle,
                                                                const double& start_time, const double& time_step)
{
    auto* e = element_of<HyOceanSurfaceGridElement_disturbance>(id, "reset_disturbance_grid_parameters");
    if (!e)
        return 0;
    e->set_placement(centre_x, centre_y, angle, start_time, time_step);
    const double a = std::isfinite(angle) ? angle : 0.0;
    if (e->get_height_array() && grid && grid->set_aux_orientation(e->get_height_array(), a) == -1)
        report("HyOceanSurface::reset_disturbance_grid_parameters unable to set orientation ");
    return id;
}

std::uint32_t HyOceanSurface::remove_disturbance_grid(const std::uint32_t& id)
{
    return remove_element<HyOceanSurfaceGridElement_disturbance>(
        id, "remove_disturbance_grid",
        "HyOceanSurface::remove_disturbance_grid bad grid pointer, unable to delete disturbance grid ",
        "HyOceanSurface::remove_disturbance_grid bad id, unable to remove grid node ");
}

int HyOceanSurface::add_boat_disturbance(const std::uint32_t& id, const HyBoatDisturbance_data& block)
{
    auto* e = element_of<HyOceanSurfaceGridElement_disturbance>(id, "add_boat_disturbance");
    return e ? e->add_boat_disturbance(block) : 0;
}

int HyOceanSurface::delete_boat_disturbance(const std::uint32_t& id, const int& boat_id)
{
    auto* e = element_of<HyOceanSurfaceGridElement_disturbance>(id, "delete_boat_disturbance");
    return e ? e->delete_boat_disturbance(boat_id) : 0;
}

int HyOceanSurface::change_boat_disturbance(const std::uint32_t& id, const int& boat_id,
                                            const HyBoatDisturbance_data& block)
{
    auto* e = element_of<HyOceanSurfaceGridElement_disturbance>(id, "change_boat_disturbance");
    return e ? e->change_boat_disturbance(boat_id, block) : 0;
}

int HyOceanSurface::add_ripple_disturbance(const std::uint32_t& id, const HyRippleDisturbance_data& block)
{
    auto* e = element_of<HyOceanSurfaceGridElement_disturbance>(id, "add_ripple_disturbance");
    return e ? e->add_ripple_disturbance(block) : 0;
}

int HyOceanSurface::delete_ripple_disturbance(const std::uint32_t& id, const int& ripple_id)
{
    auto* e = element_of<HyOceanSurfaceGridElement_disturbance>(id, "delete_ripple_disturbance");
    return e ? e->delete_ripple_disturbance(ripple_id) : 0;
}

int HyOceanSurface::change_ripple_disturbance(const std::uint32_t& id, const int& ripple_id,
                                              const HyRippleDisturbance_data& block)
{
    auto* e = element_of<HyOceanSurfaceGridElement_disturbance>(id, "change_ripple_disturbance");
    return e ? e->change_ripple_disturbance(ripple_id, block) : 0;
}

// ------------------------------------------------------------------------------------------------
// Displacement grids

namespace {

HyOcean_record displacement_record(HyOcean_record r, const HyDisplacement_data& d, float* array)
{
    r.nx = d.nx;
    r.ny = d.ny;
    r.dx = d.dx;
    r.dy = d.dy;
    r.heights = array;
    r.params[0] = d.centre_x;
    r.params[1] = d.centre_y;
    r.params[2] = d.angle;
    return r;
}

bool displacement_usable(const HyDisplacement_data& d)
{
    return patch_usable(d.nx, d.ny, d.dx, d.dy) && std::isfinite(d.centre_x) && std::isfinite(d.centre_y) &&
           std::isfinite(d.angle);
}

HyAuxGridRequest displacement_request(const HyDisplacement_data& d)
{
    return patch_request(d.nx, d.ny, d.dx, d.dy, d.periodic ? 1 : 0, d.angle);
}

} // namespace

// Places the grid where its element says, so that the array the caller fills is where it belongs
// before the next evolution.
void HyOceanSurface::place_displacement(HyOcean_data* e)
{
    double x = 0, y = 0;
    e->get_position(0.0, x, y);
    grid->set_aux_position(e->get_height_array(), x, y);
}

std::uint32_t HyOceanSurface::add_new_displacement_grid(const HyDisplacement_data& d)
{
    if (!grid || !displacement_usable(d))
        return 0;
    float* array = grid->add_aux_grid(displacement_request(d));
    if (!array)
        return 0;
    auto* e = new HyOceanSurfaceGridElement_displacement(displacement_record(base_record(), d, array));
    const std::uint32_t id = adopt_new_element(
        e, array, false, "HyOceanSurface::add_new_displacement_grid unable to create new displacement grid ",
        nullptr, nullptr);
    if (id)
        place_displacement(e);
    return id;
}

int HyOceanSurface::reallocate_displacement_grid(const std::uint32_t& id, const HyDisplacement_data& d)
{
    const int done = reallocate_element<HyOceanSurfaceGridElement_displacement>(
        id, "reallocate_displacement_grid", [&] { return displacement_usable(d); }, displacement_request(d),
        [&](float* array) {
            return new HyOceanSurfaceGridElement_displacement(displacement_record(base_record(), d, array));
        },
        false, nullptr, nullptr, "HyOceanSurface::reallocate_displacement_grid  unable to add new grid ");
    if (done)
        place_displacement(disturbances.find(id)->element);
    return done;
}

std::uint32_t HyOceanSurface::reset_displacment_grid_parameters(const std::uint32_t& id, const double& centre_x,
                                                                const double& centre_y, const double& angle)
{
    auto* e = element_of<HyOceanSurfaceGridElement_displacement>(id, "reset_displacment_grid_parameters");
    if (!e)
        return 0;
    if (!std::isfinite(centre_x) || !std::isfinite(centre_y) || !std::isfinite(angle))
        return id; // keep the last good placement
    e->set_placement(centre_x, centre_y, angle);
    // The offsets assume the grid turned by the same angle.
    if (grid && e->get_height_array()) {
        grid->set_aux_orientation(e->get_height_array(), angle);
        place_displacement(e);
    }
    return id;
}

int HyOceanSurface::remove_displacement_grid(const std::uint32_t& id)
{
    return static_cast<int>(
        remove_element<HyOceanSurfaceGridElement_displacement>(id, "remove_displacement_grid", nullptr, nullptr));
}

// ------------------------------------------------------------------------------------------------
// Reflecting lines

int HyOceanSurface::add_reflecting_line(const double& x0, const double& y0, const double& angle)
{
    return grid ? grid->add_reflecting_line(x0, y0, angle) : -1;
}

int HyOceanSurface::remove_reflecting_line(const double& x0, const double& y0, const double& angle)
{
    if (!grid)
        return 0;
    grid->remove_reflecting_line(x0, y0, angle);
    return 1;
}

int HyOceanSurface::clear_reflecting_lines()
{
    if (!grid)
        return 0;
    grid->clear_reflecting_lines();
    return 1;
}

// ------------------------------------------------------------------------------------------------
// Evolution

void HyOceanSurface::evolve_element(HyOcean_data* e, double t)
{
    e->evolve_to_time(t);
    e->transform_to_heights();
    place_element(e, t);
}

void HyOceanSurface::place_element(HyOcean_data* e, double t)
{
    double x = 0.0, y = 0.0;
    e->get_position(t, x, y);
    if (grid && e->get_height_array())
        grid->set_aux_position(e->get_height_array(), x, y);
}

int HyOceanSurface::evolve_to_time(const double& t)
{
    // Every element writes only its own array and spectral state, so the elements evolve side by
    // side: index 0 and 1 are the large and small primary lattices, then the list in order. Grid
    // positions are set afterwards, on this thread, because they change the shared grid.
    const int primaries = primary_allocated ? 2 : 0;
    const std::int64_t count = primaries + disturbances.count;
    hyplat::parallel_for(count, 1, [&](std::int64_t begin, std::int64_t end) {
        for (std::int64_t k = begin; k < end; ++k) {
            HyOcean_data* e = nullptr;
            if (k < primaries) {
                e = k == 0 ? static_cast<HyOcean_data*>(large_primary) : small_primary;
            } else {
                HyOceanDisturbanceList::Node* n = disturbances.head;
                for (std::int64_t skip = k - primaries; n && skip > 0; --skip)
                    n = n->next;
                e = n ? n->element : nullptr;
            }
            if (e) {
                e->evolve_to_time(t);
                e->transform_to_heights();
            }
        }
    });
    for (HyOceanDisturbanceList::Node* n = disturbances.head; n; n = n->next)
        if (n->element)
            place_element(n->element, t);
    return 1;
}

int HyOceanSurface::evolve_disturbance_to_time(const std::uint32_t& id, const double& t)
{
    HyOceanDisturbanceList::Node* n = node_for(id, "evolve_disturbance_to_time");
    if (!n)
        return 0;
    evolve_element(n->element, t);
    return 1;
}

// ------------------------------------------------------------------------------------------------
// Queries

double HyOceanSurface::get_height(const double& x, const double& y) const
{
    return grid ? grid->get_height(x, y, 0) : 0.0;
}

int HyOceanSurface::get_slope(const double& x, const double& y, double& sx, double& sy) const
{
    if (!grid)
        return 0;
    grid->get_slope(x, y, sx, sy, 0);
    return 1;
}

int HyOceanSurface::get_slope_by_difference(const double& x, const double& y, const double& step_x,
                                            const double& step_y, double& sx, double& sy) const
{
    if (!grid)
        return 0;
    grid->get_slope_by_difference(x, y, step_x, step_y, sx, sy);
    return 1;
}

int HyOceanSurface::add_slope_to_normal(const double& x, const double& y, double& n_x, double& n_y,
                                        double& n_z) const
{
    if (!grid)
        return 0;
    grid->add_slope_to_normal(x, y, n_x, n_y, n_z);
    return 1;
}

int HyOceanSurface::add_difference_slope_to_normal(const double& x, const double& y, double& n_x, double& n_y,
                                                   double& n_z, const double& step_x, const double& step_y) const
{
    if (!grid)
        return 0;
    grid->add_difference_slope_to_normal(x, y, n_x, n_y, n_z, step_x, step_y);
    return 1;
}

int HyOceanSurface::float_on_surface(const double& x, const double& y, const double& z, const double& a,
                                     const double& b, const double& c, const double& size, double& out_x,
                                     double& out_y, double& out_z, double& out_a, double& out_b,
                                     double& out_c) const
{
    // Least-squares plane through 101 x 101 heights under the object.
    const double s = std::isfinite(size) ? size / 100.0 : 0.0;
    double sum_x = 0.0, sum_y = 0.0, sq_x = 0.0, sq_y = 0.0, sum_h = 0.0;
    for (int i = -50; i <= 50; ++i) {
        for (int j = -50; j <= 50; ++j) {
            const double px = x + i * s, py = y + j * s;
            const double h = get_height(px, py);
            sum_x += i * s * h;
            sum_y += j * s * h;
            sq_x += (i * s) * (i * s);
            sq_y += (j * s) * (j * s);
            sum_h += h;
        }
    }
    // An object of no size (or a size that is not a number) takes the height under it, level.
    const double slope_x = sq_x > 0.0 && std::isfinite(sq_x) ? sum_x / sq_x : 0.0;
    const double slope_y = sq_y > 0.0 && std::isfinite(sq_y) ? sum_y / sq_y : 0.0;
    out_x = x + slope_x * z;
    out_y = y + slope_y * z;
    out_z = sum_h / (101.0 * 101.0) + z;
    out_a = a - std::atan(slope_x);
    out_b = b;
    out_c = c + std::atan(slope_y);
    return 1;
}

int HyOceanSurface::write_sgi_height_and_slope(const char* path, const double& height_min, const double& height_max,
                                               const double& slope_min, const double& slope_max,
                                               const double& centre_x, const double& centre_y,
                                               const HySgiSampling& sampling) const
{
    if (!grid)
        return 0;
    return grid->write_sgi_height_and_slope(path, height_min, height_max, slope_min, slope_max, centre_x, centre_y,
                                            sampling);
}

int HyOceanSurface::write_sgi_height(const char* path, const double& value_min, const double& value_max,
                                     const double& centre_x, const double& centre_y, const int& count_x,
                                     const int& count_y, const double& spacing_x, const double& spacing_y) const
{
    if (!grid)
        return 0;
    return grid->write_sgi_height(path, value_min, value_max, centre_x, centre_y, count_x, count_y, spacing_x,
                                  spacing_y);
}
