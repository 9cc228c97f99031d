// seavast properties: the plug-in property list as the host read it from the module's resource.
#include <iostream>

#include "Command.h"

namespace seavast_app {
namespace {

class PropertiesCommand : public Command {
public:
    void add_options(CLI::App&) override {}

    int run(const CommonOptions& common) override
    {
        auto module = load_plugin(common);
        if (!module)
            return kExitFailure;
        const hostkit::PiPLList* list = module->properties();
        if (list == nullptr)
            return fail("plug-in module " + module->path() +
                        " carries no property resource; only the Windows DLL does");
        std::cout << hostkit::pipl_report(*list);
        return kExitOk;
    }
};

SEAVAST_COMMAND(PropertiesCommand, "properties",
                "Print the plug-in property list read from the module's resource (Windows DLL)", 15);

} // namespace
} // namespace seavast_app
