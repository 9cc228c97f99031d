#include "ImageFiles.h"

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace seavast_app {
namespace {

std::string extension(const std::string& path)
{
    std::string e = std::filesystem::path(path).extension().string();
    for (char& c : e)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

std::string oiio_error(const std::string& fallback)
{
    std::string e = OIIO::geterror();
    if (e.empty())
        return fallback;
    e.erase(std::remove(e.begin(), e.end(), '\n'), e.end());
    return e;
}

} // namespace

std::string read_layer_image(const std::string& path, hostkit::World* layer)
{
    auto in = OIIO::ImageInput::open(path);
    if (!in)
        return "cannot read the image " + path + ": " + oiio_error("unknown format or missing file");
    const OIIO::ImageSpec& spec = in->spec();
    const int w = spec.width, h = spec.height, n = spec.nchannels;
    if (w <= 0 || h <= 0 || n <= 0)
        return "the image " + path + " has no pixels";
    if (w > kMaxLayerSide || h > kMaxLayerSide)
        return "the image " + path + " is " + std::to_string(w) + " x " + std::to_string(h) +
               " pixels; image maps take at most " + std::to_string(kMaxLayerSide) + " a side";
    std::vector<std::uint8_t> px(std::size_t(w) * std::size_t(h) * std::size_t(n));
    if (!in->read_image(0, 0, 0, n, OIIO::TypeDesc::UINT8, px.data()))
        return "cannot read the pixels of " + path + ": " + oiio_error("read failed");
    in->close();
    layer->resize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = &px[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * std::size_t(n)];
            PF_Pixel& q = layer->at(x, y);
            if (n >= 3) {
                q.red = p[0];
                q.green = p[1];
                q.blue = p[2];
                q.alpha = n >= 4 ? p[3] : 255;
            } else {
                q.red = q.green = q.blue = p[0];
                q.alpha = n == 2 ? p[1] : 255;
            }
        }
    return "";
}

bool output_format_known(const std::string& path)
{
    const std::string e = extension(path);
    return e == ".png" || e == ".tif" || e == ".tiff" || e == ".exr";
}

std::string write_output_image(const std::string& path, const hostkit::World& image)
{
    if (!output_format_known(path))
        return "unknown output format \"" + extension(path) + "\" (use .png, .tif or .exr)";
    const int w = image.width(), h = image.height();
    std::vector<std::uint8_t> rgba(std::size_t(w) * std::size_t(h) * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const PF_Pixel& p = image.at(x, y);
            std::uint8_t* q = &rgba[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * 4];
            q[0] = p.red;
            q[1] = p.green;
            q[2] = p.blue;
            q[3] = p.alpha;
        }
    auto out = OIIO::ImageOutput::create(path);
    if (!out)
        return "cannot write " + path + ": " + oiio_error("no writer for this format");
    const bool exr = extension(path) == ".exr";
    OIIO::ImageSpec spec(w, h, 4, exr ? OIIO::TypeDesc::HALF : OIIO::TypeDesc::UINT8);
    spec.alpha_channel = 3;
    if (!out->open(path, spec))
        return "cannot write " + path + ": " + oiio_error("open failed");
    if (!out->write_image(OIIO::TypeDesc::UINT8, rgba.data())) {
        const std::string e = oiio_error("write failed");
        out->close();
        return "cannot write " + path + ": " + e;
    }
    if (!out->close())
        return "cannot write " + path + ": " + oiio_error("close failed");
    return "";
}

} // namespace seavast_app
