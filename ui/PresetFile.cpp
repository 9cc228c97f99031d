#include "ui/PresetFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/HyFiles.h"

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

Status Write(const std::string& path, const std::string& text)
{
    const std::filesystem::path tmp = hyplat::file_path(path + ".tmp");
    std::error_code ec;
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out)
            return Status::Unwritable;
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            out.close();
            std::filesystem::remove(tmp, ec);
            return Status::Unwritable;
        }
    }
    std::filesystem::rename(tmp, hyplat::file_path(path), ec);
    if (ec) {
        std::filesystem::remove(tmp, ec);
        return Status::Unwritable;
    }
    return Status::Ok;
}

} // namespace preset_file
