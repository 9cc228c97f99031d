// Subcommands of the `seavast` command-line host. Each lives in its own file and registers itself:
//
//     class RenderCommand : public Command { ... };
//     SEAVAST_COMMAND(RenderCommand, "render", "Render frames to image files", 30);
//
// (inside the file's namespace, after the class).
//
// main() creates every registered command, lets it add its options to its CLI11 subcommand, parses,
// and runs the one the user chose. Exit status: 0 success, 1 failure, 2 usage error.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "hostkit/Host.h"
#include "hostkit/Module.h"

namespace seavast_app {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Options every subcommand understands.
struct CommonOptions {
    std::string plugin; // --plugin PATH; else $SEAVAST_PLUGIN; else Seavast.so next to the executable
};

class Command {
public:
    virtual ~Command() = default;
    // Adds this command's own options and flags (the common ones are already there).
    virtual void add_options(CLI::App& cmd) = 0;
    // Runs after a successful parse; returns the exit status.
    virtual int run(const CommonOptions& common) = 0;
};

struct CommandInfo {
    const char* name;
    const char* summary;
    int order; // position in the help listing
    std::unique_ptr<Command> (*make)();
};

bool register_command(const CommandInfo& info);
// Every registered command, in help order.
std::vector<CommandInfo> registered_commands();

// Use at namespace scope in the command's own file, where Type is visible.
#define SEAVAST_COMMAND(Type, name, summary, order)                                                   \
    [[maybe_unused]] static const bool registered_##Type = ::seavast_app::register_command(          \
        {name, summary, order,                                                                         \
         []() -> std::unique_ptr<::seavast_app::Command> { return std::make_unique<Type>(); }})

// ---- Helpers shared by the commands ------------------------------------------------------------

// Prints "seavast: <message>" to the standard error stream and returns kExitFailure.
int fail(const std::string& message);

// Loads the plug-in module the options name; null after printing why.
std::shared_ptr<hostkit::Module> load_plugin(const CommonOptions& common);

// Prints the host's misuse notes as warnings; true when there were none.
bool report_misuse(const hostkit::Host& host);

// "error 4 (Insufficient Memory)" for a plug-in error and its out-data message.
std::string plugin_error_text(PF_Err err, const hostkit::Host& host);

} // namespace seavast_app
