#include "Session.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "host/ParamTable.h"
#include "host/Settings.h"
#include "hostkit/Fixed.h"
#include "PresetStore.h"
#include "platform/HyFiles.h"
#include "ui/PresetFile.h"

namespace seavast_app {
using hostkit::trim;

void add_param_options(CLI::App& cmd, ParamOptions& options)
{
    cmd.add_option("--set", options.sets,
                   "Set a parameter: NAME=VALUE with NAME a preset key (PW_WSPEED) or \"Group/Name\" "
                   "(\"Primary Waves/Wind Speed (M/S)\"); VALUE as the effect panel shows it (degrees, "
                   "choice text or number, r,g,b, on/off), or key frames VALUE@SECONDS,VALUE@SECONDS")
        ->type_name("NAME=VALUE");
    cmd.add_option("--preset", options.preset, "Load a preset before the --set values: a file (.wvp) or CATEGORY/NAME in the preset store")
        ->type_name("PRESET");
    cmd.add_option("--groups", options.groups,
                   "Parameter groups to take from the preset: All (default), \"Render Options\", \"Image Map 1\", "
                   "..., Camera, \"Air Optics\", \"Ocean Optics\", \"Primary Waves\", Lights, Swells")
        ->delimiter(',')
        ->type_name("NAME[,NAME...]");
}

Session::~Session()
{
    effect_.reset();
    if (host_) {
        for (int i = 1; i < host_->param_count(); ++i)
            if (host_->param(i).def.param_type == PF_Param_LAYER)
                host_->set_layer(i, nullptr); // the layers belong to the caller
        host_->global_setdown();
    }
}

bool Session::open(const CommonOptions& common, const ParamOptions& params, int width, int height)
{
    module_ = load_plugin(common);
    if (!module_)
        return false;
    hostkit::HostConfig config;
    config.width = width;
    config.height = height;
    host_ = std::make_unique<hostkit::Host>(module_, config);
    PF_Err err = host_->setup();
    if (err != PF_Err_NONE) {
        fail("the plug-in answered " + plugin_error_text(err, *host_) + " to set-up");
        return false;
    }
    if (host_->param_count() != (config.api_major >= 12 ? kParamCountWithGroups : kParamCountWithoutGroups)) {
        fail("the plug-in defined " + std::to_string(host_->param_count()) + " parameters, not the expected " +
             std::to_string(config.api_major >= 12 ? kParamCountWithGroups : kParamCountWithoutGroups));
        return false;
    }

    if (!params.preset.empty()) {
        std::uint32_t mask = 0;
        if (params.groups.empty())
            mask = kPresetAll;
        for (const std::string& g : params.groups) {
            const std::uint32_t bit = PresetMaskForName(trim(g));
            if (bit == 0) {
                fail("unknown parameter group \"" + g + "\" in --groups");
                return false;
            }
            mask |= bit;
        }
        std::string text, path, error;
        if (!resolve_preset_argument(params.preset, &path, &error)) {
            fail("--preset " + params.preset + ": " + error);
            return false;
        }
        const preset_file::Status status = preset_file::Read(path, text);
        if (status != preset_file::Status::Ok) {
            fail("cannot read the preset " + params.preset + ": " + preset_file::StatusText(status));
            return false;
        }
        std::vector<std::string> warnings;
        if (!values_.load_preset(*host_, text, mask, &warnings)) {
            fail("the preset " + params.preset + " has no SeaVast_Ver key; nothing would be loaded from it");
            return false;
        }
        for (const std::string& w : warnings)
            std::cerr << "seavast: warning: " << params.preset << ": " << w << "\n";
    }

    for (const std::string& s : params.sets) {
        ParamSetting setting;
        std::string error;
        if (!values_.parse_setting(s, &setting, &error)) {
            fail("--set " + s + ": " + error);
            return false;
        }
        settings_.push_back(setting);
    }
    apply_settings(0.0);
    return true;
}

int Session::index_of_row(int row) const { return values_.index_of_row(row); }

int Session::render_mode_index() const { return values_.render_mode_index(); }

void Session::apply_settings(double seconds)
{
    for (const ParamSetting& s : settings_)
        values_.apply(*host_, s, seconds);
}

CEffectVaskel1& Session::effect()
{
    if (!adapter_)
        adapter_ = std::make_unique<CAEHost>(0, 0);
    array_ = std::make_unique<hostkit::ParamArray>(*host_);
    array_->bind(*adapter_);
    if (!effect_) {
        effect_ = std::make_unique<CEffectVaskel1>();
        effect_->SetHost(adapter_.get());
        effect_->RegisterParams();
    }
    return *effect_;
}

void Session::commit()
{
    if (array_)
        array_->write_back(*host_);
}

std::string Session::save_preset() { return effect().SavePreset(); }

std::string check_writable(const std::string& path)
{
    namespace fs = std::filesystem;
    const fs::path file = hyplat::file_path(path);
    fs::path dir = file.parent_path();
    if (dir.empty())
        dir = ".";
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        return "the folder " + hyplat::file_name(dir) + " does not exist";
#if !defined(_WIN32)
    // Windows keeps no write permission on folders that access() could see; a refusal shows on writing.
    if (::access(dir.c_str(), W_OK) != 0)
        return "cannot write into " + dir.string();
#endif
    if (fs::is_directory(file, ec))
        return path + " is a folder";
    return "";
}

std::string write_atomically(const std::string& path, const std::function<std::string(const std::string&)>& write)
{
    namespace fs = std::filesystem;
    const fs::path target = hyplat::file_path(path);
    fs::path dir = target.parent_path();
    if (dir.empty())
        dir = ".";
    std::error_code ec;
    if (const std::string e = check_writable(path); !e.empty())
        return e;
    fs::path name = ".";
    name += target.stem();
    name += ".part" + std::to_string(::getpid());
    name += target.extension();
    const fs::path temp = dir / name;
    const std::string error = write(hyplat::file_name(temp));
    if (!error.empty()) {
        fs::remove(temp, ec);
        return error;
    }
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return "cannot write " + path + ": " + ec.message();
    }
    return "";
}

} // namespace seavast_app
