#include "hostkit/values/ParamValues.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "host/CAEHost.h"
#include "host/ParamTable.h"
#include "hostkit/Fixed.h"
#include "hostkit/ParamArray.h"

namespace hostkit {
namespace {

std::string lower(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
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

std::string trim(const std::string& s)
{
    std::size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
        --b;
    return s.substr(a, b - a);
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

ParamValues::ParamValues(bool groups) : index_(ParamIndexMapFor(groups)) {}

int ParamValues::render_mode_index() const
{
    const auto& t = ParamTable();
    for (int r = 0; r < kParamCountWithGroups; ++r)
        if (t[std::size_t(r)].group == ParamGroup::RenderOptions && t[std::size_t(r)].kind == kParamPopup &&
            std::string(t[std::size_t(r)].choices).find("Grayscale") != std::string::npos)
            return index_[std::size_t(r)];
    return -1;
}

int ParamValues::resolve(const std::string& name, int* component, std::string* error) const
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

bool ParamValues::parse_setting(const std::string& text, ParamSetting* out, std::string* error) const
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
    // Built by appending: GCC 12 misreads "\"" + std::string as an overlapping copy (-Wrestrict).
    std::string what = "\"";
    what += trim(row.name);
    what += '"';

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
            const double fixed = from_fixed(to_fixed(number));
            if (fixed < from_fixed(to_fixed(lo)) || fixed > from_fixed(to_fixed(hi))) {
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

void ParamValues::apply(Host& host, const ParamSetting& s, double seconds) const
{
    {
        const int i = index_of_row(s.row);
        const ParamRow& row = ParamTable()[std::size_t(s.row)];
        if (s.is_colour) {
            host.set_color(i, s.colour);
            return;
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
        case kParamCheckbox: host.set_int(i, A_long(v)); break;
        case kParamColor: {
            PF_Pixel p = host.param(i).def.u.cd.value;
            const A_u_char c = A_u_char(std::lround(v));
            (s.component == 0 ? p.red : s.component == 1 ? p.green : p.blue) = c;
            host.set_color(i, p);
            break;
        }
        default: host.set_fixed(i, v); break;
        }
    }
}

bool ParamValues::load_preset(Host& host, const std::string& text, std::uint32_t mask,
                              std::vector<std::string>* warnings) const
{
    CSettings s;
    SettingsSetDefaults(s);
    if (!PresetRead(text, mask, s, warnings))
        return false;
    // The plug-in's own adapter writes the converted values into a parameter array, as it would
    // during a command; the host then takes the ones it changed.
    ParamArray array(host);
    CAEHost adapter(0, 0);
    array.bind(adapter);
    SettingsWriteToHost(adapter, index_, s, mask, warnings);
    array.write_back(host);
    return true;
}

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

} // namespace hostkit
