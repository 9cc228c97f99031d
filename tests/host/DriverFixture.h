// The plug-in linked into the test program and driven through the host kit, so that a test sees both
// what the host sees (parameters, output pixels, handles) and the effect's own state (settings record,
// surface, pending updates).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/CAEHost.h"
#include "host/CEffectVaskel1.h"
#include "host/ParamTable.h"
#include "host/PluginState.h"
#include "hostkit/Fixed.h"
#include "hostkit/Host.h"
#include "hostkit/Module.h"
#include "hostkit/ParamArray.h"
#include "sdk/AE_Effect.h"

extern "C" PF_Err PluginEntry(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef* params[],
                              PF_LayerDef* output, void* extra);

namespace driver_test {

// Index of the table row of `name` in `group` (the n-th with that name).
inline int table_row(ParamGroup group, const char* name)
{
    const auto& t = ParamTable();
    for (int r = 0; r < kParamCountWithGroups; ++r)
        if (t[std::size_t(r)].group == group && std::strcmp(t[std::size_t(r)].name, name) == 0)
            return r;
    ADD_FAILURE() << "no parameter " << name;
    return 0;
}

using hostkit::ParamArray;

class Driver : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_ = hostkit::Module::from_entry(PluginEntry, "linked plug-in");
        hostkit::HostConfig config;
        config.width = 64;
        config.height = 48;
        host_ = std::make_unique<hostkit::Host>(module_, config);
        ASSERT_EQ(host_->setup(), PF_Err_NONE);
        effect_ = dynamic_cast<CEffectVaskel1*>(CurrentEffect());
        ASSERT_NE(effect_, nullptr);
        output_.resize(64, 48);
    }
    void TearDown() override
    {
        if (host_) {
            // Map layers of a test lived on its stack: the host must not lend them any more.
            for (int i = 1; i < host_->param_count(); ++i)
                if (host_->param(i).def.param_type == PF_Param_LAYER)
                    host_->set_layer(i, nullptr);
            host_->global_setdown();
            EXPECT_TRUE(host_->misuse().empty()) << (host_->misuse().empty() ? "" : host_->misuse()[0]);
        }
        EXPECT_EQ(CurrentEffect(), nullptr);
    }

    hostkit::Host& host() { return *host_; }
    CEffectVaskel1& effect() { return *effect_; }

    int index(ParamGroup group, const char* name) const
    {
        return effect_->RowIndex()[std::size_t(table_row(group, name))];
    }
    void set(ParamGroup group, const char* name, double value)
    {
        const int i = index(group, name);
        const PF_ParamType type = host_->param(i).def.param_type;
        bool ok = type == PF_Param_POPUP || type == PF_Param_CHECKBOX ? host_->set_int(i, A_long(value))
                                                                       : host_->set_fixed(i, value);
        ASSERT_TRUE(ok) << name;
    }
    // Renders at `seconds` (time scale 1000) into a fresh output; returns the host error.
    PF_Err render_at(double seconds, hostkit::World& out)
    {
        host_->config().time_scale = 1000;
        host_->config().time_step = 40;
        host_->config().local_time_step = 40;
        host_->config().current_time = A_long(seconds * 1000.0 + 0.5);
        return host_->render(out);
    }
    PF_Err render_at(double seconds) { return render_at(seconds, output_); }

    std::shared_ptr<hostkit::Module> module_;
    std::unique_ptr<hostkit::Host> host_;
    CEffectVaskel1* effect_ = nullptr;
    hostkit::World output_;
};

} // namespace driver_test
