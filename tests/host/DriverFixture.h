// The plug-in linked into the test program and driven through the host kit: a test sees both what the
// host sees (parameters, pixels, handles) and the effect's own state (settings, surface, pending updates).
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/CAEHost.h"
#include "host/CEffectVaskel1.h"
#include "host/CImage32.h"
#include "host/ParamTable.h"
#include "host/PluginState.h"
#include "hostkit/Fixed.h"
#include "hostkit/Host.h"
#include "hostkit/Module.h"
#include "hostkit/ParamArray.h"
#include "ocean/HyOceanSurface.h"
#include "sdk/AE_Effect.h"

extern "C" PF_Err PluginEntry(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef* params[],
                              PF_LayerDef* output, void* extra);

// An image over bytes the test owns (blue, green, red, alpha), addressed by rows counted from the top of
// the picture whichever way the rows lie in memory.
struct TestImage {
    TestImage(int w, int h, bool bottom_up = false, int padding = 0, std::uint8_t fill = 0)
        : bytes(std::size_t(4 * w + padding) * std::size_t(h > 0 ? h : 0), fill)
    {
        image = {.pixels = bytes.empty() ? nullptr : bytes.data(), .rowBytes = 4 * w + padding, .width = w,
                 .height = h, .bottomUp = bottom_up ? 1 : 0};
    }
    std::uint8_t* at(int column, int row)
    {
        const int memory_row = image.bottomUp ? image.height - 1 - row : row;
        return bytes.data() + std::size_t(memory_row) * image.rowBytes + 4 * column;
    }
    void set(int column, int row, int r, int g, int b, int a)
    {
        std::uint8_t* p = at(column, row);
        p[0] = std::uint8_t(b), p[1] = std::uint8_t(g), p[2] = std::uint8_t(r), p[3] = std::uint8_t(a);
    }
    void fill(int r, int g, int b, int a)
    {
        for (int row = 0; row < image.height; ++row)
            for (int column = 0; column < image.width; ++column)
                set(column, row, r, g, b, a);
    }
    std::vector<std::uint8_t> bytes;
    CImage32 image;
};

namespace driver_test {

using hostkit::ParamArray;

// A small sea for views and maps, flat until it is evolved.
inline HyPrimaryWaves_data small_waves()
{
    return {.size = 32, .small_spacing = 0.4, .large_spacing = 3.8, .wind_speed = 6.0, .vertical_scale = 2.0};
}

// The gray level of a height written out: scale, round to 1/65536 with halves away from zero, floor, clamp.
inline int gray_oracle(double h, double lo, double hi)
{
    const double level = std::floor(std::round((h - lo) * 255.0 / (hi - lo) * 65536.0) / 65536.0);
    return int(std::fmin(255.0, std::fmax(0.0, level)));
}

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

    // Host index of the parameter `name` in `group`.
    int index(ParamGroup group, const char* name) const
    {
        for (std::size_t r = 0; r < std::size_t(kParamCountWithGroups); ++r)
            if (ParamTable()[r].group == group && std::strcmp(ParamTable()[r].name, name) == 0)
                return effect_->RowIndex()[r];
        ADD_FAILURE() << "no parameter " << name;
        return 0;
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
    // A frame rendered at `seconds`, by the checksum of its pixel bytes.
    std::uint64_t frame_at(double seconds)
    {
        EXPECT_EQ(render_at(seconds), PF_Err_NONE) << seconds;
        return output_.checksum();
    }

    std::shared_ptr<hostkit::Module> module_;
    std::unique_ptr<hostkit::Host> host_;
    CEffectVaskel1* effect_ = nullptr;
    hostkit::World output_;
};

} // namespace driver_test
