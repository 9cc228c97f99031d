// One frei0r source instance: an effect instance of the plug-in module, driven through `PluginEntry`
// by the host kit as the command-line host drives it, with its values taken from the frei0r
// parameters and its frames handed over as RGBA8888.
//
// The values of a frame are built afresh whenever a parameter changed: the effect's defaults, then
// the preset, then `settings`, then `render_mode`, then the headline doubles the host has set. Bad
// values never reach the effect: the frame is transparent black and the reason goes to the standard
// error stream once (again only when the reason changes).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hostkit/Host.h"
#include "hostkit/ParamArray.h"
#include "hostkit/values/ParamValues.h"

namespace seavast_frei0r {

enum class ParamKind { text, number };

// One frei0r parameter. Headline numbers map 0..1 linearly onto [low, high] of the effect parameter
// `target` ("Group/Name"); low == high means the parameter's own slider range.
struct Frei0rParam {
    const char* name;
    ParamKind kind;
    const char* target;
    double low;
    double high;
    const char* explanation;
};

// In the order hosts number them: preset, settings, render_mode, then the headline numbers.
const std::vector<Frei0rParam>& frei0r_params();
constexpr int kPresetParam = 0;
constexpr int kSettingsParam = 1;
constexpr int kRenderModeParam = 2;

// Where a preset named in the `preset` parameter is read from: a file path. (Named presets of the
// preset store, CATEGORY/NAME, resolve here to their file.)
std::string preset_path(const std::string& name);

class SeaSource {
public:
    // `module` may be null (the plug-in could not be loaded; `load_error` says why): every frame is
    // then transparent black.
    SeaSource(std::shared_ptr<hostkit::Module> module, const std::string& load_error, int width, int height);
    ~SeaSource();
    SeaSource(const SeaSource&) = delete;
    SeaSource& operator=(const SeaSource&) = delete;

    void set_text(int param, const char* text);
    void set_number(int param, double value);
    // The text parameter's current value; stays valid until it is set again.
    const char* text(int param) const;
    double number(int param) const;

    // The frame at `seconds` as width x height RGBA8888 pixels, rows top to bottom.
    void update(double seconds, std::uint32_t* out);

    // The reason of the last failed frame, empty after a good one.
    const std::string& error() const { return error_; }

private:
    // The table row a headline number sets and the range 0..1 maps onto.
    int headline_row(const Frei0rParam& f, double* low, double* high) const;
    bool prepare(std::string* error);
    bool render(double seconds, std::string* error);
    void report(const std::string& error);

    std::mutex mutex_; // hosts may call an instance from more than one thread, never at once by rule
    std::shared_ptr<hostkit::Module> module_;
    std::unique_ptr<hostkit::Host> host_;
    hostkit::ParamValues values_{true};
    std::unique_ptr<hostkit::ParamArray> defaults_; // the values right after set-up, all marked changed
    hostkit::World frame_;
    int width_, height_;

    std::vector<std::string> texts_;
    std::vector<double> numbers_;
    std::vector<bool> number_set_;
    bool dirty_ = true;
    std::string prepare_error_;
    std::vector<hostkit::ParamSetting> settings_; // parsed `settings`, key frames applied per frame
    std::string error_;
    std::string reported_;
};

} // namespace seavast_frei0r
