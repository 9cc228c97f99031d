// Loading the plug-in DLL as a Windows host does: the property resource first, then the entry point
// it names.
#include "hostkit/Module.h"

#if defined(_WIN32)

#include <filesystem>

#include "platform/HyWin32.h"

namespace hostkit {
namespace {

// Copies `path` to a fresh file in the temporary folder; empty on failure.
std::wstring make_private_copy(const std::wstring& path, std::string* error)
{
    wchar_t dir[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, dir);
    if (n == 0 || n > MAX_PATH || GetTempFileNameW(dir, L"svm", 0, name) == 0 ||
        !CopyFileW(path.c_str(), name, FALSE)) {
        *error = "cannot make a private copy of the plug-in module: " + hyplat::system_error_text(GetLastError());
        return {};
    }
    return name;
}

// Reads and checks the property list; false with *error naming what is missing.
bool read_properties(HMODULE handle, const std::string& path, PiPLList* list, std::string* error)
{
    HRSRC found = FindResourceExW(handle, L"PiPL", MAKEINTRESOURCEW(kPiPLResourceId), kPiPLLanguage);
    if (found == nullptr) {
        *error = "plug-in module " + path + " has no plug-in property resource (PiPL " +
                 std::to_string(kPiPLResourceId) + ", language " + std::to_string(kPiPLLanguage) + ")";
        return false;
    }
    HGLOBAL loaded = LoadResource(handle, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(handle, found);
    if (bytes == nullptr) {
        *error = "cannot read the plug-in property resource of " + path;
        return false;
    }
    std::string why;
    if (!decode_pipl(static_cast<const std::uint8_t*>(bytes), size, list, &why)) {
        *error = path + ": " + why;
        return false;
    }
    return true;
}

} // namespace

std::shared_ptr<Module> Module::open(const std::string& path, const ModuleOptions& options, std::string* error)
{
    const std::wstring wide = hyplat::widen(path);
    std::wstring file = wide;
    if (options.private_copy) {
        file = make_private_copy(wide, error);
        if (file.empty())
            return nullptr;
    }
    // The module's own folder is searched for the DLLs it depends on, as hosts load effects.
    HMODULE handle = LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (handle == nullptr) {
        *error = "cannot load plug-in module " + path + ": " + hyplat::system_error_text(GetLastError());
        if (options.private_copy)
            DeleteFileW(file.c_str());
        return nullptr;
    }
    std::shared_ptr<Module> module(new Module());
    module->handle_ = handle;
    module->unload_ = options.unload;
    module->path_ = path;
    if (options.private_copy)
        module->copy_ = hyplat::narrow(file);
    if (!read_properties(handle, path, &module->properties_, error)) {
        module->unload_ = true;
        return nullptr;
    }
    module->has_properties_ = true;
    const std::string entry = windows_entry_point(module->properties_);
    if (entry.empty()) {
        *error = "the plug-in property resource of " + path + " names no Windows x64 entry point ('8664')";
        module->unload_ = true;
        return nullptr;
    }
    FARPROC symbol = GetProcAddress(handle, entry.c_str());
    if (symbol == nullptr) {
        *error = "plug-in module " + path + " has no " + entry + ", the entry point its property resource names";
        module->unload_ = true;
        return nullptr;
    }
    module->entry_ = reinterpret_cast<PF_EntryFunc>(reinterpret_cast<void*>(symbol));
    return module;
}

Module::~Module()
{
    if (handle_ && unload_) {
        FreeLibrary(static_cast<HMODULE>(handle_));
        if (!copy_.empty())
            DeleteFileW(hyplat::widen(copy_).c_str());
    }
}

std::string executable_dir()
{
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, name.data(), DWORD(name.size()));
        if (n == 0)
            return {};
        if (n < name.size()) {
            name.resize(n);
            break;
        }
        name.resize(name.size() * 2);
    }
    return hyplat::narrow(std::filesystem::path(name).parent_path().wstring());
}

} // namespace hostkit

#endif
