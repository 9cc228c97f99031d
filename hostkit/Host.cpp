#include "hostkit/Host.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>
#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "hostkit/Fixed.h"

namespace hostkit {

// One entry call in progress. It lives on the stack of Host::call; the plug-in only ever sees an
// opaque effect reference (a serial number), so a reference kept beyond the call is detected as
// stale instead of pointing into a dead stack frame.
struct Host::Frame {
    Host* host = nullptr;
    PF_Cmd cmd = 0;
    std::uint64_t serial = 0;
    PF_InData in{};
    PF_OutData out{};
    PF_UtilCallbacks utils{};
    SPBasicSuite broker{};
    std::vector<PF_ParamDef> defs;
    std::vector<PF_ParamDef*> ptrs;
    std::map<std::pair<std::string, A_long>, int> open_suites;
    std::vector<const PF_ParamDef*> open_checkouts;
};

namespace {

// Effect references handed to the plug-in: a recognisable base plus the call's serial number.
constexpr std::uintptr_t kRefBase = 0x5EA0000000ull;

std::mutex g_mutex; // guards every process-wide table below
std::unordered_map<std::uint64_t, Host::Frame*> g_frames;
std::uint64_t g_next_serial = 1;
std::vector<std::string> g_orphans;

struct HandleRecord {
    void* data = nullptr; // first member: a PF_Handle points here, so *handle is the block
    A_u_longlong size = 0;
    int locks = 0;
};
std::unordered_map<PF_Handle, std::unique_ptr<HandleRecord>> g_handles;

thread_local Host::Frame* t_frame = nullptr;

PF_ProgPtr make_ref(std::uint64_t serial)
{
    return reinterpret_cast<PF_ProgPtr>(kRefBase + std::uintptr_t(serial));
}

// A handle's block is filled with this byte, so a plug-in that relies on zeroed host memory shows.
constexpr unsigned char kFreshHandleByte = 0xCD;

// Large blocks: a frame's planes. They go on huge pages where the system offers them (a few page
// faults instead of thousands, which on a virtual machine is a good part of a frame's time), and a
// freed one is kept for the next frame of the same size, as a host's memory manager does, so a
// sequence does not have the system clear its planes again for every frame.
class BlockCache {
public:
    static constexpr std::size_t kHugePage = std::size_t(2) << 20;
    static constexpr std::size_t kLarge = 2 * kHugePage;
    static constexpr std::size_t kMaxKept = 32;
    static constexpr std::size_t kMaxKeptBytes = std::size_t(1) << 30;

    void* take(std::size_t size)
    {
#if defined(__linux__)
        if (size < kLarge)
            return std::malloc(size);
        const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::size_t i = 0; i < kept_.size(); ++i) {
            if (kept_[i].capacity != rounded)
                continue;
            void* p = kept_[i].data;
            kept_bytes_ -= rounded;
            kept_[i] = kept_.back();
            kept_.pop_back();
            live_[p] = rounded;
            return p;
        }
        void* p = std::aligned_alloc(kHugePage, rounded);
        if (p) {
            madvise(p, rounded, MADV_HUGEPAGE);
            live_[p] = rounded;
        }
        return p;
#else
        return std::malloc(size);
#endif
    }

    void give(void* data)
    {
        if (!data)
            return;
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = live_.find(data);
        if (it != live_.end()) {
            const std::size_t capacity = it->second;
            live_.erase(it);
            if (kept_.size() < kMaxKept && kept_bytes_ + capacity <= kMaxKeptBytes) {
                kept_.push_back(Block{data, capacity});
                kept_bytes_ += capacity;
                return;
            }
        }
        std::free(data);
    }

    // The block is about to be reallocated: it stops being one of ours.
    void forget(void* data)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        live_.erase(data);
    }

private:
    struct Block {
        void* data;
        std::size_t capacity;
    };
    std::mutex mutex_;
    std::unordered_map<void*, std::size_t> live_;
    std::vector<Block> kept_;
    std::size_t kept_bytes_ = 0;
};

BlockCache& block_cache()
{
    static BlockCache* cache = new BlockCache; // never destroyed: blocks may still be freed at exit
    return *cache;
}

// Larger requests are refused as "no memory" rather than attempted.
constexpr A_u_longlong kMaxHandleBytes = A_u_longlong(1) << 34;

bool terminated(const char* text, std::size_t capacity)
{
    return std::memchr(text, 0, capacity) != nullptr;
}

std::string fixed_text(PF_Fixed v)
{
    return format_fixed(v);
}

std::string quote_free_name(const char* name)
{
    return std::string("\"") + name + "\"";
}

} // namespace

// ---- Names ----------------------------------------------------------------------------------

std::string command_name(PF_Cmd cmd)
{
    static const char* const names[] = {"PF_Cmd_ABOUT",
                                        "PF_Cmd_GLOBAL_SETUP",
                                        "PF_Cmd_UNUSED_0",
                                        "PF_Cmd_GLOBAL_SETDOWN",
                                        "PF_Cmd_PARAMS_SETUP",
                                        "PF_Cmd_SEQUENCE_SETUP",
                                        "PF_Cmd_SEQUENCE_RESETUP",
                                        "PF_Cmd_SEQUENCE_FLATTEN",
                                        "PF_Cmd_SEQUENCE_SETDOWN",
                                        "PF_Cmd_DO_DIALOG",
                                        "PF_Cmd_FRAME_SETUP",
                                        "PF_Cmd_RENDER",
                                        "PF_Cmd_FRAME_SETDOWN",
                                        "PF_Cmd_USER_CHANGED_PARAM",
                                        "PF_Cmd_UPDATE_PARAMS_UI",
                                        "PF_Cmd_EVENT",
                                        "PF_Cmd_GET_EXTERNAL_DEPENDENCIES",
                                        "PF_Cmd_COMPLETELY_GENERAL",
                                        "PF_Cmd_QUERY_DYNAMIC_FLAGS"};
    if (cmd >= 0 && cmd < A_long(sizeof names / sizeof names[0]))
        return names[cmd];
    return "command " + std::to_string(cmd);
}

std::string param_type_name(PF_ParamType type)
{
    switch (type) {
    case PF_Param_LAYER: return "layer";
    case PF_Param_SLIDER: return "slider";
    case PF_Param_FIX_SLIDER: return "fix_slider";
    case PF_Param_ANGLE: return "angle";
    case PF_Param_CHECKBOX: return "checkbox";
    case PF_Param_COLOR: return "color";
    case PF_Param_POINT: return "point";
    case PF_Param_POPUP: return "popup";
    case PF_Param_CUSTOM: return "custom";
    case PF_Param_NO_DATA: return "no_data";
    case PF_Param_FLOAT_SLIDER: return "float_slider";
    case PF_Param_ARBITRARY_DATA: return "arbitrary_data";
    case PF_Param_PATH: return "path";
    case PF_Param_GROUP_START: return "group_start";
    case PF_Param_GROUP_END: return "group_end";
    case PF_Param_BUTTON: return "button";
    case PF_Param_POINT_3D: return "point_3d";
    default: return "type " + std::to_string(type);
    }
}

long live_host_handles()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return long(g_handles.size());
}

std::vector<std::string> orphan_misuse()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_orphans;
}

void clear_orphan_misuse()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_orphans.clear();
}

// ---- Callbacks ------------------------------------------------------------------------------

// Every function the plug-in can reach. Each one finds its call (by effect reference, or by the
// calling thread for the callbacks that carry none), checks what it was given, and answers.
struct Callbacks {
    static void orphan(std::string what)
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_orphans.push_back(std::move(what));
    }

    static Host::Frame* frame_of(PF_ProgPtr ref, const char* callback)
    {
        const auto value = reinterpret_cast<std::uintptr_t>(ref);
        if (value > kRefBase) {
            std::lock_guard<std::mutex> lock(g_mutex);
            const auto it = g_frames.find(std::uint64_t(value - kRefBase));
            if (it != g_frames.end())
                return it->second;
        }
        char text[160];
        std::snprintf(text, sizeof text, "%s: effect reference %p belongs to no call in progress", callback,
                      static_cast<void*>(ref));
        if (t_frame)
            t_frame->host->note(t_frame, text);
        else
            orphan(text);
        return nullptr;
    }

    // For callbacks without an effect reference: the innermost call on this thread.
    static Host::Frame* current(const char* callback)
    {
        if (!t_frame)
            orphan(std::string(callback) + ": called outside any entry call");
        return t_frame;
    }

    static void note(Host::Frame* frame, std::string what)
    {
        if (frame)
            frame->host->note(frame, std::move(what));
        else
            orphan(std::move(what));
    }

    // ---- Interaction callbacks --------------------------------------------------------------

    static PF_Err checkout_param(PF_ProgPtr ref, PF_ParamIndex index, A_long what_time, A_long time_step,
                                 A_u_long time_scale, PF_ParamDef* param)
    {
        Host::Frame* f = frame_of(ref, "checkout_param");
        if (!f)
            return PF_Err_BAD_CALLBACK_PARAM;
        Host& h = *f->host;
        ++h.stats_.checkouts;
        h.checkouts_.push_back(CheckoutRecord{index, what_time, time_step, time_scale});
        h.notify("checkout_param", f->serial);
        if (!param) {
            h.note(f, "checkout_param: null parameter definition");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        if (index < 0 || index >= h.param_count()) {
            h.note(f, "checkout_param: index " + std::to_string(index) + " out of range (" +
                          std::to_string(h.param_count()) + " parameters)");
            return PF_Err_INVALID_INDEX;
        }
        if (time_scale == 0)
            h.note(f, "checkout_param: time scale 0");
        if (h.checkout_error_ != PF_Err_NONE)
            return h.checkout_error_;
        *param = h.value_def(index);
        f->open_checkouts.push_back(param);
        return PF_Err_NONE;
    }

    static PF_Err checkin_param(PF_ProgPtr ref, PF_ParamDef* param)
    {
        Host::Frame* f = frame_of(ref, "checkin_param");
        if (!f)
            return PF_Err_BAD_CALLBACK_PARAM;
        Host& h = *f->host;
        ++h.stats_.checkins;
        h.notify("checkin_param", f->serial);
        const auto it = std::find(f->open_checkouts.begin(), f->open_checkouts.end(), param);
        if (it == f->open_checkouts.end()) {
            h.note(f, "checkin_param: definition was not checked out in this call");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        f->open_checkouts.erase(it);
        return PF_Err_NONE;
    }

    static PF_Err add_param(PF_ProgPtr ref, PF_ParamIndex index, PF_ParamDefPtr def)
    {
        Host::Frame* f = frame_of(ref, "add_param");
        if (!f)
            return PF_Err_BAD_CALLBACK_PARAM;
        Host& h = *f->host;
        ++h.stats_.add_param;
        h.notify("add_param", f->serial);
        HostParam param;
        if (!h.check_new_param(*f, index, def, &param))
            return PF_Err_BAD_CALLBACK_PARAM;
        h.params_.push_back(std::move(param));
        return PF_Err_NONE;
    }

    static PF_Err abort(PF_ProgPtr ref)
    {
        Host::Frame* f = frame_of(ref, "abort");
        if (!f)
            return PF_Err_NONE;
        Host& h = *f->host;
        ++h.stats_.abort_checks;
        h.notify("abort", f->serial);
        if (h.listener_)
            if (const PF_Err e = h.listener_(0, 0))
                return e;
        if (h.abort_after_ >= 0 && h.stats_.progress >= h.abort_after_)
            return h.abort_code_;
        return PF_Err_NONE;
    }

    static PF_Err progress(PF_ProgPtr ref, A_long current, A_long total)
    {
        Host::Frame* f = frame_of(ref, "progress");
        if (!f)
            return PF_Err_NONE;
        Host& h = *f->host;
        ++h.stats_.progress;
        if (h.config_.log_progress)
            h.progress_.push_back(ProgressRecord{current, total});
        h.notify("progress", f->serial);
        if (total <= 0)
            h.note(f, "progress: total " + std::to_string(total) + " is not positive");
        if (h.listener_)
            if (const PF_Err e = h.listener_(current, total))
                return e;
        if (h.abort_after_ >= 0 && h.stats_.progress > h.abort_after_)
            return h.abort_code_;
        return PF_Err_NONE;
    }

    static PF_Err register_ui(PF_ProgPtr ref, PF_CustomUIInfo* info)
    {
        Host::Frame* f = frame_of(ref, "register_ui");
        if (!f)
            return PF_Err_BAD_CALLBACK_PARAM;
        Host& h = *f->host;
        ++h.stats_.register_ui;
        h.notify("register_ui", f->serial);
        if (f->cmd != PF_Cmd_PARAMS_SETUP)
            h.note(f, "register_ui: outside parameter setup");
        if (!info) {
            h.note(f, "register_ui: null custom UI record");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        h.ui_info_ = *info;
        return PF_Err_NONE;
    }

    static PF_Err checkout_layer_audio(PF_ProgPtr ref, PF_ParamIndex, A_long, A_long, A_u_long, void*, A_long,
                                       A_long, A_long, void**)
    {
        note(frame_of(ref, "checkout_layer_audio"), "checkout_layer_audio: this host has no audio");
        return PF_Err_INVALID_CALLBACK;
    }

    static PF_Err checkin_layer_audio(PF_ProgPtr ref, void*)
    {
        note(frame_of(ref, "checkin_layer_audio"), "checkin_layer_audio: this host has no audio");
        return PF_Err_INVALID_CALLBACK;
    }

    // ---- Utility callbacks ------------------------------------------------------------------

    static PF_Err sampling(PF_ProgPtr ref, PF_Quality, PF_ModeFlags, void*)
    {
        return frame_of(ref, "begin_sampling/end_sampling") ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
    }

    static bool valid_world(const PF_EffectWorld* w)
    {
        return w && w->data && w->width > 0 && w->height > 0 &&
               w->rowbytes >= w->width * A_long(sizeof(PF_Pixel));
    }

    // Clips r (null: the whole world) to the world; false when nothing is left.
    static bool clip(const PF_EffectWorld& w, const PF_Rect* r, PF_Rect* out)
    {
        PF_Rect c = r ? *r : PF_Rect{0, 0, w.width, w.height};
        c.left = std::max<A_long>(c.left, 0);
        c.top = std::max<A_long>(c.top, 0);
        c.right = std::min<A_long>(c.right, w.width);
        c.bottom = std::min<A_long>(c.bottom, w.height);
        *out = c;
        return c.left < c.right && c.top < c.bottom;
    }

    static PF_Pixel* pixel(PF_EffectWorld& w, A_long x, A_long y)
    {
        return reinterpret_cast<PF_Pixel*>(reinterpret_cast<char*>(w.data) + std::ptrdiff_t(y) * w.rowbytes) + x;
    }

    static PF_Err copy(PF_ProgPtr ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r, PF_Rect* dst_r)
    {
        Host::Frame* f = frame_of(ref, "copy");
        if (!f)
            return PF_Err_BAD_CALLBACK_PARAM;
        if (!valid_world(src) || !valid_world(dst)) {
            f->host->note(f, "copy: invalid world");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        PF_Rect s, d;
        if (!clip(*src, src_r, &s) || !clip(*dst, dst_r, &d))
            return PF_Err_NONE;
        // Same-size copy of the overlap of both rectangles (no scaling in this host).
        const A_long w = std::min(s.right - s.left, d.right - d.left);
        const A_long hgt = std::min(s.bottom - s.top, d.bottom - d.top);
        for (A_long y = 0; y < hgt; ++y)
            std::memmove(pixel(*dst, d.left, d.top + y), pixel(*src, s.left, s.top + y),
                         std::size_t(w) * sizeof(PF_Pixel));
        return PF_Err_NONE;
    }

    static PF_Err fill(PF_ProgPtr ref, const PF_Pixel* color, const PF_Rect* rect, PF_EffectWorld* world)
    {
        Host::Frame* f = frame_of(ref, "fill");
        if (!f)
            return PF_Err_BAD_CALLBACK_PARAM;
        if (!valid_world(world)) {
            f->host->note(f, "fill: invalid world");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        const PF_Pixel c = color ? *color : PF_Pixel{0, 0, 0, 0};
        PF_Rect r;
        if (!clip(*world, rect, &r))
            return PF_Err_NONE;
        for (A_long y = r.top; y < r.bottom; ++y)
            std::fill(pixel(*world, r.left, y), pixel(*world, r.right, y), c);
        return PF_Err_NONE;
    }

    static PF_Err new_world(PF_ProgPtr ref, A_long width, A_long height, A_long, PF_EffectWorld* world)
    {
        Host::Frame* f = frame_of(ref, "new_world");
        if (!f)
            return PF_Err_BAD_CALLBACK_PARAM;
        if (!world || width <= 0 || height <= 0 || width > 30000 || height > 30000) {
            f->host->note(f, "new_world: bad size or null world");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        const std::size_t rowbytes = std::size_t(width) * sizeof(PF_Pixel);
        void* data = block_cache().take(std::size_t(height) * rowbytes);
        if (!data)
            return PF_Err_OUT_OF_MEMORY;
        std::memset(data, 0, std::size_t(height) * rowbytes);
        *world = PF_EffectWorld{};
        world->world_flags = PF_WorldFlag_WRITEABLE;
        world->data = static_cast<PF_PixelPtr>(data);
        world->rowbytes = A_long(rowbytes);
        world->width = width;
        world->height = height;
        world->extent_hint = PF_Rect{0, 0, width, height};
        world->pix_aspect_ratio = PF_RationalScale{1, 1};
        f->host->worlds_.push_back(data);
        return PF_Err_NONE;
    }

    static PF_Err dispose_world(PF_ProgPtr ref, PF_EffectWorld* world)
    {
        Host::Frame* f = frame_of(ref, "dispose_world");
        if (!f)
            return PF_Err_BAD_CALLBACK_PARAM;
        auto& worlds = f->host->worlds_;
        const auto it = world ? std::find(worlds.begin(), worlds.end(), static_cast<void*>(world->data)) : worlds.end();
        if (it == worlds.end()) {
            f->host->note(f, "dispose_world: world was not made by new_world");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        block_cache().give(*it);
        worlds.erase(it);
        *world = PF_EffectWorld{};
        return PF_Err_NONE;
    }

    static PF_Handle host_new_handle(A_u_longlong size)
    {
        Host::Frame* f = current("host_new_handle");
        if (f) {
            Host& h = *f->host;
            h.notify("host_new_handle", f->serial);
            if (h.handle_fail_after_ >= 0 && h.stats_.handles_new >= h.handle_fail_after_)
                return nullptr;
            ++h.stats_.handles_new;
        }
        if (size > kMaxHandleBytes)
            return nullptr;
        auto record = std::make_unique<HandleRecord>();
        record->data = block_cache().take(std::size_t(size ? size : 1));
        if (!record->data)
            return nullptr;
        if (!f || f->host->config_.harness_checks)
            std::memset(record->data, kFreshHandleByte, std::size_t(size ? size : 1));
        record->size = size;
        PF_Handle handle = &record->data;
        std::lock_guard<std::mutex> lock(g_mutex);
        g_handles.emplace(handle, std::move(record));
        return handle;
    }

    // Finds a live handle; notes misuse and gives null for anything else.
    static HandleRecord* handle_record(PF_Handle handle, const char* callback)
    {
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            const auto it = g_handles.find(handle);
            if (it != g_handles.end())
                return it->second.get();
        }
        note(t_frame, std::string(callback) + (handle ? ": unknown or already disposed handle" : ": null handle"));
        return nullptr;
    }

    static void* host_lock_handle(PF_Handle handle)
    {
        HandleRecord* r = handle_record(handle, "host_lock_handle");
        if (!r)
            return nullptr;
        ++r->locks;
        return r->data;
    }

    static void host_unlock_handle(PF_Handle handle)
    {
        HandleRecord* r = handle_record(handle, "host_unlock_handle");
        if (!r)
            return;
        if (r->locks == 0) {
            note(t_frame, "host_unlock_handle: handle is not locked");
            return;
        }
        --r->locks;
    }

    static void host_dispose_handle(PF_Handle handle)
    {
        HandleRecord* r = handle_record(handle, "host_dispose_handle");
        if (!r)
            return;
        if (r->locks != 0)
            note(t_frame, "host_dispose_handle: handle disposed while locked");
        if (t_frame)
            ++t_frame->host->stats_.handles_disposed;
        std::unique_ptr<HandleRecord> owned;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            const auto it = g_handles.find(handle);
            if (it == g_handles.end())
                return; // disposed meanwhile from another thread
            owned = std::move(it->second);
            g_handles.erase(it);
        }
        block_cache().give(owned->data);
    }

    static A_u_longlong host_get_handle_size(PF_Handle handle)
    {
        HandleRecord* r = handle_record(handle, "host_get_handle_size");
        return r ? r->size : 0;
    }

    static PF_Err host_resize_handle(A_u_longlong size, PF_Handle* handle)
    {
        if (!handle) {
            note(t_frame, "host_resize_handle: null handle pointer");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        HandleRecord* r = handle_record(*handle, "host_resize_handle");
        if (!r)
            return PF_Err_BAD_CALLBACK_PARAM;
        if (r->locks != 0) {
            note(t_frame, "host_resize_handle: handle resized while locked");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        if (size > kMaxHandleBytes)
            return PF_Err_OUT_OF_MEMORY;
        block_cache().forget(r->data);
        void* grown = std::realloc(r->data, std::size_t(size ? size : 1));
        if (!grown)
            return PF_Err_OUT_OF_MEMORY;
        r->data = grown;
        r->size = size;
        return PF_Err_NONE;
    }

    static PF_Err get_platform_data(PF_ProgPtr ref, A_long, void*)
    {
        note(frame_of(ref, "get_platform_data"), "get_platform_data: this host has no platform data");
        return PF_Err_BAD_CALLBACK_PARAM;
    }

    // The message and name fields of the out-data are the destinations whose size the host knows;
    // a longer text is cut (and noted) instead of overrunning them.
    static A_char* ansi_strcpy(A_char* dst, const A_char* src)
    {
        Host::Frame* f = current("strcpy");
        if (f) {
            ++f->host->stats_.string_copies;
            f->host->notify("strcpy", f->serial);
        }
        if (!dst || !src) {
            note(f, "strcpy: null pointer");
            return dst;
        }
        if (f) {
            struct Field {
                A_char* begin;
                std::size_t size;
                const char* name;
            };
            const Field fields[] = {{f->out.return_msg, sizeof f->out.return_msg, "return_msg"},
                                    {f->out.name, sizeof f->out.name, "name"}};
            for (const Field& field : fields) {
                if (dst >= field.begin && dst < field.begin + field.size) {
                    const std::size_t room = std::size_t(field.begin + field.size - dst);
                    const std::size_t len = std::strlen(src);
                    if (len >= room) {
                        f->host->note(f, "strcpy: " + std::to_string(len) + " characters overflow the out-data " +
                                             field.name + " field (room for " + std::to_string(room - 1) + ")");
                        std::memcpy(dst, src, room - 1);
                        dst[room - 1] = 0;
                        return dst;
                    }
                }
            }
        }
        return std::strcpy(dst, src);
    }

    static int ansi_sprintf(A_char* buffer, const A_char* format, ...)
    {
        if (!buffer || !format) {
            note(t_frame, "sprintf: null pointer");
            return -1;
        }
        // Into an out-data field the host knows the room and cuts the text; elsewhere the plug-in
        // vouches for the buffer, as the interface has no size argument.
        std::size_t room = 0;
        if (Host::Frame* f = t_frame) {
            A_char* const msg = f->out.return_msg;
            A_char* const name = f->out.name;
            if (buffer >= msg && buffer < msg + sizeof f->out.return_msg)
                room = std::size_t(msg + sizeof f->out.return_msg - buffer);
            else if (buffer >= name && buffer < name + sizeof f->out.name)
                room = std::size_t(name + sizeof f->out.name - buffer);
        }
        std::va_list args;
        va_start(args, format);
        const int n = room ? std::vsnprintf(buffer, room, format, args) : std::vsprintf(buffer, format, args);
        va_end(args);
        if (room && n >= 0 && std::size_t(n) >= room)
            note(t_frame, "sprintf: " + std::to_string(n) + " characters overflow an out-data field (room for " +
                              std::to_string(room - 1) + ")");
        return n;
    }

    static A_FpLong m_atan(A_FpLong x) { return std::atan(x); }
    static A_FpLong m_atan2(A_FpLong y, A_FpLong x) { return std::atan2(y, x); }
    static A_FpLong m_ceil(A_FpLong x) { return std::ceil(x); }
    static A_FpLong m_cos(A_FpLong x) { return std::cos(x); }
    static A_FpLong m_exp(A_FpLong x) { return std::exp(x); }
    static A_FpLong m_fabs(A_FpLong x) { return std::fabs(x); }
    static A_FpLong m_floor(A_FpLong x) { return std::floor(x); }
    static A_FpLong m_fmod(A_FpLong x, A_FpLong y) { return std::fmod(x, y); }
    static A_FpLong m_hypot(A_FpLong x, A_FpLong y) { return std::hypot(x, y); }
    static A_FpLong m_log(A_FpLong x) { return std::log(x); }
    static A_FpLong m_log10(A_FpLong x) { return std::log10(x); }
    static A_FpLong m_pow(A_FpLong x, A_FpLong y) { return std::pow(x, y); }
    static A_FpLong m_sin(A_FpLong x) { return std::sin(x); }
    static A_FpLong m_sqrt(A_FpLong x) { return std::sqrt(x); }
    static A_FpLong m_tan(A_FpLong x) { return std::tan(x); }
    static A_FpLong m_asin(A_FpLong x) { return std::asin(x); }
    static A_FpLong m_acos(A_FpLong x) { return std::acos(x); }

    static PF_UtilCallbacks utils()
    {
        PF_UtilCallbacks u{};
        u.begin_sampling = sampling;
        u.end_sampling = sampling;
        u.copy = copy;
        u.fill = fill;
        u.new_world = new_world;
        u.dispose_world = dispose_world;
        u.host_new_handle = host_new_handle;
        u.host_lock_handle = host_lock_handle;
        u.host_unlock_handle = host_unlock_handle;
        u.host_dispose_handle = host_dispose_handle;
        u.host_get_handle_size = host_get_handle_size;
        u.host_resize_handle = host_resize_handle;
        u.get_platform_data = get_platform_data;
        PF_ANSICallbacks& a = u.ansi;
        a.atan = m_atan;
        a.atan2 = m_atan2;
        a.ceil = m_ceil;
        a.cos = m_cos;
        a.exp = m_exp;
        a.fabs = m_fabs;
        a.floor = m_floor;
        a.fmod = m_fmod;
        a.hypot = m_hypot;
        a.log = m_log;
        a.log10 = m_log10;
        a.pow = m_pow;
        a.sin = m_sin;
        a.sqrt = m_sqrt;
        a.tan = m_tan;
        a.sprintf = ansi_sprintf;
        a.strcpy = ansi_strcpy;
        a.asin = m_asin;
        a.acos = m_acos;
        return u;
    }

    static PF_InteractCallbacks inter()
    {
        PF_InteractCallbacks i{};
        i.checkout_param = checkout_param;
        i.checkin_param = checkin_param;
        i.add_param = add_param;
        i.abort = abort;
        i.progress = progress;
        i.register_ui = register_ui;
        i.checkout_layer_audio = checkout_layer_audio;
        i.checkin_layer_audio = checkin_layer_audio;
        return i;
    }

    // ---- Suite broker -----------------------------------------------------------------------

    static SPErr acquire_suite(const char* name, A_long version, const void** suite)
    {
        Host::Frame* f = current("AcquireSuite");
        if (!f)
            return kSPSuiteNotFoundError;
        Host& h = *f->host;
        ++h.stats_.suite_acquires;
        h.notify("AcquireSuite", f->serial);
        if (!name || !suite) {
            h.note(f, "AcquireSuite: null name or result pointer");
            return kSPSuiteNotFoundError;
        }
        const auto key = std::make_pair(std::string(name), version);
        const auto it = h.suites_.find(key);
        if (it == h.suites_.end()) {
            *suite = nullptr;
            return kSPSuiteNotFoundError;
        }
        *suite = it->second;
        ++f->open_suites[key];
        ++h.suite_acquires_[key.first];
        return kSPNoError;
    }

    static SPErr release_suite(const char* name, A_long version)
    {
        Host::Frame* f = current("ReleaseSuite");
        if (!f)
            return kSPSuiteNotFoundError;
        Host& h = *f->host;
        ++h.stats_.suite_releases;
        h.notify("ReleaseSuite", f->serial);
        if (!name) {
            h.note(f, "ReleaseSuite: null name");
            return kSPSuiteNotFoundError;
        }
        const auto key = std::make_pair(std::string(name), version);
        const auto it = f->open_suites.find(key);
        if (it == f->open_suites.end() || it->second <= 0) {
            h.note(f, "ReleaseSuite: \"" + key.first + "\" version " + std::to_string(version) +
                          " was not acquired in this call");
            return kSPSuiteNotFoundError;
        }
        if (--it->second == 0)
            f->open_suites.erase(it);
        return kSPNoError;
    }

    static SPBoolean is_equal(const char* a, const char* b)
    {
        if (!a || !b) {
            note(t_frame, "IsEqual: null string");
            return 0;
        }
        return std::strcmp(a, b) == 0;
    }

    static SPErr allocate_block(size_t size, void** block)
    {
        if (!block)
            return kSPOutOfMemoryError;
        *block = std::malloc(size ? size : 1);
        return *block ? kSPNoError : kSPOutOfMemoryError;
    }

    static SPErr free_block(void* block)
    {
        std::free(block);
        return kSPNoError;
    }

    static SPErr reallocate_block(void* block, size_t size, void** grown)
    {
        if (!grown)
            return kSPOutOfMemoryError;
        void* p = std::realloc(block, size ? size : 1);
        if (!p)
            return kSPOutOfMemoryError;
        *grown = p;
        return kSPNoError;
    }

    static SPErr undefined()
    {
        note(t_frame, "Undefined: called the broker's undefined entry");
        return kSPSuiteNotFoundError;
    }

    static SPBasicSuite broker()
    {
        SPBasicSuite b{};
        b.AcquireSuite = acquire_suite;
        b.ReleaseSuite = release_suite;
        b.IsEqual = is_equal;
        b.AllocateBlock = allocate_block;
        b.FreeBlock = free_block;
        b.ReallocateBlock = reallocate_block;
        b.Undefined = undefined;
        return b;
    }

    // ---- Application suite ------------------------------------------------------------------

    static bool known_context(Host::Frame* f, PF_ContextH context, const char* callback)
    {
        if (context == &f->host->context_ptr_ && f->host->context_.magic == PF_CONTEXT_MAGIC)
            return true;
        f->host->note(f, std::string(callback) + ": unknown context");
        return false;
    }

    static PF_Err app_bg_color(PF_App_Color* color)
    {
        if (!color)
            return PF_Err_BAD_CALLBACK_PARAM;
        *color = PF_App_Color{0x4000, 0x4000, 0x4000};
        return PF_Err_NONE;
    }

    static PF_Err app_color(PF_App_ColorType, PF_App_Color* color)
    {
        if (!color)
            return PF_Err_BAD_CALLBACK_PARAM;
        *color = PF_App_Color{0xC000, 0xC000, 0xC000};
        return PF_Err_NONE;
    }

    static PF_Err app_personal_info(PF_AppPersonalTextInfo* info)
    {
        if (!info)
            return PF_Err_BAD_CALLBACK_PARAM;
        *info = PF_AppPersonalTextInfo{};
        std::snprintf(info->name, sizeof info->name, "%s", "seavast hostkit");
        return PF_Err_NONE;
    }

    static PF_Err app_font(A_long, A_char* font_name, A_short* font_num, A_short* size, A_short* style)
    {
        if (font_name)
            std::strcpy(font_name, "Sans");
        if (font_num)
            *font_num = 0;
        if (size)
            *size = 11;
        if (style)
            *style = 0;
        return PF_Err_NONE;
    }

    static PF_Err app_set_cursor(PF_CursorType)
    {
        return PF_Err_NONE;
    }

    static PF_Err app_is_render_engine(PF_Boolean* answer)
    {
        if (!answer)
            return PF_Err_BAD_CALLBACK_PARAM;
        *answer = 0;
        return PF_Err_NONE;
    }

    static PF_Err app_color_picker(const A_char*, const PF_Pixel* sample, PF_Boolean, PF_Pixel* result)
    {
        if (!result)
            return PF_Err_BAD_CALLBACK_PARAM;
        *result = sample ? *sample : PF_Pixel{255, 0, 0, 0};
        return PF_Err_NONE;
    }

    static PF_Err app_get_mouse(PF_ContextH context, PF_Point* point)
    {
        Host::Frame* f = current("PF_GetMouse");
        if (!f)
            return PF_Err_BAD_CALLBACK_PARAM;
        ++f->host->stats_.get_mouse;
        f->host->notify("PF_GetMouse", f->serial);
        if (!point || !known_context(f, context, "PF_GetMouse"))
            return PF_Err_BAD_CALLBACK_PARAM;
        *point = f->host->config_.mouse;
        return PF_Err_NONE;
    }

    static PF_Err app_invalidate(PF_ContextH context, const PF_Rect*)
    {
        Host::Frame* f = current("PF_InvalidateRect");
        if (!f)
            return PF_Err_BAD_CALLBACK_PARAM;
        ++f->host->stats_.invalidates;
        f->host->notify("PF_InvalidateRect", f->serial);
        return known_context(f, context, "PF_InvalidateRect") ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
    }

    static PF_Err app_local_to_global(const PF_Point* local, PF_Point* global)
    {
        Host::Frame* f = current("PF_ConvertLocalToGlobal");
        if (!f)
            return PF_Err_BAD_CALLBACK_PARAM;
        ++f->host->stats_.local_to_global;
        f->host->notify("PF_ConvertLocalToGlobal", f->serial);
        if (!local || !global) {
            f->host->note(f, "PF_ConvertLocalToGlobal: null point");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        const PF_Point origin = f->host->config_.window_origin;
        *global = PF_Point{local->h + origin.h, local->v + origin.v};
        return PF_Err_NONE;
    }

    static PF_Err custom_ui_drawing_reference(const PF_ContextH context, DRAWBOT_DrawRef* ref)
    {
        Host::Frame* f = current("PF_GetDrawingReference");
        if (!f)
            return PF_Err_BAD_CALLBACK_PARAM;
        f->host->notify("PF_GetDrawingReference", f->serial);
        if (!ref || !known_context(f, context, "PF_GetDrawingReference"))
            return PF_Err_BAD_CALLBACK_PARAM;
        *ref = f->host->drawing_.reference();
        return PF_Err_NONE;
    }

    static const PF_EffectCustomUISuite1* custom_ui_suite()
    {
        static const PF_EffectCustomUISuite1 suite = {custom_ui_drawing_reference};
        return &suite;
    }

    static const PFAppSuite6* app_suite()
    {
        static const PFAppSuite6 suite = {app_bg_color,      app_color,       app_personal_info, app_font,
                                          app_set_cursor,    app_is_render_engine, app_color_picker,
                                          app_get_mouse,     app_invalidate,  app_local_to_global};
        return &suite;
    }

    // ---- Event callbacks --------------------------------------------------------------------

    static PF_Err ev_xform(void*, PF_ContextH, A_long, A_long, PF_FixedPoint*) { return PF_Err_NONE; }
    static PF_Err ev_get_c2l(void*, PF_ContextH, A_long, A_long, A_long* exists, PF_FixedPoint*)
    {
        if (exists)
            *exists = 0;
        return PF_Err_NONE;
    }
    static PF_Err ev_get_l2c(void*, PF_ContextH, A_long, A_long, PF_FixedPoint*) { return PF_Err_NONE; }
    static PF_Err ev_frame(void*, PF_ContextH, PF_FixedPoint*) { return PF_Err_NONE; }
    static PF_Err ev_info_color(void*, PF_Pixel) { return PF_Err_NONE; }
    static PF_Err ev_info_text(void*, const A_char*, const A_char*) { return PF_Err_NONE; }

    static PF_EventCallbacks* event_callbacks()
    {
        static PF_EventCallbacks cbs = {nullptr,  ev_xform, ev_xform,      ev_get_c2l,
                                        ev_get_l2c, ev_frame, ev_frame, ev_info_color, ev_info_text};
        return &cbs;
    }
};

// ---- Host -----------------------------------------------------------------------------------

Host::Host(std::shared_ptr<Module> module, HostConfig config) : module_(std::move(module)), config_(config)
{
    context_.magic = PF_CONTEXT_MAGIC;
    context_.w_type = PF_Window_EFFECT;
    add_suite(kPFAppSuite, kPFAppSuiteVersion6, Callbacks::app_suite());
    add_suite(kPFEffectCustomUISuite, kPFEffectCustomUISuiteVersion1, Callbacks::custom_ui_suite());
    add_suite(kDRAWBOT_DrawSuite, kDRAWBOT_DrawSuite_Version1, DrawRecorder::draw_suite());
    add_suite(kDRAWBOT_SupplierSuite, kDRAWBOT_SupplierSuite_Version1, DrawRecorder::supplier_suite());
    add_suite(kDRAWBOT_SurfaceSuite, kDRAWBOT_SurfaceSuite_Version1, DrawRecorder::surface_suite());
    add_suite(kDRAWBOT_PathSuite, kDRAWBOT_PathSuite_Version1, DrawRecorder::path_suite());
    begin_params_setup();
}

Host::~Host()
{
    for (void* data : worlds_)
        block_cache().give(data);
}

void Host::add_suite(const std::string& name, A_long version, const void* table)
{
    suites_[std::make_pair(name, version)] = table;
}

int Host::suite_acquire_count(const std::string& name) const
{
    const auto it = suite_acquires_.find(name);
    return it == suite_acquires_.end() ? 0 : it->second;
}

void Host::script_abort(long after, PF_Err code)
{
    abort_after_ = after;
    abort_code_ = code;
}

void Host::script_handle_failure(long after)
{
    // Counted from now on.
    handle_fail_after_ = after < 0 ? -1 : stats_.handles_new + after;
}

void Host::note(const Frame* frame, std::string what)
{
    if (frame)
        what += " [" + command_name(frame->cmd) + "]";
    misuse_.push_back(std::move(what));
}

void Host::notify(std::string_view callback, std::uint64_t serial)
{
    if (observer_)
        observer_(*this, callback, serial);
}

void Host::begin_params_setup()
{
    params_.clear();
    group_stack_.clear();
    HostParam input;
    input.def.param_type = PF_Param_LAYER;
    input.def.u.ld.dephault = PF_LayerDefault_MYSELF;
    input.layer = &input_;
    params_.push_back(std::move(input));
}

PF_ParamDef Host::value_def(int index) const
{
    const HostParam& p = params_[std::size_t(index)];
    PF_ParamDef d = p.def;
    d.uu.change_flags = PF_ChangeFlag_NONE;
    switch (d.param_type) {
    case PF_Param_POPUP: d.u.pd.u.namesptr = p.choices.c_str(); break;
    case PF_Param_CHECKBOX: d.u.bd.u.nameptr = p.label.c_str(); break;
    case PF_Param_LAYER: {
        const A_long dephault = d.u.ld.dephault;
        // A layer parameter without a layer gives an empty world (no pixels), as for "None".
        const World* w = p.layer;
        d.u.ld = (w && !w->empty()) ? w->def() : PF_LayerDef{};
        d.u.ld.dephault = dephault;
        break;
    }
    default: break;
    }
    return d;
}

void Host::build_call_params(Frame& frame) const
{
    frame.defs.resize(params_.size());
    frame.ptrs.resize(params_.size() + 1, nullptr); // null-terminated, for plug-ins that walk it
    for (std::size_t i = 0; i < params_.size(); ++i) {
        frame.defs[i] = value_def(int(i));
        frame.ptrs[i] = &frame.defs[i];
    }
}

bool Host::check_new_param(const Frame& frame, PF_ParamIndex index, const PF_ParamDef* def, HostParam* out)
{
    if (frame.cmd != PF_Cmd_PARAMS_SETUP) {
        note(&frame, "add_param: outside parameter setup");
        return false;
    }
    if (!def) {
        note(&frame, "add_param: null definition");
        return false;
    }
    const int next = param_count();
    if (index != -1 && index != next) {
        note(&frame, "add_param: index " + std::to_string(index) + " but the next index is " + std::to_string(next));
        return false;
    }
    if (!terminated(def->name, sizeof def->name)) {
        note(&frame, "add_param: name of parameter " + std::to_string(next) + " is not terminated");
        return false;
    }
    const std::string where = "add_param: parameter " + std::to_string(next) + " \"" + def->name + "\"";
    HostParam p;
    p.def = *def;
    p.id = def->uu.id;
    if (p.id < 0)
        note(&frame, where + ": negative id " + std::to_string(p.id));
    if (p.id != 0)
        for (const HostParam& q : params_)
            if (q.id == p.id)
                note(&frame, where + ": id " + std::to_string(p.id) + " is already used");
    const std::string path = [&] {
        std::string s;
        for (const std::string& g : group_stack_)
            s += (s.empty() ? "" : "/") + g;
        return s;
    }();
    p.group = path;
    bool ok = true;
    switch (def->param_type) {
    case PF_Param_GROUP_START:
    case PF_Param_GROUP_END:
        if (config_.api_major < 12) {
            note(&frame, where + ": parameter groups on a host of API version " + std::to_string(config_.api_major));
            return false;
        }
        if (def->param_type == PF_Param_GROUP_START) {
            group_stack_.push_back(def->name);
        } else if (group_stack_.empty()) {
            note(&frame, where + ": group end without a group start");
        } else {
            group_stack_.pop_back();
        }
        break;
    case PF_Param_FIX_SLIDER: {
        PF_FixedSliderDef& s = p.def.u.fd;
        if (!(s.valid_min <= s.slider_min && s.slider_min <= s.slider_max && s.slider_max <= s.valid_max))
            note(&frame, where + ": ranges out of order (valid " + fixed_text(s.valid_min) + ".." +
                             fixed_text(s.valid_max) + ", slider " + fixed_text(s.slider_min) + ".." +
                             fixed_text(s.slider_max) + ")");
        if (s.dephault < s.valid_min || s.dephault > s.valid_max)
            note(&frame, where + ": default " + fixed_text(s.dephault) + " outside the valid range");
        s.value = s.dephault;
        break;
    }
    case PF_Param_SLIDER: {
        PF_SliderDef& s = p.def.u.sd;
        if (!(s.valid_min <= s.slider_min && s.slider_min <= s.slider_max && s.slider_max <= s.valid_max) ||
            s.dephault < s.valid_min || s.dephault > s.valid_max)
            note(&frame, where + ": ranges out of order or default outside the valid range");
        s.value = s.dephault;
        break;
    }
    case PF_Param_FLOAT_SLIDER: {
        PF_FloatSliderDef& s = p.def.u.fs_d;
        if (!(s.valid_min <= s.slider_min && s.slider_min <= s.slider_max && s.slider_max <= s.valid_max))
            note(&frame, where + ": ranges out of order");
        s.value = s.dephault;
        break;
    }
    case PF_Param_ANGLE: {
        PF_AngleDef& a = p.def.u.ad;
        if (a.valid_min < a.valid_max && (a.dephault < a.valid_min || a.dephault > a.valid_max))
            note(&frame, where + ": default outside the valid range");
        a.value = a.dephault;
        break;
    }
    case PF_Param_CHECKBOX: {
        PF_CheckBoxDef& c = p.def.u.bd;
        if (c.dephault > 1)
            note(&frame, where + ": checkbox default " + std::to_string(c.dephault));
        if (c.u.nameptr)
            p.label = c.u.nameptr;
        c.value = c.dephault;
        break;
    }
    case PF_Param_COLOR: p.def.u.cd.value = p.def.u.cd.dephault; break;
    case PF_Param_POINT: {
        // Defaults are percentages of the layer; values are pixels.
        PF_PointDef& t = p.def.u.td;
        t.x_value = to_fixed(from_fixed(t.x_dephault) / 100.0 * config_.width);
        t.y_value = to_fixed(from_fixed(t.y_dephault) / 100.0 * config_.height);
        break;
    }
    case PF_Param_POPUP: {
        PF_PopupDef& pd = p.def.u.pd;
        if (!pd.u.namesptr) {
            note(&frame, where + ": pop-up without choices");
            return false;
        }
        p.choices = pd.u.namesptr;
        const long count = long(std::count(p.choices.begin(), p.choices.end(), '|')) + 1;
        if (pd.num_choices < 1 || count != pd.num_choices)
            note(&frame, where + ": " + std::to_string(pd.num_choices) + " choices announced, " +
                             std::to_string(count) + " in the text");
        if (pd.dephault < 1 || pd.dephault > pd.num_choices)
            note(&frame, where + ": default choice " + std::to_string(pd.dephault) + " out of range");
        pd.value = pd.dephault;
        break;
    }
    case PF_Param_LAYER:
        if (p.def.u.ld.dephault != PF_LayerDefault_NONE && p.def.u.ld.dephault != PF_LayerDefault_MYSELF)
            note(&frame, where + ": layer default " + std::to_string(p.def.u.ld.dephault));
        p.layer = p.def.u.ld.dephault == PF_LayerDefault_MYSELF ? &input_ : nullptr;
        break;
    case PF_Param_NO_DATA:
        if ((def->ui_flags & PF_PUI_CONTROL) && (def->ui_width <= 0 || def->ui_height <= 0))
            note(&frame, where + ": custom control without an area");
        break;
    case PF_Param_BUTTON:
    case PF_Param_ARBITRARY_DATA:
    case PF_Param_PATH:
    case PF_Param_POINT_3D:
    case PF_Param_CUSTOM: break;
    default:
        note(&frame, where + ": unknown type " + std::to_string(def->param_type));
        ok = false;
        break;
    }
    if (def->param_type == PF_Param_GROUP_END)
        p.group = path; // the group it closes
    else if (def->param_type == PF_Param_GROUP_START)
        p.group = path;
    *out = std::move(p);
    return ok;
}

PF_Err Host::call(PF_Cmd cmd, const CallOptions& options)
{
    if (!module_ || !module_->entry()) {
        misuse_.push_back("call: no plug-in module loaded");
        return PF_Err_INVALID_CALLBACK;
    }
    Frame f;
    f.host = this;
    f.cmd = cmd;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        f.serial = g_next_serial++;
        g_frames.emplace(f.serial, &f);
    }
    if (cmd == PF_Cmd_PARAMS_SETUP)
        begin_params_setup();
    if (input_.empty() || input_.width() != config_.width || input_.height() != config_.height)
        input_.resize(config_.width, config_.height, config_.row_padding);

    f.utils = Callbacks::utils();
    f.broker = Callbacks::broker();
    PF_InData& in = f.in;
    in.inter = Callbacks::inter();
    in.utils = &f.utils;
    in.effect_ref = make_ref(f.serial);
    in.quality = config_.quality;
    in.version = PF_SpecVersion{config_.api_major, config_.api_minor};
    in.serial_num = 0;
    in.appl_id = config_.appl_id;
    in.num_params = A_long(params_.size());
    in.current_time = config_.current_time;
    in.time_step = config_.time_step;
    in.total_time = config_.total_time;
    in.local_time_step = config_.local_time_step;
    in.time_scale = config_.time_scale;
    in.field = PF_Field_FRAME;
    in.width = config_.width;
    in.height = config_.height;
    in.extent_hint = PF_Rect{0, 0, config_.width, config_.height};
    in.downsample_x = config_.downsample_x;
    in.downsample_y = config_.downsample_y;
    in.pixel_aspect_ratio = PF_RationalScale{1, 1};
    in.pica_basicP = (options.null_suite_broker || !config_.suite_broker) ? nullptr : &f.broker;
    f.out = options.out_init ? *options.out_init : PF_OutData{};
    build_call_params(f);

    Frame* outer = t_frame;
    t_frame = &f;
    ++depth_;
    ++stats_.calls;
    const PF_Err err = module_->entry()(cmd, options.null_in_data ? nullptr : &f.in,
                                        options.null_out_data ? nullptr : &f.out,
                                        options.null_params ? nullptr : f.ptrs.data(),
                                        options.null_output ? nullptr : options.output, options.extra);
    --depth_;
    t_frame = outer;
    finish_call(f, err);
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_frames.erase(f.serial);
    }
    return err;
}

void Host::finish_call(Frame& f, PF_Err err)
{
    if (depth_ == 0)
        drawing_.finish_call();
    for (std::string& n : drawing_.take_notes())
        note(&f, std::move(n));
    if (!f.open_checkouts.empty())
        note(&f, std::to_string(f.open_checkouts.size()) + " parameter(s) checked out and never checked in");
    for (const auto& [key, count] : f.open_suites)
        note(&f, "suite \"" + key.first + "\" version " + std::to_string(key.second) + " acquired " +
                     std::to_string(count) + " more time(s) than released");
    if (!terminated(f.out.return_msg, sizeof f.out.return_msg)) {
        note(&f, "out-data message is not terminated");
        f.out.return_msg[sizeof f.out.return_msg - 1] = 0;
    }
    if (!terminated(f.out.name, sizeof f.out.name)) {
        note(&f, "out-data name is not terminated");
        f.out.name[sizeof f.out.name - 1] = 0;
    }
    if (f.cmd == PF_Cmd_PARAMS_SETUP) {
        for (const std::string& g : group_stack_)
            note(&f, "group \"" + g + "\" is never closed");
        group_stack_.clear();
        if (err == PF_Err_NONE && f.out.num_params != param_count())
            note(&f, "out-data reports " + std::to_string(f.out.num_params) + " parameters, " +
                         std::to_string(param_count()) + " were defined");
    }
    // Values the plug-in changed (changed flag set) become the parameters' new values.
    for (std::size_t i = 1; i < f.defs.size() && i < params_.size(); ++i) {
        const PF_ParamDef& d = f.defs[i];
        if (!(d.uu.change_flags & PF_ChangeFlag_CHANGED_VALUE))
            continue;
        HostParam& p = params_[i];
        if (d.param_type != p.def.param_type) {
            note(&f, "parameter " + std::to_string(i) + ": type changed by the plug-in");
            continue;
        }
        PF_ParamDefUnion& u = p.def.u;
        switch (d.param_type) {
        case PF_Param_FIX_SLIDER:
            if (d.u.fd.value < u.fd.valid_min || d.u.fd.value > u.fd.valid_max)
                note(&f, "parameter " + std::to_string(i) + ": value " + fixed_text(d.u.fd.value) +
                             " outside the valid range");
            u.fd.value = std::clamp(d.u.fd.value, u.fd.valid_min, u.fd.valid_max);
            break;
        case PF_Param_SLIDER: u.sd.value = std::clamp(d.u.sd.value, u.sd.valid_min, u.sd.valid_max); break;
        case PF_Param_FLOAT_SLIDER: u.fs_d.value = d.u.fs_d.value; break;
        case PF_Param_ANGLE: u.ad.value = d.u.ad.value; break;
        case PF_Param_CHECKBOX: u.bd.value = d.u.bd.value ? 1 : 0; break;
        case PF_Param_COLOR: u.cd.value = d.u.cd.value; break;
        case PF_Param_POINT:
            u.td.x_value = d.u.td.x_value;
            u.td.y_value = d.u.td.y_value;
            break;
        case PF_Param_POPUP:
            if (d.u.pd.value < 1 || d.u.pd.value > u.pd.num_choices) {
                note(&f, "parameter " + std::to_string(i) + ": choice " + std::to_string(d.u.pd.value) +
                             " out of range");
                continue;
            }
            u.pd.value = d.u.pd.value;
            break;
        default: note(&f, "parameter " + std::to_string(i) + ": value change of a parameter without a value"); continue;
        }
        ++p.changes;
    }
    last_out_ = f.out;
    last_serial_ = f.serial;
    last_cmd_ = f.cmd;
}

std::string Host::message() const
{
    return std::string(last_out_.return_msg, strnlen(last_out_.return_msg, sizeof last_out_.return_msg));
}

PF_Err Host::about(std::string* text)
{
    const PF_Err err = call(PF_Cmd_ABOUT);
    if (text)
        *text = message();
    return err;
}

PF_Err Host::global_setup() { return call(PF_Cmd_GLOBAL_SETUP); }
PF_Err Host::global_setdown() { return call(PF_Cmd_GLOBAL_SETDOWN); }
PF_Err Host::params_setup() { return call(PF_Cmd_PARAMS_SETUP); }
PF_Err Host::sequence_setup() { return call(PF_Cmd_SEQUENCE_SETUP); }
PF_Err Host::sequence_setdown() { return call(PF_Cmd_SEQUENCE_SETDOWN); }
PF_Err Host::frame_setup() { return call(PF_Cmd_FRAME_SETUP); }
PF_Err Host::frame_setdown() { return call(PF_Cmd_FRAME_SETDOWN); }

PF_Err Host::setup()
{
    const PF_Err err = global_setup();
    return err != PF_Err_NONE ? err : params_setup();
}

PF_Err Host::render(World& output)
{
    if (input_.empty() || input_.width() != config_.width || input_.height() != config_.height)
        input_.resize(config_.width, config_.height, config_.row_padding);
    const bool check = config_.harness_checks;
    const std::uint64_t input_sum = check ? input_.checksum() : 0;
    CallOptions options;
    options.output = &output.def();
    const PF_Err err = call(PF_Cmd_RENDER, options);
    if (!output.guards_intact())
        misuse_.push_back("render: wrote outside the output world");
    if (!input_.guards_intact() || (check && input_.checksum() != input_sum))
        misuse_.push_back("render: changed the input layer");
    return err;
}

PF_Err Host::event(PF_EventExtra& extra)
{
    CallOptions options;
    options.extra = &extra;
    return call(PF_Cmd_EVENT, options);
}

PF_EventExtra Host::make_event(PF_EventType type, PF_WindowType window)
{
    context_.magic = PF_CONTEXT_MAGIC;
    context_.w_type = window;
    PF_EventExtra e{};
    e.contextH = &context_ptr_;
    e.e_type = type;
    e.cbs = Callbacks::event_callbacks();
    for (int i = 0; i < param_count(); ++i) {
        const PF_ParamDef& d = params_[std::size_t(i)].def;
        if (d.param_type == PF_Param_NO_DATA && (d.ui_flags & PF_PUI_CONTROL)) {
            e.effect_win.index = i;
            e.effect_win.area = PF_Rect{0, 0, d.ui_width, d.ui_height};
            e.effect_win.current_frame = e.effect_win.area;
            break;
        }
    }
    if (type == PF_Event_DRAW)
        e.u.draw.update_rect = e.effect_win.area;
    return e;
}

int Host::find_param(std::string_view name, int occurrence) const
{
    for (int i = 0; i < param_count(); ++i)
        if (std::string_view(params_[std::size_t(i)].def.name) == name && occurrence-- == 0)
            return i;
    return -1;
}

void Host::adopt_params(const Host& donor)
{
    params_ = donor.params_;
    for (HostParam& p : params_)
        p.layer = p.def.param_type == PF_Param_LAYER && p.def.u.ld.dephault == PF_LayerDefault_MYSELF ? &input_ : nullptr;
    group_stack_.clear();
}

bool Host::set_fixed(int index, double value)
{
    if (index <= 0 || index >= param_count())
        return false;
    PF_ParamDef& d = params_[std::size_t(index)].def;
    if (d.param_type == PF_Param_FIX_SLIDER)
        d.u.fd.value = std::clamp(to_fixed(value), d.u.fd.valid_min, d.u.fd.valid_max);
    else if (d.param_type == PF_Param_ANGLE)
        d.u.ad.value = to_fixed(value);
    else
        return false;
    return true;
}

bool Host::set_int(int index, A_long value)
{
    if (index <= 0 || index >= param_count())
        return false;
    PF_ParamDef& d = params_[std::size_t(index)].def;
    if (d.param_type == PF_Param_POPUP && value >= 1 && value <= d.u.pd.num_choices)
        d.u.pd.value = value;
    else if (d.param_type == PF_Param_CHECKBOX && (value == 0 || value == 1))
        d.u.bd.value = value;
    else
        return false;
    return true;
}

bool Host::set_color(int index, PF_Pixel value)
{
    if (index <= 0 || index >= param_count() || params_[std::size_t(index)].def.param_type != PF_Param_COLOR)
        return false;
    params_[std::size_t(index)].def.u.cd.value = value;
    return true;
}

namespace {

bool parse_double(std::string_view text, double* out)
{
    const std::string s(text);
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (s.empty() || end != s.c_str() + s.size() || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

bool parse_long(std::string_view text, long* out)
{
    const std::string s(text);
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || end != s.c_str() + s.size())
        return false;
    *out = v;
    return true;
}

} // namespace

bool Host::set_from_text(int index, std::string_view text, std::string* error)
{
    std::string dummy;
    std::string& why = error ? *error : dummy;
    if (index <= 0 || index >= param_count()) {
        why = "no parameter " + std::to_string(index);
        return false;
    }
    const HostParam& p = params_[std::size_t(index)];
    const std::string name = quote_free_name(p.def.name);
    switch (p.def.param_type) {
    case PF_Param_FIX_SLIDER:
    case PF_Param_ANGLE: {
        double v = 0;
        if (!parse_double(text, &v)) {
            why = name + " takes a number, not \"" + std::string(text) + "\"";
            return false;
        }
        if (p.def.param_type == PF_Param_FIX_SLIDER &&
            (to_fixed(v) < p.def.u.fd.valid_min || to_fixed(v) > p.def.u.fd.valid_max)) {
            why = name + " takes " + fixed_text(p.def.u.fd.valid_min) + " to " + fixed_text(p.def.u.fd.valid_max);
            return false;
        }
        return set_fixed(index, v);
    }
    case PF_Param_POPUP: {
        long choice = 0;
        if (!parse_long(text, &choice)) {
            // The choice's own text, as the pop-up shows it.
            std::size_t start = 0;
            for (long k = 1;; ++k) {
                const std::size_t bar = p.choices.find('|', start);
                if (std::string_view(p.choices).substr(start, bar - start) == text) {
                    choice = k;
                    break;
                }
                if (bar == std::string::npos)
                    break;
                start = bar + 1;
            }
        }
        if (!set_int(index, A_long(choice))) {
            why = name + " takes 1 to " + std::to_string(p.def.u.pd.num_choices) + " or one of \"" + p.choices + "\"";
            return false;
        }
        return true;
    }
    case PF_Param_CHECKBOX: {
        const A_long v = (text == "1" || text == "on") ? 1 : (text == "0" || text == "off") ? 0 : -1;
        if (v < 0) {
            why = name + " takes 0, 1, on or off";
            return false;
        }
        return set_int(index, v);
    }
    case PF_Param_COLOR: {
        std::vector<std::string_view> parts;
        for (std::size_t start = 0;;) {
            const std::size_t comma = text.find(',', start);
            parts.push_back(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
            if (comma == std::string_view::npos)
                break;
            start = comma + 1;
        }
        long c[3] = {};
        bool ok = parts.size() == 3;
        for (std::size_t k = 0; ok && k < 3; ++k)
            ok = parse_long(parts[k], &c[k]) && c[k] >= 0 && c[k] <= 255;
        if (!ok) {
            why = name + " takes red,green,blue from 0 to 255";
            return false;
        }
        return set_color(index, PF_Pixel{p.def.u.cd.value.alpha, A_u_char(c[0]), A_u_char(c[1]), A_u_char(c[2])});
    }
    default: why = name + " has no value that can be set from text"; return false;
    }
}

bool Host::set_layer(int index, World* layer)
{
    if (index < 0 || index >= param_count() || params_[std::size_t(index)].def.param_type != PF_Param_LAYER)
        return false;
    params_[std::size_t(index)].layer = layer;
    return true;
}

} // namespace hostkit
