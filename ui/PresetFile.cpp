#include "ui/PresetFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

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

Status Write(const std::string& path, const std::string& text)
{
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out)
            return Status::Unwritable;
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            out.close();
            std::remove(tmp.c_str());
            return Status::Unwritable;
        }
    }
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        std::remove(tmp.c_str());
        return Status::Unwritable;
    }
    return Status::Ok;
}

} // namespace preset_file
