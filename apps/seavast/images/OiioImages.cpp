// The image module: every format of the general image library, behind the plain interface of
// ImageModule.h.
#include "ImageModule.h"

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

int fail(const std::string& text, char* error, int error_size)
{
    if (error && error_size > 0) {
        const std::size_t n = std::min(text.size(), std::size_t(error_size - 1));
        std::memcpy(error, text.data(), n);
        error[n] = '\0';
    }
    return 0;
}

std::string library_error(const std::string& fallback)
{
    std::string e = OIIO::geterror();
    if (e.empty())
        return fallback;
    e.erase(std::remove(e.begin(), e.end(), '\n'), e.end());
    return e;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int seavast_images_read(const char* path, int max_side, int* width,
                                                                           int* height, unsigned char** pixels,
                                                                           char* error, int error_size)
{
    const std::string name(path);
    auto in = OIIO::ImageInput::open(name);
    if (!in)
        return fail("cannot read the image " + name + ": " + library_error("unknown format or missing file"), error,
                    error_size);
    const OIIO::ImageSpec& spec = in->spec();
    const int w = spec.width, h = spec.height, n = spec.nchannels;
    if (w <= 0 || h <= 0 || n <= 0)
        return fail("the image " + name + " has no pixels", error, error_size);
    if (w > max_side || h > max_side)
        return fail("the image " + name + " is " + std::to_string(w) + " x " + std::to_string(h) +
                        " pixels; image maps take at most " + std::to_string(max_side) + " a side",
                    error, error_size);
    const std::size_t count = std::size_t(w) * std::size_t(h);
    auto* px = static_cast<std::uint8_t*>(std::malloc(count * std::size_t(n)));
    auto* out = static_cast<std::uint8_t*>(std::malloc(count * 4));
    if (!px || !out) {
        std::free(px);
        std::free(out);
        return fail("cannot read the pixels of " + name + ": out of memory", error, error_size);
    }
    if (!in->read_image(0, 0, 0, n, OIIO::TypeDesc::UINT8, px)) {
        std::free(px);
        std::free(out);
        return fail("cannot read the pixels of " + name + ": " + library_error("read failed"), error, error_size);
    }
    in->close();
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint8_t* p = px + k * std::size_t(n);
        std::uint8_t* q = out + 4 * k;
        if (n >= 3) {
            q[0] = p[0];
            q[1] = p[1];
            q[2] = p[2];
            q[3] = n >= 4 ? p[3] : 255;
        } else {
            q[0] = q[1] = q[2] = p[0];
            q[3] = n == 2 ? p[1] : 255;
        }
    }
    std::free(px);
    *width = w;
    *height = h;
    *pixels = out;
    return 1;
}

extern "C" __attribute__((visibility("default"))) int seavast_images_write(const char* path, int width, int height,
                                                                            const unsigned char* pixels, char* error,
                                                                            int error_size)
{
    const std::string name(path);
    std::string ext = std::filesystem::path(name).extension().string();
    for (char& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    auto out = OIIO::ImageOutput::create(name);
    if (!out)
        return fail("cannot write " + name + ": " + library_error("no writer for this format"), error, error_size);
    OIIO::ImageSpec spec(width, height, 4, ext == ".exr" ? OIIO::TypeDesc::HALF : OIIO::TypeDesc::UINT8);
    spec.alpha_channel = 3;
    if (!out->open(name, spec))
        return fail("cannot write " + name + ": " + library_error("open failed"), error, error_size);
    if (!out->write_image(OIIO::TypeDesc::UINT8, pixels)) {
        const std::string e = library_error("write failed");
        out->close();
        return fail("cannot write " + name + ": " + e, error, error_size);
    }
    if (!out->close())
        return fail("cannot write " + name + ": " + library_error("close failed"), error, error_size);
    return 1;
}
