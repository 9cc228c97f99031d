// Image files for the Windows build of the command-line host, through the stb single-file
// libraries: layers read from PNG, JPEG, BMP, TGA and the other formats stb_image knows, rendered
// frames written as PNG. File names are UTF-8 and reach the system as wide characters.
#include "ImageFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <memory>

#define STBI_WINDOWS_UTF8
#define STBIW_WINDOWS_UTF8
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_FAILURE_USERMSG
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace seavast_app {
namespace {

std::string extension(const std::string& path)
{
    std::string e = std::filesystem::u8path(path).extension().string();
    for (char& c : e)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

struct StbFree {
    void operator()(unsigned char* p) const { stbi_image_free(p); }
};

} // namespace

std::string read_layer_image(const std::string& path, hostkit::World* layer)
{
    int w = 0, h = 0, n = 0;
    // Four channels whatever the file holds: gray becomes gray red, green and blue, alpha opaque.
    std::unique_ptr<unsigned char, StbFree> px(stbi_load(path.c_str(), &w, &h, &n, 4));
    if (!px) {
        const char* why = stbi_failure_reason();
        return "cannot read the image " + path + ": " + (why ? why : "unknown format or missing file");
    }
    if (w > kMaxLayerSide || h > kMaxLayerSide)
        return "the image " + path + " is " + std::to_string(w) + " x " + std::to_string(h) +
               " pixels; image maps take at most " + std::to_string(kMaxLayerSide) + " a side";
    layer->resize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = px.get() + (std::size_t(y) * std::size_t(w) + std::size_t(x)) * 4;
            PF_Pixel& q = layer->at(x, y);
            q.red = p[0];
            q.green = p[1];
            q.blue = p[2];
            q.alpha = p[3];
        }
    return "";
}

bool output_format_known(const std::string& path) { return extension(path) == ".png"; }

std::string write_output_image(const std::string& path, const hostkit::World& image, int compression)
{
    if (!output_format_known(path))
        return "unknown output format \"" + extension(path) + "\" (this build writes .png)";
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
    stbi_write_png_compression_level = compression < 1 ? 1 : compression;
    if (stbi_write_png(path.c_str(), w, h, 4, rgba.data(), w * 4) == 0)
        return "cannot write " + path;
    return "";
}

} // namespace seavast_app
