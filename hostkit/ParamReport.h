// The parameter list as the host received it, one row per parameter, as readable text or as TSV.
//
// TSV columns, in order: index, id, group, name, type, default, slider_min, slider_max, valid_min,
// valid_max, flags, extra. Texts that come from the plug-in (names, groups, choices, labels) are
// quoted, so trailing blanks stay visible; "-" marks a field the parameter's type does not have.
// Fixed-point numbers are written in their shortest exact form (format_fixed).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "hostkit/Host.h"

namespace hostkit {

struct ParamRow {
    int index = 0;
    A_long id = 0;
    std::string group; // quoted, or "-"
    std::string name;  // quoted; "(input layer)" for the host's own parameter 0
    std::string type;
    std::string dephault = "-";
    std::string slider_min = "-", slider_max = "-";
    std::string valid_min = "-", valid_max = "-";
    std::string flags = "-";
    std::string extra = "-";
};

enum class ParamFormat { text, tsv };

std::vector<ParamRow> describe_params(const Host& host);
std::string format_params(const std::vector<ParamRow>& rows, ParamFormat format);

// "CANNOT_TIME_VARY|START_COLLAPSED", or "-" for none; unknown bits as hexadecimal.
std::string param_flags_text(PF_ParamFlags flags);
std::string ui_flags_text(PF_ParamUIFlags flags);

// Double-quoted, with backslash escapes for quotes, backslashes and control characters.
std::string quote(std::string_view text);

} // namespace hostkit
