#include "Command.h"

#include <algorithm>
#include <iostream>

namespace seavast_app {
namespace {

std::vector<CommandInfo>& registry()
{
    static std::vector<CommandInfo> commands;
    return commands;
}

} // namespace

bool register_command(const CommandInfo& info)
{
    registry().push_back(info);
    return true;
}

std::vector<CommandInfo> registered_commands()
{
    std::vector<CommandInfo> commands = registry();
    std::stable_sort(commands.begin(), commands.end(),
                     [](const CommandInfo& a, const CommandInfo& b) { return a.order < b.order; });
    return commands;
}

int fail(const std::string& message)
{
    std::cerr << "seavast: " << message << "\n";
    return kExitFailure;
}

std::shared_ptr<hostkit::Module> load_plugin(const CommonOptions& common)
{
    const std::string path = hostkit::resolve_plugin_path(common.plugin);
    std::string error;
    auto module = hostkit::Module::load(path, &error);
    if (!module)
        fail(error);
    return module;
}

bool report_misuse(const hostkit::Host& host)
{
    for (const std::string& m : host.misuse())
        std::cerr << "seavast: plug-in misuse: " << m << "\n";
    for (const std::string& m : hostkit::orphan_misuse())
        std::cerr << "seavast: plug-in misuse: " << m << "\n";
    return host.misuse().empty() && hostkit::orphan_misuse().empty();
}

std::string plugin_error_text(PF_Err err, const hostkit::Host& host)
{
    std::string text = "error " + std::to_string(err);
    const std::string message = host.message();
    if (!message.empty() && (host.out_data().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE))
        text += " (" + message + ")";
    return text;
}

} // namespace seavast_app
