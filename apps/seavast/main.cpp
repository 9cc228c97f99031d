// seavast: a command-line host for the Seavast effect. It loads the plug-in module and drives it
// through PluginEntry exactly as a compositing host would.
#include <algorithm>
#include <iostream>
#include <map>
#include <memory>

#include "Command.h"
#if defined(_WIN32)
#include "platform/HyWin32.h"
#endif

#ifndef SEAVAST_VERSION
#define SEAVAST_VERSION "unknown"
#endif

int main(int argc, char** argv)
{
    using namespace seavast_app;

    CLI::App app{"seavast: drives the Seavast ocean effect plug-in from the command line.", "seavast"};
    app.set_version_flag("--version", "seavast " SEAVAST_VERSION);
    app.require_subcommand(1);
    app.fallthrough();

    CommonOptions common;
    const char* plugin_help = "Plug-in module to load (default: $SEAVAST_PLUGIN, else Seavast.so next to seavast)";
    app.add_option("--plugin", common.plugin, plugin_help)->type_name("PATH");

    std::map<CLI::App*, std::unique_ptr<Command>> commands;
    for (const CommandInfo& info : registered_commands()) {
        CLI::App* sub = app.add_subcommand(info.name, info.summary);
        sub->add_option("--plugin", common.plugin, plugin_help)->type_name("PATH");
        std::unique_ptr<Command> command = info.make();
        command->add_options(*sub);
        commands.emplace(sub, std::move(command));
    }

    try {
#if defined(_WIN32)
        // File names reach the commands in UTF-8, whatever the ANSI code page holds.
        (void)argc;
        (void)argv;
        std::vector<std::string> args = hyplat::command_line_arguments();
        if (!args.empty())
            args.erase(args.begin());
        std::reverse(args.begin(), args.end());
        app.parse(args);
#else
        app.parse(argc, argv);
#endif
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kExitUsage;
    }

    for (auto& [sub, command] : commands)
        if (sub->parsed())
            return command->run(common);
    return kExitUsage;
}
