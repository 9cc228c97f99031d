// The effect's parameter values as users type them, for hosts that drive the plug-in without its
// effect object: the command-line host's --set and --preset, and the frei0r adapter's settings and
// preset strings. Names are preset keys (PW_WSPEED), "Group/Name" or a unique name; values are what
// the effect panel shows (degrees, choice text or number, r,g,b, on/off), optionally key-framed.
//
// Presets store the settings record's engine units; loading one converts through the same table the
// plug-in uses, so a preset gives the host exactly the values the presets panel would.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/Settings.h"
#include "hostkit/Host.h"

namespace hostkit {

// One NAME=VALUE, resolved: the parameter and its value, or its key frames.
struct ParamSetting {
    std::string name;    // as the user wrote it, for messages
    int row = 0;         // ParamTable() index
    int component = -1;  // a colour's single component when set through its key
    std::vector<std::pair<double, double>> keys; // (time, value) sorted; one entry: constant
    PF_Pixel colour{};   // whole colours
    bool is_colour = false;
};

class ParamValues {
public:
    // Indices as a host with (or without) parameter groups numbers them.
    explicit ParamValues(bool groups);

    int index_of_row(int row) const { return index_[std::size_t(row)]; }
    const ParamIndexMap& index_map() const { return index_; }
    int render_mode_index() const;

    // Resolves "KEY", "Group/Name" or a unique "Name" to a table row; -1 after setting *error.
    int resolve(const std::string& name, int* component, std::string* error) const;
    // Parses NAME=VALUE (VALUE@SECONDS,... for key frames); false with *error.
    bool parse_setting(const std::string& text, ParamSetting* out, std::string* error) const;
    // Sets the value at `seconds` (key frames interpolated linearly, held beyond their ends).
    void apply(Host& host, const ParamSetting& setting, double seconds) const;

    // Loads the groups of `mask` from preset text into the host's values, warnings for values that
    // were clamped or skipped. False when the text is not a preset (no version key).
    bool load_preset(Host& host, const std::string& text, std::uint32_t mask,
                     std::vector<std::string>* warnings) const;

private:
    ParamIndexMap index_{};
};

// "Grayscale [Icons]" or a number -> 1-based choice of "Render Mode:"; 0 when unknown.
int render_mode_choice(const std::string& text);
const char* render_mode_name(int choice);

// Text helpers shared by the parsers of parameter text.
std::string trim(const std::string& s);
bool same_text(const std::string& a, const std::string& b); // ignoring case and outer blanks
bool parse_number(const std::string& text, double* out);     // a whole number or decimal, nothing after
std::vector<std::string> split(const std::string& s, char sep);

} // namespace hostkit
