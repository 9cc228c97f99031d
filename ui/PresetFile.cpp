#include "ui/PresetFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/HyFiles.h"

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

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
    const std::filesystem::path file = hyplat::file_path(path);
    std::error_code ec;
    const auto kind = std::filesystem::status(file, ec).type();
    if (ec || kind == std::filesystem::file_type::not_found)
        return Status::Missing;
    if (kind != std::filesystem::file_type::regular)
        return Status::Unreadable;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec)
        return Status::Unreadable;
    if (size > kMaxBytes)
        return Status::TooLarge;
    std::ifstream in(file, std::ios::binary);
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
#ifdef _WIN32
    // Wide-character paths; the stream is flushed and closed before the rename.
    const std::string tmp_name = path + ".tmp";
    const std::filesystem::path tmp = hyplat::file_path(tmp_name);
    std::error_code ec;
    bool ok = true;
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out)
            return Status::Unwritable;
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        ok = bool(out);
    }
    if (ok && g_beforeRename)
        ok = g_beforeRename(tmp_name);
    if (ok)
        std::filesystem::rename(tmp, hyplat::file_path(path), ec);
    if (!ok || ec) {
        std::filesystem::remove(tmp, ec);
#else
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
#endif
        return Status::Unwritable;
    }
    return Status::Ok;
}

} // namespace preset_file
