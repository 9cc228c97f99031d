#include "host/CAEHost.h"

#include <cmath>
#include <cstring>

#include "host/HostFixed.h"
#include "host/ParamTable.h"

CHostInterface::~CHostInterface() = default;

std::int32_t CHostInterface::IsParamTypeSupported(std::int32_t) { return 1; }

CAEHost::CAEHost(std::int32_t paramCount, std::int32_t setupMode, PF_InData* inData, PF_ParamDef** params)
    : m_paramCount(paramCount), m_setupMode(setupMode), m_inData(inData), m_params(params)
{
}

CAEHost::~CAEHost() = default;

PF_ParamFlags CAEHost::MapFlags(std::int32_t internalFlags)
{
    PF_ParamFlags f = 0;
    if (internalFlags & kParamFlagStartCollapsed)
        f |= PF_ParamFlag_START_COLLAPSED;
    if (internalFlags & kParamFlagCannotTimeVary)
        f |= PF_ParamFlag_CANNOT_TIME_VARY;
    if (internalFlags & kParamFlagCannotInterp)
        f |= PF_ParamFlag_CANNOT_INTERP;
    return f;
}

PF_ParamDef* CAEHost::Param(std::int32_t index) const
{
    // The host says how many parameters the array holds; without in-data the array cannot be
    // bounded, so it is not touched.
    if (m_params == nullptr || m_inData == nullptr)
        return nullptr;
    if (index < 0 || index >= m_inData->num_params)
        return nullptr;
    return m_params[index];
}

void CAEHost::CopyName(PF_ParamDef& def, const char* name) const
{
    // The host's string copy is unbounded; hand it a name that fits the field.
    char clipped[sizeof(def.name)] = {};
    if (name)
        std::strncpy(clipped, name, sizeof(clipped) - 1);
    PF_UtilCallbacks* utils = m_inData ? m_inData->utils : nullptr;
    if (utils && utils->ansi.strcpy)
        utils->ansi.strcpy(def.name, clipped);
    else
        std::memcpy(def.name, clipped, sizeof(def.name));
}

std::int32_t CAEHost::Send(PF_ParamDef& def)
{
    if (m_setupMode == 1) {
        if (m_inData->inter.add_param == nullptr)
            return 0;
        if (m_inData->inter.add_param(m_inData->effect_ref, -1, &def) != PF_Err_NONE)
            return 0;
    }
    ++m_paramCount;
    return 1;
}

// ---- Queries --------------------------------------------------------------------------------

std::int32_t CAEHost::MapParamIndex(std::int32_t index) { return index; }

bool CAEHost::IsHighQuality() { return m_inData != nullptr && m_inData->quality == PF_Quality_HI; }

std::int32_t CAEHost::Progress(std::int32_t current, std::int32_t total)
{
    if (m_inData == nullptr || m_inData->inter.progress == nullptr)
        return 0;
    // The host's bar runs to 100; our fraction is scaled by 4.5 before it is reported.
    A_long reported = 0;
    if (total != 0) {
        const double scaled = double(current) / double(total) * 4.5 * 100.0;
        if (std::isfinite(scaled) && std::fabs(scaled) < 2147483647.0)
            reported = static_cast<A_long>(std::trunc(scaled));
    }
    return m_inData->inter.progress(m_inData->effect_ref, reported, 100);
}

std::int32_t CAEHost::GetTimeInfo(CHostTimeInfo* record)
{
    if (m_inData == nullptr || record == nullptr)
        return 2;
    const PF_InData& in = *m_inData;
    // A host that gives no step at all still gets a usable frame count.
    const A_long step = in.local_time_step != 0 ? in.local_time_step : (in.time_step != 0 ? in.time_step : 15);
    const double scale = double(in.time_scale);
    if (in.time_scale != 0) {
        record->framesPerSecond = float(scale / double(step));
        record->frameDuration = float(double(in.time_step) / scale);
        record->currentTime = float(double(in.current_time) / scale);
        record->duration = float(double(in.total_time) / scale);
    } else {
        record->framesPerSecond = record->frameDuration = record->currentTime = record->duration = 0.0f;
    }
    record->reserved0 = 0;
    record->reserved1 = 0;
    // Integer division truncates towards zero; the one overflowing quotient (INT_MIN / -1) saturates.
    auto div = [](A_long a, A_long b) -> std::int32_t {
        if (b == -1)
            return a == INT32_MIN ? INT32_MAX : -a;
        return a / b;
    };
    record->frameCount = div(in.total_time, step);
    record->currentFrame = div(in.current_time, step);
    auto factor = [](const PF_RationalScale& r) -> std::int32_t {
        if (r.num == 0)
            return 1; // a host that leaves the ratio empty renders at full size
        const long long f = (long long)r.den / (long long)r.num;
        return f > INT32_MAX ? INT32_MAX : (f < INT32_MIN ? INT32_MIN : std::int32_t(f));
    };
    record->downsampleX = factor(in.downsample_x);
    record->downsampleY = factor(in.downsample_y);
    return 0;
}

// ---- Adders -----------------------------------------------------------------------------------

namespace {
// The fields every parameter descriptor carries; each adder fills in its type's own values.
CHostInput Describe(std::int32_t index, std::int32_t id, const char* name, std::int32_t flags)
{
    CHostInput d;
    d.index = index;
    d.id = id;
    d.name = name;
    d.flags = flags;
    return d;
}
} // namespace

std::int32_t CAEHost::AddLayerParam(std::int32_t index, std::int32_t id, const char* name, std::int32_t mapNumber,
                                    std::int32_t defaultFlag, std::int32_t flags)
{
    (void)mapNumber; // which image map the layer feeds is the effect's business
    CHostInput d = Describe(index, id, name, flags);
    d.dflt = float(defaultFlag);
    return AddParam(kParamLayer, &d);
}

std::int32_t CAEHost::NoOperation() { return 0; }

std::int32_t CAEHost::AddCheckboxParam(std::int32_t index, std::int32_t id, const char* name, std::int32_t flags,
                                       std::int32_t dflt)
{
    CHostInput d = Describe(index, id, name, flags);
    d.dflt = float(dflt);
    return AddParam(kParamCheckbox, &d);
}

std::int32_t CAEHost::AddSliderParam(std::int32_t index, std::int32_t id, const char* name, float sliderMin,
                                     float sliderMax, float dflt, std::int32_t flags, bool hasValid,
                                     float validMin, float validMax)
{
    CHostInput d = Describe(index, id, name, flags);
    d.dflt = dflt;
    d.sliderMin = sliderMin;
    d.sliderMax = sliderMax;
    d.hasValidRange = hasValid ? 1 : 0;
    d.validMin = validMin;
    d.validMax = validMax;
    return AddParam(kParamSlider, &d);
}

std::int32_t CAEHost::AddPointParam(std::int32_t index, std::int32_t id, const char* name, float x, float y,
                                    std::int32_t flags)
{
    CHostInput d = Describe(index, id, name, flags);
    d.dflt = x;
    d.dflt2 = y;
    return AddParam(kParamPoint, &d);
}

std::int32_t CAEHost::AddColorParam(std::int32_t index, std::int32_t id, const char* name, std::int32_t red,
                                    std::int32_t green, std::int32_t blue, std::int32_t flags)
{
    CHostInput d = Describe(index, id, name, flags);
    d.dflt = float(red);
    d.dflt2 = float(green);
    d.dflt3 = float(blue);
    return AddParam(kParamColor, &d);
}

std::int32_t CAEHost::AddPopupParam(std::int32_t index, std::int32_t id, const char* name, const char* choices,
                                    std::int32_t count, std::int32_t dflt, std::int32_t flags)
{
    CHostInput d = Describe(index, id, name, flags);
    d.dflt = float(dflt);
    d.choices = choices;
    d.choiceCount = count;
    return AddParam(kParamPopup, &d);
}

std::int32_t CAEHost::AddAngleParam(std::int32_t index, std::int32_t id, const char* name, float dflt,
                                    std::int32_t flags)
{
    CHostInput d = Describe(index, id, name, flags);
    d.dflt = dflt;
    return AddParam(kParamAngle, &d);
}

std::int32_t CAEHost::AddPointParamD(std::int32_t index, std::int32_t id, const char* name, double x, double y,
                                     std::int32_t flags)
{
    return AddPointParam(index, id, name, float(x), float(y), flags);
}

std::int32_t CAEHost::AddSliderParamD(std::int32_t index, std::int32_t id, const char* name, double sliderMin,
                                      double sliderMax, double dflt, std::int32_t flags)
{
    return AddSliderParam(index, id, name, float(sliderMin), float(sliderMax), float(dflt), flags, false, 0.0f,
                          0.0f);
}

std::int32_t CAEHost::AddCustomParam(std::int32_t index, std::int32_t id, const char* name, std::int32_t width,
                                     std::int32_t height, std::int32_t flags)
{
    (void)index;
    (void)id; // a custom control always has id 0
    if (m_inData == nullptr)
        return 0;
    PF_ParamDef def;
    std::memset(&def, 0, sizeof(def));
    def.param_type = PF_Param_NO_DATA;
    def.ui_flags = PF_PUI_CONTROL;
    def.ui_width = A_short(width);
    def.ui_height = A_short(height);
    def.uu.id = 0;
    def.flags = PF_ParamFlag_CANNOT_INTERP | ((flags & 4) ? PF_ParamFlag_START_COLLAPSED : 0);
    CopyName(def, name);
    // The control is counted even when the host refuses it, so that the indices of the value
    // parameters stay where saved projects expect them.
    if (m_setupMode == 1 && m_inData->inter.add_param)
        m_inData->inter.add_param(m_inData->effect_ref, -1, &def);
    ++m_paramCount;
    return 1;
}

std::int32_t CAEHost::AddGroupStart(std::int32_t index, std::int32_t id, const char* name, std::int32_t flags)
{
    CHostInput d = Describe(index, id, name, flags);
    return AddParam(kParamGroupStart, &d);
}

std::int32_t CAEHost::AddGroupEnd(std::int32_t index, std::int32_t id)
{
    CHostInput d = Describe(index, id, nullptr, 0);
    return AddParam(kParamGroupEnd, &d);
}

std::int32_t CAEHost::IsParamTypeSupported(std::int32_t type)
{
    if (type == kParamGroupStart || type == kParamGroupEnd)
        return (m_inData != nullptr && m_inData->version.major > 11) ? 1 : 0;
    return 1;
}

std::int32_t CAEHost::AddParam(std::int32_t type, CHostInput* d)
{
    if (type < 1 || type > 12 || m_inData == nullptr || d == nullptr)
        return 0;
    if (!IsParamTypeSupported(type))
        return 0;
    PF_ParamDef def;
    std::memset(&def, 0, sizeof(def));
    def.uu.id = d->id;
    def.flags = MapFlags(d->flags);
    switch (type) {
    case kParamLayer:
        def.param_type = PF_Param_LAYER;
        def.u.ld.dephault = d->dflt == 0.0f ? PF_LayerDefault_NONE : PF_LayerDefault_MYSELF;
        break;
    case kParamSlider: {
        def.param_type = PF_Param_FIX_SLIDER;
        float vmin = d->validMin, vmax = d->validMax;
        if (!d->hasValidRange)
            DeriveValidRange(d->sliderMin, d->sliderMax, &vmin, &vmax);
        def.u.fd.value = def.u.fd.dephault = HostToFixed(d->dflt);
        def.u.fd.slider_min = HostToFixed(d->sliderMin);
        def.u.fd.slider_max = HostToFixed(d->sliderMax);
        def.u.fd.valid_min = HostToFixed(vmin);
        def.u.fd.valid_max = HostToFixed(vmax);
        def.u.fd.precision = PF_Precision_HUNDREDTHS;
        def.u.fd.display_flags = PF_ValueDisplayFlag_NONE;
        break;
    }
    case kParamAngle:
        def.param_type = PF_Param_ANGLE;
        def.u.ad.value = def.u.ad.dephault = HostToFixed(d->dflt);
        break;
    case kParamCheckbox:
        def.param_type = PF_Param_CHECKBOX;
        def.u.bd.value = d->dflt != 0.0f ? 1 : 0;
        def.u.bd.dephault = PF_Boolean(def.u.bd.value);
        def.u.bd.u.nameptr = "  ";
        break;
    case kParamPoint:
        def.param_type = PF_Param_POINT;
        // Defaults are fractions of the layer; the host takes percentages.
        def.u.td.x_value = def.u.td.x_dephault = HostToFixed(double(d->dflt) * 100.0);
        def.u.td.y_value = def.u.td.y_dephault = HostToFixed(double(d->dflt2) * 100.0);
        break;
    case kParamPopup:
        def.param_type = PF_Param_POPUP;
        def.u.pd.value = A_long(std::lround(d->dflt));
        def.u.pd.dephault = A_short(def.u.pd.value);
        def.u.pd.num_choices = A_short(d->choiceCount);
        def.u.pd.u.namesptr = d->choices;
        break;
    case kParamColor: {
        auto byte = [](float v) { return A_u_char(v <= 0.0f ? 0 : (v >= 255.0f ? 255 : std::lround(v))); };
        PF_Pixel px{255, byte(d->dflt), byte(d->dflt2), byte(d->dflt3)};
        def.param_type = PF_Param_COLOR;
        def.u.cd.value = def.u.cd.dephault = px;
        break;
    }
    case kParamGroupStart:
        def.param_type = PF_Param_GROUP_START;
        break;
    case kParamGroupEnd:
        def.param_type = PF_Param_GROUP_END;
        break;
    default:
        return 0; // no host type for this code
    }
    CopyName(def, d->name);
    return Send(def);
}

// ---- Values -----------------------------------------------------------------------------------

namespace {

// Reads a value of internal type `type` out of a host definition. 0 when read or when the type has
// no reading (nothing written); 1 when the definition holds another kind of parameter.
std::int32_t ReadValue(std::int32_t type, const PF_ParamDef& p, CHostInput* d)
{
    switch (type) {
    case kParamFixedInt:
    case kParamSlider:
    case kParamAngle:
        if (p.param_type == PF_Param_FIX_SLIDER)
            d->dflt = float(HostFromFixed(p.u.fd.value));
        else if (p.param_type == PF_Param_ANGLE)
            d->dflt = float(HostFromFixed(p.u.ad.value));
        else if (p.param_type == PF_Param_SLIDER)
            d->dflt = float(p.u.sd.value);
        else if (p.param_type == PF_Param_FLOAT_SLIDER)
            d->dflt = float(p.u.fs_d.value);
        else
            return 1;
        return 0;
    case kParamCheckbox:
        if (p.param_type != PF_Param_CHECKBOX)
            return 1;
        d->dflt = float(p.u.bd.value);
        d->choiceCount = p.u.bd.value;
        return 0;
    case kParamPoint:
        if (p.param_type != PF_Param_POINT)
            return 1;
        d->dflt = float(HostFromFixed(p.u.td.x_value));
        d->dflt2 = float(HostFromFixed(p.u.td.y_value));
        return 0;
    case kParamPopup:
        if (p.param_type != PF_Param_POPUP)
            return 1;
        d->dflt = float(p.u.pd.value);
        d->choiceCount = p.u.pd.value;
        return 0;
    case kParamColor:
        if (p.param_type != PF_Param_COLOR)
            return 1;
        d->dflt = float(p.u.cd.value.red);
        d->dflt2 = float(p.u.cd.value.green);
        d->dflt3 = float(p.u.cd.value.blue);
        return 0;
    default:
        return 0;
    }
}

} // namespace

std::int32_t CAEHost::GetParamValue(std::int32_t type, std::int32_t index, CHostInput* d)
{
    PF_ParamDef* p = Param(MapParamIndex(index));
    if (p == nullptr || d == nullptr)
        return 1;
    return ReadValue(type, *p, d);
}

std::int32_t CAEHost::GetParamValueAt(std::int32_t type, std::int32_t index, std::int32_t time, CHostInput* d)
{
    if (m_inData == nullptr || d == nullptr || m_inData->inter.checkout_param == nullptr)
        return 1;
    index = MapParamIndex(index);
    if (index < 0 || index >= m_inData->num_params)
        return 1;
    PF_ParamDef p;
    std::memset(&p, 0, sizeof(p));
    if (m_inData->inter.checkout_param(m_inData->effect_ref, index, time, m_inData->time_step,
                                       m_inData->time_scale, &p) != PF_Err_NONE)
        return 1;
    const std::int32_t r = ReadValue(type, p, d);
    if (m_inData->inter.checkin_param)
        m_inData->inter.checkin_param(m_inData->effect_ref, &p);
    return r;
}

std::int32_t CAEHost::GetParamInt(std::int32_t index)
{
    const PF_ParamDef* p = Param(MapParamIndex(index));
    if (p == nullptr)
        return 1;
    switch (p->param_type) {
    case PF_Param_POPUP:
        return p->u.pd.value;
    case PF_Param_CHECKBOX:
        return p->u.bd.value;
    case PF_Param_SLIDER:
        return p->u.sd.value;
    case PF_Param_FIX_SLIDER:
        return p->u.fd.value;
    case PF_Param_ANGLE:
        return p->u.ad.value;
    default:
        return 0;
    }
}

std::int32_t CAEHost::GetParamLong(std::int32_t index) { return GetParamInt(index); }

float CAEHost::GetParamFloat(std::int32_t index) { return float(GetParamDouble(index)); }

double CAEHost::GetParamDouble(std::int32_t index)
{
    const PF_ParamDef* p = Param(MapParamIndex(index));
    if (p == nullptr)
        return 1.0;
    switch (p->param_type) {
    case PF_Param_FIX_SLIDER:
        return HostFromFixed(p->u.fd.value);
    case PF_Param_ANGLE:
        return HostFromFixed(p->u.ad.value);
    case PF_Param_SLIDER:
        return double(p->u.sd.value);
    case PF_Param_FLOAT_SLIDER:
        return p->u.fs_d.value;
    case PF_Param_POPUP:
        return double(p->u.pd.value);
    case PF_Param_CHECKBOX:
        return double(p->u.bd.value);
    default:
        return 0.0;
    }
}

std::int32_t CAEHost::GetParamPoint(std::int32_t index, float* x, float* y)
{
    const PF_ParamDef* p = Param(MapParamIndex(index));
    const PF_ParamDef* layer = Param(0);
    if (p == nullptr || p->param_type != PF_Param_POINT || layer == nullptr || layer->u.ld.width <= 0 ||
        layer->u.ld.height <= 0)
        return 1;
    if (x)
        *x = float(HostFromFixed(p->u.td.x_value) / double(layer->u.ld.width));
    if (y)
        *y = float(HostFromFixed(p->u.td.y_value) / double(layer->u.ld.height));
    return 0;
}

std::int32_t CAEHost::GetParamColor(std::int32_t index, std::uint8_t* red, std::uint8_t* green, std::uint8_t* blue)
{
    const PF_ParamDef* p = Param(MapParamIndex(index));
    if (p == nullptr || p->param_type != PF_Param_COLOR)
        return 1;
    if (red)
        *red = p->u.cd.value.red;
    if (green)
        *green = p->u.cd.value.green;
    if (blue)
        *blue = p->u.cd.value.blue;
    return 0;
}

std::int32_t CAEHost::SetParamInt(std::int32_t index, std::int32_t value)
{
    PF_ParamDef* p = Param(MapParamIndex(index));
    if (p == nullptr)
        return 1;
    switch (p->param_type) {
    case PF_Param_POPUP:
        p->u.pd.value = value;
        break;
    case PF_Param_CHECKBOX:
        p->u.bd.value = value;
        break;
    case PF_Param_SLIDER:
        p->u.sd.value = value;
        break;
    default:
        return 1;
    }
    p->uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
    return 0;
}

std::int32_t CAEHost::SetParamLong(std::int32_t index, std::int32_t value) { return SetParamInt(index, value); }

std::int32_t CAEHost::SetParamFloat(std::int32_t index, float value) { return SetParamDouble(index, value); }

std::int32_t CAEHost::SetParamDouble(std::int32_t index, double value)
{
    PF_ParamDef* p = Param(MapParamIndex(index));
    if (p == nullptr)
        return 1;
    switch (p->param_type) {
    case PF_Param_FIX_SLIDER:
        p->u.fd.value = HostToFixed(value);
        break;
    case PF_Param_ANGLE:
        p->u.ad.value = HostToFixed(value);
        break;
    case PF_Param_FLOAT_SLIDER:
        p->u.fs_d.value = value;
        break;
    case PF_Param_SLIDER:
        p->u.sd.value = HostToFixed(value) >> 16;
        break;
    default:
        return 1;
    }
    p->uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
    return 0;
}

std::int32_t CAEHost::SetParamPoint(std::int32_t index, float x, float y)
{
    PF_ParamDef* p = Param(MapParamIndex(index));
    const PF_ParamDef* layer = Param(0);
    if (p == nullptr || p->param_type != PF_Param_POINT || layer == nullptr)
        return 1;
    p->u.td.x_value = HostToFixed(double(x) * double(layer->u.ld.width));
    p->u.td.y_value = HostToFixed(double(y) * double(layer->u.ld.height));
    p->uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
    return 0;
}

std::int32_t CAEHost::SetParamColor(std::int32_t index, std::int32_t red, std::int32_t green, std::int32_t blue)
{
    PF_ParamDef* p = Param(MapParamIndex(index));
    if (p == nullptr || p->param_type != PF_Param_COLOR)
        return 1;
    auto byte = [](std::int32_t v) { return A_u_char(v < 0 ? 0 : (v > 255 ? 255 : v)); };
    p->u.cd.value = PF_Pixel{0, byte(red), byte(green), byte(blue)};
    p->uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
    return 0;
}

// ---- Layers ------------------------------------------------------------------------------------

bool CAEHost::CheckoutLayer(std::int32_t index, PF_ParamDef* layer)
{
    if (m_inData == nullptr || layer == nullptr || m_inData->inter.checkout_param == nullptr)
        return false;
    if (index < 0 || index >= m_inData->num_params)
        return false;
    std::memset(layer, 0, sizeof(*layer));
    if (m_inData->inter.checkout_param(m_inData->effect_ref, index, m_inData->current_time, m_inData->time_step,
                                       m_inData->time_scale, layer) != PF_Err_NONE)
        return false;
    if (layer->param_type == PF_Param_LAYER && layer->u.ld.data != nullptr)
        return true;
    CheckinLayer(layer);
    return false;
}

void CAEHost::CheckinLayer(PF_ParamDef* layer)
{
    if (m_inData == nullptr || layer == nullptr || m_inData->inter.checkin_param == nullptr)
        return;
    m_inData->inter.checkin_param(m_inData->effect_ref, layer);
}
