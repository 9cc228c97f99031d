#include "FrameWriter.h"

#include <utility>

#include "ImageFiles.h"
#include "Session.h"

namespace seavast_app {

std::string FrameWriter::finish()
{
    if (thread_.joinable())
        thread_.join();
    std::string e;
    e.swap(error_);
    return e;
}

std::string FrameWriter::write(const std::string& path, hostkit::World&& image)
{
    std::string e = finish();
    if (!e.empty())
        return e;
    image_ = std::move(image);
    path_ = path;
    thread_ = std::thread([this] {
        error_ = write_atomically(path_, [this](const std::string& temp) {
            return write_output_image(temp, image_, compression_);
        });
    });
    return "";
}

} // namespace seavast_app
