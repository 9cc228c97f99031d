#include "ImageFiles.h"

#include <dlfcn.h>
#include <png.h>

#include <cctype>
#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "hostkit/Module.h"
#include "images/ImageModule.h"

namespace seavast_app {
namespace {

std::string extension(const std::string& path)
{
    std::string e = std::filesystem::path(path).extension().string();
    for (char& c : e)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

// ---------------------------------------------------------------------------------------------------
// PNG through libpng. libpng reports errors by longjmp, so the functions that call it hold no objects
// with destructors; the text of the first error is kept for the message.

struct PngErrors {
    char text[200] = "";
};

void png_error_to_text(png_structp png, png_const_charp message)
{
    auto* errors = static_cast<PngErrors*>(png_get_error_ptr(png));
    if (errors && errors->text[0] == '\0')
        std::snprintf(errors->text, sizeof errors->text, "%s", message);
    png_longjmp(png, 1);
}

void png_warning_ignored(png_structp, png_const_charp) {}

bool is_png_file(std::FILE* f)
{
    unsigned char sig[8];
    const bool png = std::fread(sig, 1, 8, f) == 8 && png_sig_cmp(sig, 0, 8) == 0;
    std::rewind(f);
    return png;
}

// Reads into *rgba (resized here, before any libpng call can jump). 0 with errors->text on failure,
// -1 when the size is beyond max_side (width and height set), 1 on success.
int read_png(std::FILE* f, int max_side, int* width, int* height, std::vector<std::uint8_t>* rgba,
             std::vector<png_bytep>* rows, PngErrors* errors)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, errors, png_error_to_text, png_warning_ignored);
    if (!png)
        return 0;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        return 0;
    }
    png_init_io(png, f);
    png_read_info(png, info);
    const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    *width = int(w);
    *height = int(h);
    if (w > png_uint_32(max_side) || h > png_uint_32(max_side)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return -1;
    }
    // Any layout to 8-bit red, green, blue, alpha: palettes and low bit depths expanded, 16 bits
    // rounded to 8, gray repeated, opaque alpha added where there is none.
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::size_t(w) * 4)
        png_error(png, "unsupported pixel layout");
    rgba->resize(std::size_t(w) * std::size_t(h) * 4);
    rows->resize(h);
    for (png_uint_32 y = 0; y < h; ++y)
        (*rows)[y] = rgba->data() + std::size_t(y) * std::size_t(w) * 4;
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return 1;
}

bool write_png(std::FILE* f, const hostkit::World& image, int compression, std::vector<std::uint8_t>* row,
               PngErrors* errors)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, errors, png_error_to_text, png_warning_ignored);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    const int w = image.width(), h = image.height();
    png_init_io(png, f);
    png_set_compression_level(png, compression);
    // At the fast levels a single cheap filter keeps the filter search from costing more than zlib.
    if (compression <= 3)
        png_set_filter(png, PNG_FILTER_TYPE_BASE, compression == 0 ? PNG_FILTER_NONE : PNG_FILTER_SUB);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y) {
        const PF_Pixel* p = image.row(y);
        std::uint8_t* q = row->data();
        for (int x = 0; x < w; ++x, q += 4) {
            q[0] = p[x].red;
            q[1] = p[x].green;
            q[2] = p[x].blue;
            q[3] = p[x].alpha;
        }
        png_write_row(png, row->data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

// ---------------------------------------------------------------------------------------------------
// The image module, opened once on first use.

struct ImageModule {
    SeavastImagesReadFn read = nullptr;
    SeavastImagesWriteFn write = nullptr;
    std::string error;
};

const ImageModule& image_module()
{
    static ImageModule module;
    static std::once_flag once;
    std::call_once(once, [] {
        const std::string dir = hostkit::executable_dir();
        const std::string path = dir.empty() ? std::string(SEAVAST_IMAGES_MODULE) : dir + "/" SEAVAST_IMAGES_MODULE;
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = ::dlerror();
            module.error = "cannot load the image module " + path + ": " + (why ? why : "unknown error");
            return;
        }
        module.read = reinterpret_cast<SeavastImagesReadFn>(::dlsym(handle, SEAVAST_IMAGES_READ));
        module.write = reinterpret_cast<SeavastImagesWriteFn>(::dlsym(handle, SEAVAST_IMAGES_WRITE));
        if (!module.read || !module.write)
            module.error = "the image module " + path + " lacks its functions";
    });
    return module;
}

void layer_from_rgba(const std::uint8_t* px, int w, int h, hostkit::World* layer)
{
    layer->resize(w, h);
    for (int y = 0; y < h; ++y) {
        PF_Pixel* q = layer->row(y);
        const std::uint8_t* p = px + std::size_t(y) * std::size_t(w) * 4;
        for (int x = 0; x < w; ++x, p += 4) {
            q[x].red = p[0];
            q[x].green = p[1];
            q[x].blue = p[2];
            q[x].alpha = p[3];
        }
    }
}

std::string too_large(const std::string& path, int w, int h)
{
    return "the image " + path + " is " + std::to_string(w) + " x " + std::to_string(h) +
           " pixels; image maps take at most " + std::to_string(kMaxLayerSide) + " a side";
}

} // namespace

std::string read_layer_image(const std::string& path, hostkit::World* layer)
{
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        if (is_png_file(f)) {
            int w = 0, h = 0;
            std::vector<std::uint8_t> rgba;
            std::vector<png_bytep> rows;
            PngErrors errors;
            const int r = read_png(f, kMaxLayerSide, &w, &h, &rgba, &rows, &errors);
            std::fclose(f);
            if (r == -1)
                return too_large(path, w, h);
            if (r == 0)
                return "cannot read the pixels of " + path + ": " + (errors.text[0] ? errors.text : "read failed");
            if (w <= 0 || h <= 0)
                return "the image " + path + " has no pixels";
            layer_from_rgba(rgba.data(), w, h, layer);
            return "";
        }
        std::fclose(f);
    }
    const ImageModule& module = image_module();
    if (!module.read)
        return "cannot read the image " + path + ": " + module.error;
    int w = 0, h = 0;
    unsigned char* px = nullptr;
    char error[512] = "";
    if (!module.read(path.c_str(), kMaxLayerSide, &w, &h, &px, error, int(sizeof error)))
        return error;
    layer_from_rgba(px, w, h, layer);
    std::free(px);
    return "";
}

bool output_format_known(const std::string& path)
{
    const std::string e = extension(path);
    return e == ".png" || e == ".tif" || e == ".tiff" || e == ".exr";
}

std::string write_output_image(const std::string& path, const hostkit::World& image, int compression)
{
    if (!output_format_known(path))
        return "unknown output format \"" + extension(path) + "\" (use .png, .tif or .exr)";
    const int w = image.width(), h = image.height();
    if (extension(path) == ".png") {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f)
            return "cannot write " + path + ": " + std::strerror(errno);
        std::vector<std::uint8_t> row(std::size_t(w) * 4);
        PngErrors errors;
        const bool ok = write_png(f, image, compression < 0 ? 0 : compression > 9 ? 9 : compression, &row, &errors);
        const bool closed = std::fclose(f) == 0;
        if (!ok)
            return "cannot write " + path + ": " + (errors.text[0] ? errors.text : "write failed");
        if (!closed)
            return "cannot write " + path + ": close failed";
        return "";
    }
    std::vector<std::uint8_t> rgba(std::size_t(w) * std::size_t(h) * 4);
    for (int y = 0; y < h; ++y) {
        const PF_Pixel* p = image.row(y);
        std::uint8_t* q = &rgba[std::size_t(y) * std::size_t(w) * 4];
        for (int x = 0; x < w; ++x, q += 4) {
            q[0] = p[x].red;
            q[1] = p[x].green;
            q[2] = p[x].blue;
            q[3] = p[x].alpha;
        }
    }
    const ImageModule& module = image_module();
    if (!module.write)
        return "cannot write " + path + ": " + module.error;
    char error[512] = "";
    if (!module.write(path.c_str(), w, h, rgba.data(), error, int(sizeof error)))
        return error;
    return "";
}

} // namespace seavast_app
