#include "hostkit/ParamReport.h"

#include <algorithm>
#include <cstdio>

#include "hostkit/Fixed.h"

namespace hostkit {
namespace {

struct FlagName {
    A_long bit;
    const char* name;
};

std::string flags_text(A_long flags, const FlagName* names, std::size_t count)
{
    std::string out;
    A_long rest = flags;
    for (std::size_t i = 0; i < count; ++i) {
        if (flags & names[i].bit) {
            if (!out.empty())
                out += '|';
            out += names[i].name;
            rest &= ~names[i].bit;
        }
    }
    if (rest) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%X", unsigned(rest));
        if (!out.empty())
            out += '|';
        out += hex;
    }
    return out.empty() ? "-" : out;
}

void add_extra(ParamRow& row, const std::string& item)
{
    if (row.extra == "-")
        row.extra.clear();
    else
        row.extra += ' ';
    row.extra += item;
}

std::string color_text(const PF_Pixel& c)
{
    return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
}

} // namespace

std::string param_flags_text(PF_ParamFlags flags)
{
    // Ascending bit order; START_COLLAPSED is the published alias of the twirly bit.
    static const FlagName names[] = {{PF_ParamFlag_CANNOT_TIME_VARY, "CANNOT_TIME_VARY"},
                                     {PF_ParamFlag_CANNOT_INTERP, "CANNOT_INTERP"},
                                     {PF_ParamFlag_START_COLLAPSED, "START_COLLAPSED"},
                                     {PF_ParamFlag_SUPERVISE, "SUPERVISE"},
                                     {PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS, "USE_VALUE_FOR_OLD_PROJECTS"},
                                     {PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, "EXCLUDE_FROM_HAVE_INPUTS_CHANGED"},
                                     {PF_ParamFlag_SKIP_REVEAL_WHEN_UNHIDDEN, "SKIP_REVEAL_WHEN_UNHIDDEN"}};
    return flags_text(flags, names, std::size(names));
}

std::string ui_flags_text(PF_ParamUIFlags flags)
{
    static const FlagName names[] = {{PF_PUI_TOPIC, "TOPIC"},
                                     {PF_PUI_CONTROL, "CONTROL"},
                                     {PF_PUI_STD_CONTROL_ONLY, "STD_CONTROL_ONLY"},
                                     {PF_PUI_NO_ECW_UI, "NO_ECW_UI"},
                                     {PF_PUI_ECW_SEPARATOR, "ECW_SEPARATOR"},
                                     {PF_PUI_DISABLED, "DISABLED"},
                                     {PF_PUI_DONT_ERASE_TOPIC, "DONT_ERASE_TOPIC"},
                                     {PF_PUI_DONT_ERASE_CONTROL, "DONT_ERASE_CONTROL"},
                                     {PF_PUI_RADIO_BUTTON, "RADIO_BUTTON"},
                                     {PF_PUI_INVISIBLE, "INVISIBLE"}};
    return flags_text(flags, names, std::size(names));
}

std::string quote(std::string_view text)
{
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", unsigned(c));
                out += hex;
            } else {
                out += ch;
            }
        }
    }
    return out + "\"";
}

std::vector<ParamRow> describe_params(const Host& host)
{
    std::vector<ParamRow> rows;
    rows.reserve(std::size_t(host.param_count()));
    for (int i = 0; i < host.param_count(); ++i) {
        const HostParam& p = host.param(i);
        const PF_ParamDef& d = p.def;
        ParamRow row;
        row.index = i;
        row.id = p.id;
        row.group = p.group.empty() ? "-" : quote(p.group);
        row.name = i == 0 ? "(input layer)" : quote(d.name);
        row.type = param_type_name(d.param_type);
        if (i > 0)
            row.flags = param_flags_text(d.flags);
        switch (d.param_type) {
        case PF_Param_LAYER:
            row.dephault = d.u.ld.dephault == PF_LayerDefault_MYSELF ? "self"
                           : d.u.ld.dephault == PF_LayerDefault_NONE ? "none"
                                                                       : std::to_string(d.u.ld.dephault);
            break;
        case PF_Param_FIX_SLIDER: {
            const PF_FixedSliderDef& s = d.u.fd;
            row.dephault = format_fixed(s.dephault);
            row.slider_min = format_fixed(s.slider_min);
            row.slider_max = format_fixed(s.slider_max);
            row.valid_min = format_fixed(s.valid_min);
            row.valid_max = format_fixed(s.valid_max);
            add_extra(row, "precision=" + std::to_string(s.precision));
            if (s.display_flags)
                add_extra(row, "display_flags=" + std::to_string(s.display_flags));
            break;
        }
        case PF_Param_SLIDER: {
            const PF_SliderDef& s = d.u.sd;
            row.dephault = std::to_string(s.dephault);
            row.slider_min = std::to_string(s.slider_min);
            row.slider_max = std::to_string(s.slider_max);
            row.valid_min = std::to_string(s.valid_min);
            row.valid_max = std::to_string(s.valid_max);
            break;
        }
        case PF_Param_FLOAT_SLIDER: {
            const PF_FloatSliderDef& s = d.u.fs_d;
            char buf[5][32];
            const float v[5] = {s.dephault, s.slider_min, s.slider_max, s.valid_min, s.valid_max};
            for (int k = 0; k < 5; ++k)
                std::snprintf(buf[k], sizeof buf[k], "%g", double(v[k]));
            row.dephault = buf[0];
            row.slider_min = buf[1];
            row.slider_max = buf[2];
            row.valid_min = buf[3];
            row.valid_max = buf[4];
            add_extra(row, "precision=" + std::to_string(s.precision));
            break;
        }
        case PF_Param_ANGLE:
            row.dephault = format_fixed(d.u.ad.dephault);
            // An angle without a valid range leaves both ends at 0.
            if (d.u.ad.valid_min != 0 || d.u.ad.valid_max != 0) {
                row.valid_min = format_fixed(d.u.ad.valid_min);
                row.valid_max = format_fixed(d.u.ad.valid_max);
            }
            break;
        case PF_Param_CHECKBOX:
            row.dephault = std::to_string(int(d.u.bd.dephault));
            add_extra(row, "label=" + quote(p.label));
            break;
        case PF_Param_COLOR:
            row.dephault = color_text(d.u.cd.dephault);
            if (d.u.cd.dephault.alpha != 255)
                add_extra(row, "alpha=" + std::to_string(d.u.cd.dephault.alpha));
            break;
        case PF_Param_POINT:
            row.dephault = format_fixed(d.u.td.x_dephault) + "%," + format_fixed(d.u.td.y_dephault) + "%";
            break;
        case PF_Param_POPUP:
            row.dephault = std::to_string(d.u.pd.dephault);
            add_extra(row, "choices=" + quote(p.choices));
            break;
        default: break;
        }
        if (i > 0 && d.ui_flags)
            add_extra(row, "ui=" + ui_flags_text(d.ui_flags));
        if (i > 0 && (d.ui_width || d.ui_height))
            add_extra(row, "size=" + std::to_string(d.ui_width) + "x" + std::to_string(d.ui_height));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string format_params(const std::vector<ParamRow>& rows, ParamFormat format)
{
    if (format == ParamFormat::tsv) {
        std::string out = "index\tid\tgroup\tname\ttype\tdefault\tslider_min\tslider_max\tvalid_min\tvalid_max\tflags\textra\n";
        for (const ParamRow& r : rows) {
            const std::string fields[] = {std::to_string(r.index), std::to_string(r.id), r.group, r.name,
                                          r.type, r.dephault, r.slider_min, r.slider_max, r.valid_min,
                                          r.valid_max, r.flags, r.extra};
            for (std::size_t k = 0; k < std::size(fields); ++k)
                out += fields[k] + (k + 1 < std::size(fields) ? "\t" : "\n");
        }
        return out;
    }
    // Text: aligned columns, ranges folded into "min..max"; the last column runs free.
    const auto range = [](const std::string& a, const std::string& b) {
        return a == "-" && b == "-" ? std::string("-") : a + ".." + b;
    };
    std::vector<std::vector<std::string>> table;
    table.push_back({"INDEX", "ID", "GROUP", "NAME", "TYPE", "DEFAULT", "SLIDER", "VALID", "FLAGS", "EXTRA"});
    for (const ParamRow& r : rows)
        table.push_back({std::to_string(r.index), std::to_string(r.id), r.group, r.name, r.type, r.dephault,
                         range(r.slider_min, r.slider_max), range(r.valid_min, r.valid_max), r.flags, r.extra});
    std::vector<std::size_t> width(table[0].size(), 0);
    for (const auto& line : table)
        for (std::size_t k = 0; k < line.size(); ++k)
            width[k] = std::max(width[k], line[k].size());
    std::string out;
    for (const auto& line : table) {
        std::string text;
        for (std::size_t k = 0; k < line.size(); ++k) {
            const bool right = k < 2; // numbers line up on the right
            const std::string pad(width[k] - line[k].size(), ' ');
            if (k + 1 == line.size())
                text += line[k];
            else
                text += (right ? pad + line[k] : line[k] + pad) + "  ";
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        out += text + "\n";
    }
    return out;
}

} // namespace hostkit
