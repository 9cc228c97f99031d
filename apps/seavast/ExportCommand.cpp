// seavast export: the composed height field a render sees at a time, for 3-D tools: the grid state
// as a hyg file, or heights and slopes sampled into an SGI image.
#include <cmath>
#include <filesystem>

#include "Command.h"
#include "Session.h"
#include "ocean/HyGridMulti.h"
#include "ocean/HyOceanSurface.h"

namespace seavast_app {
namespace {

std::string lower_extension(const std::string& path)
{
    std::string e = std::filesystem::path(path).extension().string();
    for (char& c : e)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

class ExportCommand : public Command {
public:
    void add_options(CLI::App& cmd) override
    {
        cmd.add_option("-o,--output", output_, "A .hyg file (grid state) or a .sgi image (height and slopes)")
            ->required()
            ->type_name("FILE");
        cmd.add_option("--time", time_, "Host time in seconds (\"Time Stretch\" applies as in a render)")
            ->capture_default_str()
            ->type_name("SECONDS");
        cmd.add_option("--extent", extent_, "SGI: side of the square sampled around the origin, metres")
            ->capture_default_str()
            ->check(CLI::Range(0.001, 1.0e6));
        cmd.add_option("--samples", samples_, "SGI: samples per side")->capture_default_str()->check(CLI::Range(2, 16384));
        cmd.add_option("--height-range", heightRange_, "SGI: heights -R..R metres map to 0..255")
            ->capture_default_str()
            ->check(CLI::Range(1e-6, 1e6));
        cmd.add_option("--slope-range", slopeRange_, "SGI: slopes -S..S map to 0..255")
            ->capture_default_str()
            ->check(CLI::Range(1e-6, 1e6));
        add_param_options(cmd, params_);
    }

    int run(const CommonOptions& common) override
    {
        const std::string ext = lower_extension(output_);
        if (ext != ".hyg" && ext != ".sgi")
            return fail("export writes .hyg or .sgi files, not \"" + output_ + "\"");
        HostTime t;
        if (!parse_time(time_, &t))
            return fail("--time takes seconds as a decimal number (up to 6 decimals), not \"" + time_ + "\"");

        Session session;
        if (!session.open(common, params_, 64, 64))
            return kExitFailure;
        session.apply_settings(t.seconds());
        CEffectVaskel1& fx = session.effect();
        if (fx.UpdateSettingsFromHost() != kEffectOk)
            return fail("the effect could not read its parameters");
        const double seconds = double(fx.Settings().render.timeStretch) * t.seconds();
        if (fx.UpdateSurface(seconds) != kEffectOk || fx.Surface() == nullptr)
            return fail("Out of Memory: the sea could not be built");
        HyGridMulti* grid = nullptr;
        if (!fx.Surface()->get_grid(grid) || grid == nullptr)
            return fail("the sea has no height grid");

        const std::string e = write_atomically(output_, [&](const std::string& temp) -> std::string {
            if (ext == ".hyg")
                return grid->write_hyg(temp.c_str()) ? "" : "cannot write " + output_;
            HySgiSampling s;
            s.count_x = s.count_y = samples_;
            s.spacing_x = s.spacing_y = extent_ / samples_;
            return fx.Surface()->write_sgi_height_and_slope(temp.c_str(), -heightRange_, heightRange_, -slopeRange_,
                                                            slopeRange_, 0.0, 0.0, s)
                       ? ""
                       : "cannot write " + output_;
        });
        if (!e.empty())
            return fail(e);
        return kExitOk;
    }

private:
    std::string output_;
    std::string time_ = "0";
    double extent_ = 200.0;
    int samples_ = 512;
    double heightRange_ = 4.0;
    double slopeRange_ = 1.0;
    ParamOptions params_;
};

SEAVAST_COMMAND(ExportCommand, "export", "Write the sea's height field at a time as a hyg grid or an SGI image", 40);

} // namespace
} // namespace seavast_app
