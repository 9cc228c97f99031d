// What the render, export and preset commands share: a host with the plug-in's parameters, the
// parameter options (--set, --preset, --groups), the value text a user types and the time a host
// passes, and an in-process effect object that reads and writes those parameters as the plug-in does
// (for presets and for the exported sea).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "Command.h"
#include "host/CAEHost.h"
#include "host/CEffectVaskel1.h"
#include "hostkit/Host.h"
#include "hostkit/HostTime.h"
#include "hostkit/ParamArray.h"
#include "hostkit/values/ParamValues.h"

namespace seavast_app {

// Options that pick parameter values.
struct ParamOptions {
    std::vector<std::string> sets;  // --set NAME=VALUE
    std::string preset;             // --preset FILE.wvp
    std::vector<std::string> groups; // --groups NAME[,NAME...]
};
void add_param_options(CLI::App& cmd, ParamOptions& options);

using hostkit::HostTime;
using hostkit::parse_time;
using hostkit::ParamSetting;

class Session {
public:
    Session() = default;
    // Global setdown: the plug-in frees what the instance built, as when a host quits.
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Loads the plug-in, sets up an instance with an output of width x height, applies the preset
    // and the --set values. False after printing one error line.
    bool open(const CommonOptions& common, const ParamOptions& params, int width, int height);

    hostkit::Host& host() { return *host_; }
    // Index of the parameter of a table row for this host.
    int index_of_row(int row) const;
    int render_mode_index() const;

    // Every --set at `seconds` (key frames interpolated linearly, held beyond their ends).
    void apply_settings(double seconds);

    // An effect object reading the host's current values (fresh copy each call).
    CEffectVaskel1& effect();
    // Hands what the effect object changed back to the host.
    void commit();

    // Preset text of the current values.
    std::string save_preset();

private:
    std::shared_ptr<hostkit::Module> module_;
    std::unique_ptr<hostkit::Host> host_;
    std::vector<ParamSetting> settings_;
    std::unique_ptr<hostkit::ParamArray> array_;
    std::unique_ptr<CAEHost> adapter_;
    std::unique_ptr<CEffectVaskel1> effect_;
    hostkit::ParamValues values_{true};
};

using hostkit::render_mode_choice;
using hostkit::render_mode_name;

// "" when `path` can be created or replaced, else why not.
std::string check_writable(const std::string& path);

// Writes `path` through a temporary file beside it, so a failed write leaves no partial file:
// `write` gets the temporary name (with the same extension) and returns an error text or "".
std::string write_atomically(const std::string& path, const std::function<std::string(const std::string&)>& write);

} // namespace seavast_app
