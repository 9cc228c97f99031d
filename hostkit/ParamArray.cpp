#include "hostkit/ParamArray.h"

#include "hostkit/Fixed.h"

namespace hostkit {

ParamArray::ParamArray(const Host& host)
{
    in_.version.major = host.config().api_major;
    in_.version.minor = host.config().api_minor;
    in_.num_params = host.param_count();
    for (const HostParam& p : host.params())
        defs_.push_back(p.def);
    for (PF_ParamDef& d : defs_) {
        d.uu.change_flags = PF_ChangeFlag_NONE;
        ptrs_.push_back(&d);
    }
}

int ParamArray::write_back(Host& host) const
{
    int n = 0;
    for (int i = 0; i < int(defs_.size()); ++i) {
        const PF_ParamDef& d = defs_[std::size_t(i)];
        if (!(d.uu.change_flags & PF_ChangeFlag_CHANGED_VALUE))
            continue;
        ++n;
        switch (d.param_type) {
        case PF_Param_FIX_SLIDER: host.set_fixed(i, from_fixed(d.u.fd.value)); break;
        case PF_Param_ANGLE: host.set_fixed(i, from_fixed(d.u.ad.value)); break;
        case PF_Param_POPUP: host.set_int(i, d.u.pd.value); break;
        case PF_Param_CHECKBOX: host.set_int(i, d.u.bd.value); break;
        case PF_Param_COLOR: host.set_color(i, d.u.cd.value); break;
        default: break;
        }
    }
    return n;
}

} // namespace hostkit
