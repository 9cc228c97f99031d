#include "platform/HyFolders.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace hyplat {
namespace {

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// The value of XDG_DOCUMENTS_DIR in user-dirs.dirs: a quoted path that may start with $HOME.
std::string user_dirs_documents(const std::string& home)
{
    std::string config = env("XDG_CONFIG_HOME");
    if (config.empty())
        config = home + "/.config";
    std::ifstream in(config + "/user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DOCUMENTS_DIR=";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) != 0)
            continue;
        std::string v = line.substr(key.size());
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
            v = v.substr(1, v.size() - 2);
        if (v.rfind("$HOME", 0) == 0)
            v = home + v.substr(5);
        // A documents folder equal to home means "not configured" to the desktop.
        if (!v.empty() && v.front() == '/' && v != home && v != home + "/")
            return v;
    }
    return {};
}

} // namespace

std::filesystem::path documents_folder()
{
    const std::string direct = env("XDG_DOCUMENTS_DIR");
    if (!direct.empty())
        return direct;
    const std::string home = env("HOME");
    if (home.empty())
        return {};
    const std::string configured = user_dirs_documents(home);
    if (!configured.empty())
        return configured;
    return std::filesystem::path(home) / "Documents";
}

} // namespace hyplat
