// seavast params: every parameter the plug-in defines, as the host receives it.
#include <iostream>

#include "Command.h"
#include "hostkit/ParamReport.h"

namespace seavast_app {
namespace {

class ParamsCommand : public Command {
public:
    void add_options(CLI::App& cmd) override
    {
        cmd.add_option("--format", format_, "Output format: text (aligned columns) or tsv (for scripts)")
            ->check(CLI::IsMember({"text", "tsv"}))
            ->capture_default_str();
        cmd.add_option("--api-major", api_major_,
                       "API major version the simulated host speaks (below 12: no parameter groups)")
            ->check(CLI::Range(1, 99))
            ->capture_default_str();
    }

    int run(const CommonOptions& common) override
    {
        auto module = load_plugin(common);
        if (!module)
            return kExitFailure;
        hostkit::HostConfig config;
        config.api_major = A_short(api_major_);
        hostkit::Host host(module, config);
        PF_Err err = host.global_setup();
        if (err != PF_Err_NONE)
            return fail("the plug-in answered " + plugin_error_text(err, host) + " to global setup");
        err = host.params_setup();
        const hostkit::ParamFormat format =
            format_ == "tsv" ? hostkit::ParamFormat::tsv : hostkit::ParamFormat::text;
        const std::string table = hostkit::format_params(hostkit::describe_params(host), format);
        const PF_Err down = host.global_setdown();
        const bool clean = report_misuse(host);
        if (err != PF_Err_NONE)
            return fail("the plug-in answered " + plugin_error_text(err, host) + " to parameter setup");
        if (down != PF_Err_NONE)
            return fail("the plug-in answered " + plugin_error_text(down, host) + " to global setdown");
        std::cout << table;
        return clean ? kExitOk : kExitFailure;
    }

private:
    std::string format_ = "text";
    int api_major_ = PF_PLUG_IN_VERSION;
};

SEAVAST_COMMAND(ParamsCommand, "params", "List every parameter: index, id, group, name, type, default, ranges, flags", 20);

} // namespace
} // namespace seavast_app
