#include "frei0r/SeaSource.h"

#include <cmath>
#include <cstdio>

#include "host/ParamTable.h"
#include "hostkit/Fixed.h"
#include "hostkit/HostTime.h"
#include "ui/HyPresetStore.h"
#include "ui/PresetFile.h"

namespace seavast_frei0r {
namespace {

// A headline number also switching a checkbox on (value above 0) or off.
struct Switch {
    const char* param;
    const char* key;
};
constexpr Switch kSwitches[] = {{"haze", "AO_HAZE"}};

std::string number_text(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

} // namespace

const std::vector<Frei0rParam>& frei0r_params()
{
    // Targets are preset keys; angles take the range given here, sliders their slider range.
    static const std::vector<Frei0rParam> params = {
        {"preset", ParamKind::text, nullptr, 0, 0, "Preset file (.wvp) loaded first; empty: the defaults"},
        {"settings", ParamKind::text, nullptr, 0, 0,
         "KEY=VALUE;KEY=VALUE with preset keys or names of `seavast params`, values as the effect panel shows them"},
        {"render_mode", ParamKind::text, nullptr, 0, 0, "A \"Render Mode:\" choice by its text or number"},
        {"wind_speed", ParamKind::number, "PW_WSPEED", 0, 0, "Wind Speed (M/S), 0..1 = 0..20"},
        {"wind_direction", ParamKind::number, "PW_WDIR", 0, 360, "Wind Direction, 0..1 = 0..360 degrees"},
        {"camera_height", ParamKind::number, "CP_Z", 0, 0, "Camera Elevation (M), 0..1 = -10..500"},
        {"pitch", ParamKind::number, "CP_PITCH", 0, 180, "Camera Tilt, 0..1 = 0..180 degrees"},
        {"pan", ParamKind::number, "CP_YAW", 0, 360, "Camera Pan, 0..1 = 0..360 degrees"},
        {"field_of_view", ParamKind::number, "CP_HFOV", 0, 0, "Field Of View, 0..1 = 1..90 degrees"},
        {"sun_elevation", ParamKind::number, "0_LP_01", 0, 90, "Light 1 Elevation, 0..1 = 0..90 degrees"},
        {"sun_azimuth", ParamKind::number, "0_LP_012", 0, 360, "Light 1 Azimuth, 0..1 = 0..360 degrees"},
        {"haze", ParamKind::number, "AO_HVIS", 25, 0,
         "Haze: 0..1 = visibility 25..0 KM; above 0 also switches Haze On, 0 switches it off"},
        {"vertical_scale", ParamKind::number, "PW_LSCALE", 0, 0, "Vertical Scale (M), 0..1 = 0..10"},
        {"time_stretch", ParamKind::number, "OP_TSCALE", 0, 0, "Time Stretch, 0..1 = 0..60"},
        {"wave_smoothness", ParamKind::number, "PW_GLASS", 0, 0, "Wave Smoothness, 0..1 = 0..20"},
    };
    return params;
}

std::string preset_path(const std::string& name)
{
    // A store name that cannot be found stays as given: reading it then fails with the name in the message.
    std::string path;
    return ResolvePresetArgument(name, &path).ok() ? path : name;
}

SeaSource::SeaSource(std::shared_ptr<hostkit::Module> module, const std::string& load_error, int width,
                     int height)
    : module_(std::move(module)), width_(width), height_(height)
{
    const std::size_t n = frei0r_params().size();
    texts_.assign(n, "");
    numbers_.assign(n, 0.0);
    number_set_.assign(n, false);
    if (!module_) {
        prepare_error_ = load_error;
        return;
    }
    hostkit::HostConfig config;
    config.width = width;
    config.height = height;
    config.log_progress = false;
    config.harness_checks = false;
    host_ = std::make_unique<hostkit::Host>(module_, config);
    const PF_Err err = host_->setup();
    if (err != PF_Err_NONE || host_->param_count() != kParamCountWithGroups) {
        prepare_error_ = "the plug-in answered error " + std::to_string(err) + " to set-up (" +
                         std::to_string(host_->param_count()) + " parameters)";
        host_.reset();
        return;
    }
    defaults_ = std::make_unique<hostkit::ParamArray>(*host_);
    for (int i = 0; i < host_->param_count(); ++i)
        defaults_->params()[i]->uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
    // Headline numbers read back as the effect's defaults until the host sets them.
    for (std::size_t p = 0; p < n; ++p) {
        const Frei0rParam& f = frei0r_params()[p];
        if (f.kind != ParamKind::number)
            continue;
        double lo = 0, hi = 0;
        const int row = headline_row(f, &lo, &hi);
        const PF_ParamDef& def = host_->param(values_.index_of_row(row)).def;
        const double v = hostkit::from_fixed(def.param_type == PF_Param_ANGLE ? def.u.ad.value : def.u.fd.value);
        numbers_[p] = hi != lo ? (v - lo) / (hi - lo) : 0.0;
    }
}

int SeaSource::headline_row(const Frei0rParam& f, double* low, double* high) const
{
    int component = -1;
    std::string error;
    const int row = values_.resolve(f.target, &component, &error);
    const bool own = f.low == f.high;
    *low = own ? ParamTable()[std::size_t(row)].sliderMin : f.low;
    *high = own ? ParamTable()[std::size_t(row)].sliderMax : f.high;
    return row;
}

SeaSource::~SeaSource()
{
    if (host_)
        host_->global_setdown();
}

void SeaSource::set_text(int param, const char* text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string t = text ? text : "";
    if (t != texts_[std::size_t(param)]) {
        texts_[std::size_t(param)] = t;
        dirty_ = true;
    }
}

void SeaSource::set_number(int param, double value)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t p = std::size_t(param);
    if (!number_set_[p] || !(value == numbers_[p])) {
        numbers_[p] = value;
        number_set_[p] = true;
        dirty_ = true;
    }
}

const char* SeaSource::text(int param) const { return texts_[std::size_t(param)].c_str(); }

double SeaSource::number(int param) const { return numbers_[std::size_t(param)]; }

// Rebuilds the values of every frame from the defaults; false with the first problem found.
bool SeaSource::prepare(std::string* error)
{
    defaults_->write_back(*host_);
    settings_.clear();

    const std::string& preset = texts_[kPresetParam];
    if (!preset.empty()) {
        const std::string path = preset_path(preset);
        std::string text;
        const preset_file::Status status = preset_file::Read(path, text);
        if (status != preset_file::Status::Ok) {
            *error = "cannot read the preset " + path + ": " + preset_file::StatusText(status);
            return false;
        }
        std::vector<std::string> warnings;
        if (!values_.load_preset(*host_, text, kPresetAll, &warnings)) {
            *error = "the preset " + path + " has no SeaVast_Ver key";
            return false;
        }
        for (const std::string& w : warnings)
            std::fprintf(stderr, "seavast: warning: %s: %s\n", path.c_str(), w.c_str());
    }

    for (const std::string& item : hostkit::split(texts_[kSettingsParam], ';')) {
        if (hostkit::trim(item).empty())
            continue;
        hostkit::ParamSetting s;
        std::string e;
        if (!values_.parse_setting(hostkit::trim(item), &s, &e)) {
            *error = "settings \"" + hostkit::trim(item) + "\": " + e;
            return false;
        }
        settings_.push_back(std::move(s));
    }

    const std::string& mode = texts_[kRenderModeParam];
    if (!hostkit::trim(mode).empty()) {
        const int choice = hostkit::render_mode_choice(mode);
        if (choice == 0) {
            *error = "unknown render_mode \"" + mode + "\"";
            return false;
        }
        hostkit::ParamSetting s;
        std::string e;
        values_.parse_setting("OP_RENMODE=" + std::to_string(choice), &s, &e);
        settings_.push_back(std::move(s));
    }

    for (std::size_t p = 0; p < frei0r_params().size(); ++p) {
        const Frei0rParam& f = frei0r_params()[p];
        if (f.kind != ParamKind::number || !number_set_[p])
            continue;
        const double v = numbers_[p];
        if (!(v >= 0.0 && v <= 1.0)) {
            *error = std::string(f.name) + " takes 0..1, not " + number_text(v);
            return false;
        }
        double lo = 0, hi = 0;
        headline_row(f, &lo, &hi);
        hostkit::ParamSetting s;
        std::string e;
        if (!values_.parse_setting(std::string(f.target) + "=" + number_text(lo + v * (hi - lo)), &s, &e)) {
            *error = std::string(f.name) + ": " + e;
            return false;
        }
        settings_.push_back(std::move(s));
        for (const Switch& sw : kSwitches)
            if (std::string(sw.param) == f.name) {
                values_.parse_setting(std::string(sw.key) + (v > 0.0 ? "=on" : "=off"), &s, &e);
                settings_.push_back(s);
            }
    }
    return true;
}

bool SeaSource::render(double seconds, std::string* error)
{
    hostkit::HostTime t;
    if (!hostkit::time_from_seconds(seconds, &t)) {
        *error = "the host asked for a frame at " + number_text(seconds) + " s";
        return false;
    }
    for (const hostkit::ParamSetting& s : settings_)
        values_.apply(*host_, s, t.seconds());
    hostkit::set_frame_time(host_->config(), t);
    if (frame_.width() != width_ || frame_.height() != height_)
        frame_.resize(width_, height_);
    const PF_Err err = host_->render(frame_);
    if (err != PF_Err_NONE || (host_->out_data().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE)) {
        *error = "the plug-in answered error " + std::to_string(err) + " at " + number_text(seconds) + " s: \"" +
                 host_->message() + "\"";
        return false;
    }
    return true;
}

void SeaSource::report(const std::string& error)
{
    error_ = error;
    if (!error.empty() && error != reported_) {
        std::fprintf(stderr, "seavast: %s; the frame stays transparent black\n", error.c_str());
        std::fflush(stderr);
    }
    reported_ = error.empty() ? reported_ : error;
}

void SeaSource::update(double seconds, std::uint32_t* out)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::uint8_t* bytes = reinterpret_cast<std::uint8_t*>(out);
    const std::size_t count = std::size_t(width_) * std::size_t(height_);
    std::string error = prepare_error_;
    if (error.empty() && dirty_) {
        if (!prepare(&error))
            settings_.clear();
        dirty_ = !error.empty();
        if (!error.empty())
            defaults_->write_back(*host_);
    }
    if (error.empty())
        render(seconds, &error);
    report(error);
    if (!error.empty()) {
        for (std::size_t i = 0; i < count * 4; ++i)
            bytes[i] = 0;
        return;
    }
    for (int y = 0; y < height_; ++y) {
        const PF_Pixel* row = frame_.row(y);
        std::uint8_t* dst = bytes + std::size_t(y) * std::size_t(width_) * 4;
        for (int x = 0; x < width_; ++x, dst += 4) {
            dst[0] = row[x].red;
            dst[1] = row[x].green;
            dst[2] = row[x].blue;
            dst[3] = row[x].alpha;
        }
    }
}

} // namespace seavast_frei0r
