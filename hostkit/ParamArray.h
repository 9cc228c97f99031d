// The host's parameter values as the parameter array of one call, for code that runs the plug-in's
// host adapter beside the host kit (the command-line host's presets and export, the bridge tests):
// the adapter reads and writes the array as it would during a command, and write_back hands the
// values it changed to the host.
#pragma once

#include <vector>

#include "hostkit/Host.h"
#include "sdk/AE_Effect.h"

namespace hostkit {

class ParamArray {
public:
    explicit ParamArray(const Host& host);

    PF_InData* in_data() { return &in_; }
    PF_ParamDef** params() { return ptrs_.data(); }
    // Binds the array to an adapter with the plug-in's Bind(in-data, parameter array) operation.
    template <class Adapter>
    void bind(Adapter& adapter)
    {
        adapter.Bind(in_data(), params());
    }
    // Hands every value marked changed to the host; returns how many there were.
    int write_back(Host& host) const;

private:
    PF_InData in_{};
    std::vector<PF_ParamDef> defs_;
    std::vector<PF_ParamDef*> ptrs_;
};

} // namespace hostkit
