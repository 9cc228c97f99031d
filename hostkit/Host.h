// A host for the effect API, in-process: it builds the in-data, keeps the parameters the plug-in
// defines and their values, answers every callback, brokers suites and lends images, and calls the
// plug-in's `PluginEntry` (and nothing else of the module) for each command.
//
// Everything the plug-in sends back (indices, pointers, handles, suite names, strings) is checked.
// Misuse is never undefined behaviour here: the callback refuses with an error code and a one-line
// note is kept in misuse(), which tests assert to be empty.
//
// One Host is one effect instance in one project. A Host is used from one thread at a time; several
// Hosts may call the same module from several threads at once (the plug-in serialises them).
//
// Driving a frame:
//     std::string error;
//     auto module = hostkit::Module::load(hostkit::resolve_plugin_path(""), &error);
//     hostkit::Host host(module);                       // API 13, 320 x 180 input, time scale 30
//     host.setup();                                     // global setup, then parameter setup
//     host.set_from_text(host.find_param("Render Mode:"), "Realistic");
//     host.config().current_time = 45;                  // 1.5 s
//     hostkit::World frame(1920, 1080);
//     if (PF_Err err = host.render(frame)) { ... host.message() ... }
//     host.global_setdown();
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hostkit/Drawing.h"
#include "hostkit/Module.h"
#include "hostkit/World.h"
#include "sdk/AE_Effect.h"
#include "sdk/AE_EffectSuites.h"
#include "sdk/AE_EffectUI.h"

namespace hostkit {

constexpr A_long fourcc(const char (&s)[5])
{
    return A_long((std::uint32_t(std::uint8_t(s[0])) << 24) | (std::uint32_t(std::uint8_t(s[1])) << 16) |
                  (std::uint32_t(std::uint8_t(s[2])) << 8) | std::uint32_t(std::uint8_t(s[3])));
}

// What the host tells the plug-in in every in-data block. Times are in 1 / time_scale seconds.
struct HostConfig {
    A_short api_major = PF_PLUG_IN_VERSION; // below 12: the host takes no parameter groups
    A_short api_minor = PF_PLUG_IN_SUBVERS;
    A_long appl_id = fourcc("FXTC");
    int width = 320; // the effect's own layer (parameter 0) and the default output size
    int height = 180;
    int row_padding = 0; // extra bytes at the end of each row of the worlds the host makes
    A_long current_time = 0;
    A_long time_step = 1;
    A_long local_time_step = 1;
    A_long total_time = 300;
    A_u_long time_scale = 30;
    PF_Quality quality = PF_Quality_HI;
    PF_RationalScale downsample_x{1, 1};
    PF_RationalScale downsample_y{1, 1};
    bool suite_broker = true; // false: in-data carries no suite broker, as on a broken host
    // The application suite's answers: the cursor in window coordinates, and where the effect
    // window's origin sits on the screen (local-to-global adds it).
    PF_Point mouse{0, 0};
    PF_Point window_origin{100, 200};
    // False: progress reports are counted but not kept in progress_log(), so a host that renders for
    // hours does not grow a record per pixel row.
    bool log_progress = true;
    // True: the checks a test harness wants: every new handle's block is first filled with a marker
    // byte, so a plug-in that relies on zeroed host memory shows, and the input layer's pixels are
    // compared before and after each render. A host that renders for users leaves them out.
    bool harness_checks = true;
};

// One parameter as the host keeps it: the definition the plug-in added, whose value fields hold the
// current value.
struct HostParam {
    PF_ParamDef def{};
    A_long id = 0;
    std::string group;   // enclosing group names joined by '/'; for a group end, the group it closes
    std::string choices; // pop-up choices ('|'-separated), copied at definition time
    std::string label;   // checkbox label
    World* layer = nullptr; // layer parameters: the image the host lends for it (null: none)
    int changes = 0;     // how often the plug-in changed the value (changed flag set)
};

struct CheckoutRecord {
    PF_ParamIndex index;
    A_long what_time;
    A_long time_step;
    A_u_long time_scale;
};

struct ProgressRecord {
    A_long current;
    A_long total;
};

// What to leave out of, or put into, one call.
struct CallOptions {
    bool null_in_data = false;
    bool null_out_data = false;
    bool null_params = false;
    bool null_suite_broker = false;
    bool null_output = false;
    PF_LayerDef* output = nullptr;       // default: no output world (render passes its own)
    void* extra = nullptr;               // PF_EventExtra* for events
    const PF_OutData* out_init = nullptr; // default: a zeroed out-data block
};

// Counters of everything the plug-in asked of this host.
struct HostStats {
    long calls = 0;
    long add_param = 0;
    long checkouts = 0;
    long checkins = 0;
    long progress = 0;
    long abort_checks = 0;
    long register_ui = 0;
    long string_copies = 0;
    long handles_new = 0;
    long handles_disposed = 0;
    long suite_acquires = 0;
    long suite_releases = 0;
    long invalidates = 0;
    long local_to_global = 0;
    long get_mouse = 0;
};

class Host {
public:
    // Called on every callback the plug-in makes into this host, with the callback's name and the
    // serial number of the entry call it belongs to. Tests use it to see ordering and to re-enter.
    using Observer = std::function<void(Host&, std::string_view callback, std::uint64_t call_serial)>;

    explicit Host(std::shared_ptr<Module> module, HostConfig config = {});
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    HostConfig& config() { return config_; }
    const HostConfig& config() const { return config_; }
    const std::shared_ptr<Module>& module() const { return module_; }

    // ---- Commands --------------------------------------------------------------------------
    // The raw entry call; every other command helper goes through it.
    PF_Err call(PF_Cmd cmd, const CallOptions& options = {});
    PF_Err about(std::string* text); // the out-data message, as the plug-in wrote it
    PF_Err global_setup();
    PF_Err global_setdown();
    PF_Err params_setup(); // forgets the earlier parameters, then collects the plug-in's
    PF_Err sequence_setup();
    PF_Err sequence_setdown();
    PF_Err frame_setup();
    PF_Err frame_setdown();
    // Renders into `output` (ARGB 8-bit) from input() at config().current_time.
    PF_Err render(World& output);
    PF_Err event(PF_EventExtra& extra);
    // Global setup followed by parameter setup, as a host does when the effect is applied.
    PF_Err setup();

    // An event record for this host's effect window (context magic set, window type `window`).
    PF_EventExtra make_event(PF_EventType type, PF_WindowType window = PF_Window_EFFECT);

    // The out-data of the last finished call, and its message field as text.
    const PF_OutData& out_data() const { return last_out_; }
    std::string message() const;
    std::uint64_t last_call_serial() const { return last_serial_; }
    PF_Cmd last_command() const { return last_cmd_; }

    // ---- Parameters ------------------------------------------------------------------------
    // Parameter 0 is the effect's own input layer, supplied by the host.
    int param_count() const { return int(params_.size()); }
    const HostParam& param(int index) const { return params_.at(std::size_t(index)); }
    const std::vector<HostParam>& params() const { return params_; }
    // Index of the n-th (0-based) parameter with exactly this name, or -1.
    int find_param(std::string_view name, int occurrence = 0) const;
    // Takes another host's parameter list (definitions and values), as a host that opens a saved
    // project knows the parameters without asking the plug-in again. Layers are not taken.
    void adopt_params(const Host& donor);

    // Value setters as a user would change them; false for a wrong index or type.
    bool set_fixed(int index, double value); // fixed slider, angle
    bool set_int(int index, A_long value);   // pop-up, checkbox
    bool set_color(int index, PF_Pixel value);
    bool set_layer(int index, World* layer); // null: no layer
    // Sets a value from text as a user types it: a decimal number for sliders and angles, a choice
    // number or the exact choice text for pop-ups, 0/1/on/off for checkboxes, "r,g,b" (0..255) for
    // colours. False, with *error set, when the text does not fit the parameter.
    bool set_from_text(int index, std::string_view text, std::string* error = nullptr);

    World& input() { return input_; }

    // ---- Checks and scripts ----------------------------------------------------------------
    const std::vector<std::string>& misuse() const { return misuse_; }
    void clear_misuse() { misuse_.clear(); }
    const HostStats& stats() const { return stats_; }
    const std::vector<ProgressRecord>& progress_log() const { return progress_; }
    const std::vector<CheckoutRecord>& checkout_log() const { return checkouts_; }
    int register_ui_count() const { return int(stats_.register_ui); }
    const PF_CustomUIInfo& registered_ui() const { return ui_info_; }
    int suite_acquire_count(const std::string& name) const;

    // After `after` progress reports have been answered normally, every later one (and every
    // abort check) answers `code`. Negative `after`: never abort.
    void script_abort(long after, PF_Err code = PF_Interrupt_CANCEL);
    // After `after` host memory handles have been given, new ones are refused. Negative: never.
    void script_handle_failure(long after);
    // Checking out a parameter answers `code` (0: normal).
    void script_checkout_error(PF_Err code) { checkout_error_ = code; }

    void set_observer(Observer observer) { observer_ = std::move(observer); }

    // Called on every progress report (current, total) and abort check (0, 0) before the scripted
    // answers; a non-zero answer (PF_Interrupt_CANCEL) interrupts the render, as a user's cancel does.
    using ProgressListener = std::function<PF_Err(A_long current, A_long total)>;
    void set_progress_listener(ProgressListener listener) { listener_ = std::move(listener); }

    // What custom controls drew through the drawing suites (the custom-UI suite's draw reference).
    DrawRecorder& drawing() { return drawing_; }
    const DrawRecorder& drawing() const { return drawing_; }

    // Offer a suite through the broker (name and version must match exactly on acquire).
    void add_suite(const std::string& name, A_long version, const void* table);

    struct Frame; // one entry call in progress (internal)

private:
    friend struct Callbacks;

    void note(const Frame* frame, std::string what);
    void notify(std::string_view callback, std::uint64_t serial);
    void build_call_params(Frame& frame) const;
    void finish_call(Frame& frame, PF_Err err);
    void begin_params_setup();
    bool check_new_param(const Frame& frame, PF_ParamIndex index, const PF_ParamDef* def,
                         HostParam* out);
    PF_ParamDef value_def(int index) const;

    std::shared_ptr<Module> module_;
    HostConfig config_;
    std::vector<HostParam> params_;
    std::vector<std::string> group_stack_;
    World input_;
    std::vector<void*> worlds_; // pixel blocks of worlds made by new_world, not yet disposed
    std::vector<std::string> misuse_;
    HostStats stats_;
    std::vector<ProgressRecord> progress_;
    std::vector<CheckoutRecord> checkouts_;
    PF_CustomUIInfo ui_info_{};
    std::map<std::pair<std::string, A_long>, const void*> suites_;
    std::map<std::string, int> suite_acquires_;
    long abort_after_ = -1;
    PF_Err abort_code_ = PF_Interrupt_CANCEL;
    long handle_fail_after_ = -1;
    PF_Err checkout_error_ = PF_Err_NONE;
    Observer observer_;
    ProgressListener listener_;
    PF_OutData last_out_{};
    std::uint64_t last_serial_ = 0;
    PF_Cmd last_cmd_ = -1;
    int depth_ = 0;
    DrawRecorder drawing_;
    PF_Context context_{};
    PF_Context* context_ptr_ = &context_;
};

// ---- Process-wide bookkeeping ---------------------------------------------------------------

// Host memory handles given and not yet disposed, across every Host.
long live_host_handles();
// Misuse that no Host could be blamed for (a callback outside any entry call, a stale reference).
std::vector<std::string> orphan_misuse();
void clear_orphan_misuse();

// "PF_Cmd_RENDER" etc.; "command N" for values without a name.
std::string command_name(PF_Cmd cmd);
// "fix_slider", "popup", ... ; "type N" for unknown values.
std::string param_type_name(PF_ParamType type);

} // namespace hostkit
