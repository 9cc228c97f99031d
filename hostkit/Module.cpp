#include "hostkit/Module.h"

#include <cstdlib>

#if !defined(_WIN32)
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>
#endif

namespace hostkit {

#if !defined(_WIN32)
namespace {

// Copies `path` to a fresh temporary file and returns its name (empty on failure).
std::string make_private_copy(const std::string& path, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open plug-in module " + path;
        return {};
    }
    std::error_code ec;
    std::string dir = std::filesystem::temp_directory_path(ec).string();
    if (ec || dir.empty())
        dir = "/tmp";
    std::string pattern = dir + "/seavast-module-XXXXXX.so";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemps(name.data(), 3);
    if (fd < 0) {
        *error = std::string("cannot create a private copy of the plug-in module: ") + std::strerror(errno);
        return {};
    }
    bool ok = true;
    char buffer[1 << 16];
    while (ok && in) {
        in.read(buffer, sizeof buffer);
        const std::streamsize got = in.gcount();
        for (std::streamsize done = 0; done < got;) {
            const ssize_t put = ::write(fd, buffer + done, std::size_t(got - done));
            if (put <= 0) {
                ok = false;
                break;
            }
            done += put;
        }
    }
    ::close(fd);
    if (!ok) {
        ::unlink(name.data());
        *error = "cannot write a private copy of the plug-in module";
        return {};
    }
    return std::string(name.data());
}

} // namespace

std::shared_ptr<Module> Module::open(const std::string& path, const ModuleOptions& options, std::string* error)
{
    std::string file = path;
    if (options.private_copy) {
        file = make_private_copy(path, error);
        if (file.empty())
            return nullptr;
    }
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    // The mapping keeps the code alive; the private copy's name is not needed any more.
    if (options.private_copy)
        ::unlink(file.c_str());
    if (!handle) {
        const char* why = ::dlerror();
        *error = "cannot load plug-in module " + path + ": " + (why ? why : "unknown error");
        return nullptr;
    }
    void* symbol = ::dlsym(handle, PF_ENTRY_POINT_NAME);
    if (!symbol) {
        ::dlclose(handle);
        *error = "plug-in module " + path + " has no " PF_ENTRY_POINT_NAME;
        return nullptr;
    }
    std::shared_ptr<Module> module(new Module());
    module->handle_ = handle;
    module->unload_ = options.unload;
    module->entry_ = reinterpret_cast<PF_EntryFunc>(symbol);
    module->path_ = path;
    return module;
}

Module::~Module()
{
    if (handle_ && unload_)
        ::dlclose(handle_);
}

std::string executable_dir()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return {};
    return exe.parent_path().string();
}
#endif

std::shared_ptr<Module> Module::load(const std::string& path, const ModuleOptions& options, std::string* error)
{
    std::string dummy;
    if (!error)
        error = &dummy;
    if (path.empty()) {
        *error = "no plug-in module given";
        return nullptr;
    }
    return open(path, options, error);
}

std::shared_ptr<Module> Module::from_entry(PF_EntryFunc entry, std::string name)
{
    if (!entry)
        return nullptr;
    std::shared_ptr<Module> module(new Module());
    module->entry_ = entry;
    module->path_ = std::move(name);
    return module;
}

std::string resolve_plugin_path(const std::string& explicit_path)
{
    if (!explicit_path.empty())
        return explicit_path;
    if (const char* env = std::getenv("SEAVAST_PLUGIN"); env && *env)
        return env;
    const std::string dir = executable_dir();
    return dir.empty() ? std::string(kModuleFileName) : dir + "/" + kModuleFileName;
}

} // namespace hostkit
