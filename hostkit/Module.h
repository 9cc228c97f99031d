// The plug-in module as a host sees it: a shared object of which only `PluginEntry` is ever called.
// On Windows the module is a DLL that a host accepts only with its plug-in property resource, which
// names the entry point; elsewhere the entry is found by its name alone.
#pragma once

#include <memory>
#include <string>

#include "hostkit/PiPL.h"
#include "sdk/AE_Effect.h"

namespace hostkit {

struct ModuleOptions {
    // Load a private copy of the file, so that this Module gets its own process-wide plug-in state
    // (entry lock, effect, global-setup count) instead of sharing the one of an earlier dlopen.
    bool private_copy = false;
    // Unmap the module when the last reference goes. Off by default: hosts keep effect modules loaded
    // until they quit, and a module's process-lifetime caches only stay reachable (not leaked) while
    // it is mapped. Its static destructors run at process exit either way.
    bool unload = false;
};

class Module {
public:
    // Null on failure, with a one-line reason in *error.
    static std::shared_ptr<Module> load(const std::string& path, const ModuleOptions& options,
                                        std::string* error);
    static std::shared_ptr<Module> load(const std::string& path, std::string* error)
    {
        return load(path, ModuleOptions{}, error);
    }
    // An entry linked into the calling program (a test double): same host, no shared object.
    static std::shared_ptr<Module> from_entry(PF_EntryFunc entry, std::string name);

    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    PF_EntryFunc entry() const { return entry_; }
    const std::string& path() const { return path_; }
    // The property list read from the module's resource; null where modules carry none.
    const PiPLList* properties() const { return has_properties_ ? &properties_ : nullptr; }

private:
    Module() = default;
    // The platform's half of load: a path that is not empty, an error text to fill.
    static std::shared_ptr<Module> open(const std::string& path, const ModuleOptions& options, std::string* error);

    void* handle_ = nullptr;
    bool unload_ = false;
    PF_EntryFunc entry_ = nullptr;
    std::string path_;
    std::string copy_; // private copy to delete after unloading (Windows keeps loaded files open)
    PiPLList properties_;
    bool has_properties_ = false;
};

// Where the plug-in module is looked for, first match wins: `explicit_path` when not empty, the
// SEAVAST_PLUGIN environment variable when set and not empty, else the module (Seavast.so, on
// Windows Seavast.dll) in the directory of the running executable.
std::string resolve_plugin_path(const std::string& explicit_path);

#if defined(_WIN32)
constexpr const char* kModuleFileName = "Seavast.dll";
#else
constexpr const char* kModuleFileName = "Seavast.so";
#endif

// Directory of the running executable (no trailing slash), empty when it cannot be determined.
std::string executable_dir();

} // namespace hostkit
