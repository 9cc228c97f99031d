#include "platform/HyFiles.h"

#include <cstdlib>

#if defined(_WIN32)
#include "platform/HyWin32.h"

#include <knownfolders.h>
#include <shlobj.h>
#endif

namespace hyplat {

std::filesystem::path file_path(const std::string& utf8)
{
#if defined(_WIN32)
    return std::filesystem::path(widen(utf8));
#else
    return std::filesystem::path(utf8);
#endif
}

std::string file_name(const std::filesystem::path& path)
{
#if defined(_WIN32)
    return narrow(path.wstring());
#else
    return path.string();
#endif
}

std::FILE* open_file(const char* utf8, const char* mode)
{
    if (utf8 == nullptr || mode == nullptr)
        return nullptr;
#if defined(_WIN32)
    return _wfopen(widen(utf8).c_str(), widen(mode).c_str());
#else
    return std::fopen(utf8, mode);
#endif
}

std::filesystem::path common_documents_folder()
{
    if (const char* env = std::getenv("SEAVAST_DOCUMENTS"); env && *env)
        return file_path(env);
#if defined(_WIN32)
    PWSTR folder = nullptr;
    std::filesystem::path result;
    if (SHGetKnownFolderPath(FOLDERID_PublicDocuments, 0, nullptr, &folder) == S_OK)
        result = folder;
    CoTaskMemFree(folder);
    return result;
#else
    const char* home = std::getenv("HOME");
    return home && *home ? std::filesystem::path(home) / "Documents" : std::filesystem::path();
#endif
}

void set_environment(const char* name, const std::string& value)
{
#ifdef _WIN32
    _wputenv_s(widen(name).c_str(), widen(value).c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

} // namespace hyplat
