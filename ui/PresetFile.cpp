#include "ui/PresetFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace preset_file {

const char* StatusText(Status s)
{
    switch (s) {
    case Status::Ok:
        return "ok";
    case Status::Missing:
        return "file not found";
    case Status::Unreadable:
        return "file cannot be read";
    case Status::TooLarge:
        return "file is too large to be a preset";
    case Status::Unwritable:
        return "file cannot be written";
    }
    return "unknown";
}

Status Read(const std::string& path, std::string& text)
{
    text.clear();
    std::error_code ec;
    const auto kind = std::filesystem::status(path, ec).type();
    if (ec || kind == std::filesystem::file_type::not_found)
        return Status::Missing;
    if (kind != std::filesystem::file_type::regular)
        return Status::Unreadable;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return Status::Unreadable;
    if (size > kMaxBytes)
        return Status::TooLarge;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return Status::Unreadable;
    text.resize(static_cast<std::size_t>(size));
    in.read(text.data(), static_cast<std::streamsize>(size));
    if (static_cast<std::uintmax_t>(in.gcount()) != size) {
        text.clear();
        return Status::Unreadable;
    }
    return Status::Ok;
}

namespace {
BeforeRenameHook g_beforeRename = nullptr;
} // namespace

void SetBeforeRenameHook(BeforeRenameHook hook) { g_beforeRename = hook; }

Status Write(const std::string& path, const std::string& text)
{
    const std::string tmp = path + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return Status::Unwritable;
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? std::size_t(n) : 0;
    }
    // The data must be on disk before the rename makes it the preset, or a crash could leave an empty file.
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && g_beforeRename)
        ok = g_beforeRename(tmp);
    if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return Status::Unwritable;
    }
    return Status::Ok;
}

} // namespace preset_file
