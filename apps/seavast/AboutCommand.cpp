// seavast about: the About text the plug-in gives the host.
#include <algorithm>
#include <iostream>

#include "Command.h"

namespace seavast_app {
namespace {

class AboutCommand : public Command {
public:
    void add_options(CLI::App&) override {}

    int run(const CommonOptions& common) override
    {
        auto module = load_plugin(common);
        if (!module)
            return kExitFailure;
        hostkit::Host host(module);
        std::string text;
        const PF_Err err = host.about(&text);
        const bool clean = report_misuse(host);
        if (err != PF_Err_NONE)
            return fail("the plug-in answered " + plugin_error_text(err, host) + " to the about command");
        // The host's message field separates lines with carriage returns.
        std::replace(text.begin(), text.end(), '\r', '\n');
        std::cout << text;
        if (text.empty() || text.back() != '\n')
            std::cout << '\n';
        return clean ? kExitOk : kExitFailure;
    }
};

SEAVAST_COMMAND(AboutCommand, "about", "Print the plug-in's About text", 10);

} // namespace
} // namespace seavast_app
