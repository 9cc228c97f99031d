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
#include "platform/HyFiles.h"
#include "ui/PresetFile.h"

namespace seavast_app {
namespace {

std::string trim(const std::string& s)
{
    std::size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
        --b;
    return s.substr(a, b - a);
}

std::string lower(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool same_text(const std::string& a, const std::string& b) { return lower(trim(a)) == lower(trim(b)); }

// A whole number or decimal with nothing after it.
bool parse_number(const std::string& text, double* out)
{
    const std::string t = trim(text);
    if (t.empty())
        return false;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || *end != '\0' || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == sep) {
            out.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    out.push_back(cur);
    return out;
}

std::vector<std::string> choices_of(const ParamRow& row) { return split(row.choices ? row.choices : "", '|'); }

// The group a user names: the table's group names, and "Swells" for the swells' own fields too.
bool group_matches(const ParamRow& row, const std::string& group)
{
    if (same_text(group, ParamGroupName(row.group)))
        return true;
    return (row.group == ParamGroup::Swell1 || row.group == ParamGroup::Swell2) && same_text(group, "Swells");
}

std::string number_text(double v)
{
    std::ostringstream s;
    s << v;
    return s.str();
}

} // namespace

void add_param_options(CLI::App& cmd, ParamOptions& options)
{
    cmd.add_option("--set", options.sets,
                   "Set a parameter: NAME=VALUE with NAME a preset key (PW_WSPEED) or \"Group/Name\" "
                   "(\"Primary Waves/Wind Speed (M/S)\"); VALUE as the effect panel shows it (degrees, "
                   "choice text or number, r,g,b, on/off), or key frames VALUE@SECONDS,VALUE@SECONDS")
        ->type_name("NAME=VALUE");
    cmd.add_option("--preset", options.preset, "Load a preset file (.wvp) before the --set values")
        ->type_name("FILE");
    cmd.add_option("--groups", options.groups,
                   "Parameter groups to take from the preset: All (default), \"Render Options\", \"Image Map 1\", "
                   "..., Camera, \"Air Optics\", \"Ocean Optics\", \"Primary Waves\", Lights, Swells")
        ->delimiter(',')
        ->type_name("NAME[,NAME...]");
}

bool parse_time(const std::string& text, HostTime* out)
{
    const std::string t = trim(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+'))
        negative = t[i++] == '-';
    long long whole = 0, frac = 0;
    int digits = 0, fracDigits = 0;
    for (; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])); ++i, ++digits) {
        whole = whole * 10 + (t[i] - '0');
        if (whole > 2147483647LL)
            return false;
    }
    if (i < t.size() && t[i] == '.') {
        for (++i; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])); ++i) {
            if (++fracDigits > 6)
                return false;
            frac = frac * 10 + (t[i] - '0');
        }
    }
    if (i != t.size() || digits + fracDigits == 0)
        return false;
    long long scale = 1;
    for (int d = 0; d < fracDigits; ++d)
        scale *= 10;
    // Trailing zeros need no finer scale: 7.250 is 725 / 100.
    while (scale > 1 && frac % 10 == 0) {
        frac /= 10;
        scale /= 10;
    }
    const long long value = whole * scale + frac;
    if (value > 2147483647LL)
        return false;
    out->value = A_long(negative ? -value : value);
    out->scale = A_u_long(scale);
    return true;
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
    index_ = ParamIndexMapFor(config.api_major >= 12);
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
        std::string text;
        const preset_file::Status status = preset_file::Read(params.preset, text);
        if (status != preset_file::Status::Ok) {
            fail("cannot read the preset " + params.preset + ": " + preset_file::StatusText(status));
            return false;
        }
        std::vector<std::string> warnings;
        if (!effect().LoadPreset(text, mask, &warnings)) {
            fail("the preset " + params.preset + " has no SeaVast_Ver key; nothing would be loaded from it");
            return false;
        }
        commit();
        for (const std::string& w : warnings)
            std::cerr << "seavast: warning: " << params.preset << ": " << w << "\n";
    }

    for (const std::string& s : params.sets) {
        ParamSetting setting;
        std::string error;
        if (!parse_setting(s, &setting, &error)) {
            fail("--set " + s + ": " + error);
            return false;
        }
        settings_.push_back(setting);
    }
    apply_settings(0.0);
    return true;
}

int Session::index_of_row(int row) const { return index_[std::size_t(row)]; }

int Session::render_mode_index() const
{
    const auto& t = ParamTable();
    for (int r = 0; r < kParamCountWithGroups; ++r)
        if (t[std::size_t(r)].group == ParamGroup::RenderOptions && t[std::size_t(r)].kind == kParamPopup &&
            std::string(t[std::size_t(r)].choices).find("Grayscale") != std::string::npos)
            return index_[std::size_t(r)];
    return -1;
}

int Session::resolve(const std::string& name, int* component, std::string* error) const
{
    const auto& t = ParamTable();
    *component = -1;
    // A preset key names its parameter (and, for colours, one component).
    for (const PresetKeyInfo& k : PresetKeys())
        if (same_text(name, k.key)) {
            const ParamRow& row = t[std::size_t(k.row)];
            if (row.kind == kParamColor)
                *component = k.component;
            if (row.group == ParamGroup::Swells)
                *component = -1;
            return k.row;
        }
    std::vector<int> hits;
    // "Group/Name": the group ends at the first "/", since names such as "Wind Speed (M/S)" hold one.
    const std::size_t slash = name.find('/');
    if (slash != std::string::npos) {
        const std::string group = name.substr(0, slash), rest = name.substr(slash + 1);
        for (int r = 0; r < kParamCountWithGroups; ++r) {
            const ParamRow& row = t[std::size_t(r)];
            if (!ParamIsGroupRow(row) && row.kind != kParamHostInput && group_matches(row, group) &&
                same_text(rest, row.name))
                hits.push_back(r);
        }
    }
    if (hits.empty())
        for (int r = 0; r < kParamCountWithGroups; ++r) {
            const ParamRow& row = t[std::size_t(r)];
            if (!ParamIsGroupRow(row) && row.kind != kParamHostInput && same_text(name, row.name))
                hits.push_back(r);
        }
    if (hits.size() == 1) {
        const ParamRow& row = t[std::size_t(hits[0])];
        if (row.kind == kParamLayer || row.kind == kParamCustomUI) {
            *error = "\"" + name + "\" is not a value parameter (image-map layers are given with --map1..3)";
            return -1;
        }
        return hits[0];
    }
    if (hits.empty()) {
        *error = "unknown parameter \"" + name + "\" (see `seavast params`; use a preset key or \"Group/Name\")";
        return -1;
    }
    *error = "\"" + name + "\" is ambiguous: it is in";
    for (int r : hits)
        *error += std::string(" \"") + ParamGroupName(t[std::size_t(r)].group) + "\"";
    *error += "; write \"Group/Name\"";
    return -1;
}

bool Session::parse_setting(const std::string& text, ParamSetting* out, std::string* error) const
{
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) {
        *error = "expected NAME=VALUE";
        return false;
    }
    const std::string name = text.substr(0, eq), value = trim(text.substr(eq + 1));
    out->name = name;
    out->row = resolve(name, &out->component, error);
    if (out->row < 0)
        return false;
    const ParamRow& row = ParamTable()[std::size_t(out->row)];
    if (index_of_row(out->row) < 0) {
        *error = "this host has no parameter \"" + std::string(row.name) + "\"";
        return false;
    }
    const std::string what = "\"" + trim(row.name) + "\"";

    if (row.kind == kParamColor && out->component < 0) {
        const std::vector<std::string> parts = split(value, ',');
        double rgb[3];
        if (parts.size() != 3 || !parse_number(parts[0], &rgb[0]) || !parse_number(parts[1], &rgb[1]) ||
            !parse_number(parts[2], &rgb[2])) {
            *error = "a colour is red,green,blue with each 0..255, not \"" + value + "\"";
            return false;
        }
        for (double c : rgb)
            if (c < 0 || c > 255 || c != std::floor(c)) {
                *error = "colour components are whole numbers 0..255, not \"" + value + "\"";
                return false;
            }
        out->is_colour = true;
        out->colour = PF_Pixel{255, A_u_char(rgb[0]), A_u_char(rgb[1]), A_u_char(rgb[2])};
        return true;
    }

    // Key frames: VALUE@TIME,VALUE@TIME...; one plain value is a constant.
    std::vector<std::string> items = value.find('@') != std::string::npos ? split(value, ',') : std::vector<std::string>{value};
    const bool animated = value.find('@') != std::string::npos;
    if (animated && (row.flags & kParamFlagCannotTimeVary)) {
        *error = what + " cannot vary over time";
        return false;
    }
    if (animated && row.kind != kParamSlider && row.kind != kParamAngle && row.kind != kParamColor) {
        *error = "key frames are for sliders and angles";
        return false;
    }
    for (const std::string& item : items) {
        std::string v = item;
        double time = 0.0;
        if (animated) {
            const std::size_t at = item.find('@');
            if (at == std::string::npos || !parse_number(item.substr(at + 1), &time)) {
                *error = "a key frame is VALUE@SECONDS, not \"" + item + "\"";
                return false;
            }
            v = item.substr(0, at);
        }
        double number = 0.0;
        switch (row.kind) {
        case kParamPopup: {
            const std::vector<std::string> choices = choices_of(row);
            int choice = 0;
            for (std::size_t k = 0; k < choices.size(); ++k)
                if (same_text(v, choices[k]))
                    choice = int(k) + 1;
            if (choice == 0 && parse_number(v, &number) && number == std::floor(number) && number >= 1 &&
                number <= row.choiceCount)
                choice = int(number);
            if (choice == 0) {
                *error = what + " is one of";
                for (std::size_t k = 0; k < choices.size(); ++k)
                    *error += (k ? ", \"" : " \"") + choices[k] + "\"";
                *error += " (or 1.." + std::to_string(row.choiceCount) + "), not \"" + v + "\"";
                return false;
            }
            number = choice;
            break;
        }
        case kParamCheckbox: {
            const std::string l = lower(trim(v));
            if (l == "on" || l == "1" || l == "true" || l == "yes")
                number = 1;
            else if (l == "off" || l == "0" || l == "false" || l == "no")
                number = 0;
            else {
                *error = what + " is on or off, not \"" + v + "\"";
                return false;
            }
            break;
        }
        case kParamColor:
            if (!parse_number(v, &number) || number < 0 || number > 255 || number != std::floor(number)) {
                *error = "a colour component is a whole number 0..255, not \"" + v + "\"";
                return false;
            }
            break;
        case kParamSlider: {
            float lo = 0, hi = 0;
            ParamValidRange(row, &lo, &hi);
            if (!parse_number(v, &number)) {
                *error = what + " takes a number, not \"" + v + "\"";
                return false;
            }
            const double fixed = hostkit::from_fixed(hostkit::to_fixed(number));
            if (fixed < hostkit::from_fixed(hostkit::to_fixed(lo)) || fixed > hostkit::from_fixed(hostkit::to_fixed(hi))) {
                *error = what + " takes " + number_text(lo) + " .. " + number_text(hi) + ", not " + v;
                return false;
            }
            break;
        }
        case kParamAngle:
            if (!parse_number(v, &number) || std::fabs(number) > 32767.0) {
                *error = what + " takes an angle in degrees, not \"" + v + "\"";
                return false;
            }
            break;
        default:
            *error = what + " cannot be set";
            return false;
        }
        out->keys.emplace_back(time, number);
    }
    std::stable_sort(out->keys.begin(), out->keys.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return true;
}

void Session::apply_settings(double seconds)
{
    for (const ParamSetting& s : settings_) {
        const int i = index_of_row(s.row);
        const ParamRow& row = ParamTable()[std::size_t(s.row)];
        if (s.is_colour) {
            host_->set_color(i, s.colour);
            continue;
        }
        // Linear between key frames, held beyond the first and the last.
        double v = s.keys.front().second;
        if (s.keys.size() > 1) {
            if (seconds >= s.keys.back().first) {
                v = s.keys.back().second;
            } else if (seconds > s.keys.front().first) {
                for (std::size_t k = 1; k < s.keys.size(); ++k)
                    if (seconds <= s.keys[k].first) {
                        const auto& a = s.keys[k - 1];
                        const auto& b = s.keys[k];
                        const double f = b.first > a.first ? (seconds - a.first) / (b.first - a.first) : 1.0;
                        v = a.second + f * (b.second - a.second);
                        break;
                    }
            }
        }
        switch (row.kind) {
        case kParamPopup:
        case kParamCheckbox: host_->set_int(i, A_long(v)); break;
        case kParamColor: {
            PF_Pixel p = host_->param(i).def.u.cd.value;
            const A_u_char c = A_u_char(std::lround(v));
            (s.component == 0 ? p.red : s.component == 1 ? p.green : p.blue) = c;
            host_->set_color(i, p);
            break;
        }
        default: host_->set_fixed(i, v); break;
        }
    }
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

int render_mode_choice(const std::string& text)
{
    const ParamRow* mode = nullptr;
    for (const ParamRow& r : ParamTable())
        if (r.kind == kParamPopup && r.choices && std::string(r.choices).find("Grayscale [Icons]") != std::string::npos)
            mode = &r;
    if (!mode)
        return 0;
    const std::vector<std::string> choices = choices_of(*mode);
    for (std::size_t k = 0; k < choices.size(); ++k)
        if (same_text(text, choices[k]))
            return int(k) + 1;
    double n = 0;
    if (parse_number(text, &n) && n == std::floor(n) && n >= 1 && n <= double(choices.size()))
        return int(n);
    return 0;
}

const char* render_mode_name(int choice)
{
    static std::vector<std::string> names;
    if (names.empty())
        for (const ParamRow& r : ParamTable())
            if (r.kind == kParamPopup && r.choices && std::string(r.choices).find("Grayscale [Icons]") != std::string::npos)
                names = choices_of(r);
    return choice >= 1 && choice <= int(names.size()) ? names[std::size_t(choice - 1)].c_str() : "?";
}

bool expand_frame_pattern(const std::string& pattern, long frame, std::string* out)
{
    std::string result;
    bool any = false;
    for (std::size_t i = 0; i < pattern.size();) {
        if (pattern[i] != '#') {
            result.push_back(pattern[i++]);
            continue;
        }
        std::size_t n = 0;
        while (i < pattern.size() && pattern[i] == '#') {
            ++n;
            ++i;
        }
        std::string digits = std::to_string(frame < 0 ? -frame : frame);
        if (digits.size() < n)
            digits.insert(0, n - digits.size(), '0');
        if (frame < 0)
            digits.insert(0, "-");
        result += digits;
        any = true;
    }
    *out = result;
    return any;
}

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
