// The render command's plumbing between the host's worlds and the effect's 32-bit images.
#include <cstring>

#include "host/CAEHost.h"
#include "host/CEffect.h"
#include "host/PluginState.h"
#include "platform/HyMemory.h"

namespace {

// Reverses the four bytes of every pixel: host alpha, red, green, blue <-> blue, green, red, alpha.
void reverse_pixels(std::uint8_t* row0, std::int32_t rowBytes, std::int32_t width, std::int32_t height)
{
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* p = row0 + std::ptrdiff_t(y) * rowBytes;
        for (std::int32_t x = 0; x < width; ++x, p += 4) {
            std::uint8_t t = p[0];
            p[0] = p[3];
            p[3] = t;
            t = p[1];
            p[1] = p[2];
            p[2] = t;
        }
    }
}

bool wraps(const PF_LayerDef& w)
{
    return w.data != nullptr && w.width > 0 && w.height > 0 && w.rowbytes >= w.width * 4;
}

// A converted copy of a host world; pixels come from the tagged allocator (host memory while the
// render hook is on). Rows are packed: rowBytes = 4 * width.
bool copy_convert(const PF_LayerDef& w, CImage32* img)
{
    *img = CImage32{};
    if (!wraps(w))
        return false;
    const std::size_t row = std::size_t(w.width) * 4;
    auto* pixels = static_cast<std::uint8_t*>(hymem::allocate(row * std::size_t(w.height), false));
    if (pixels == nullptr)
        return false;
    for (std::int32_t y = 0; y < w.height; ++y)
        std::memcpy(pixels + row * std::size_t(y),
                    reinterpret_cast<const std::uint8_t*>(w.data) + std::ptrdiff_t(y) * w.rowbytes, row);
    reverse_pixels(pixels, std::int32_t(row), w.width, w.height);
    img->pixels = pixels;
    img->rowBytes = std::int32_t(row);
    img->width = w.width;
    img->height = w.height;
    img->bottomUp = 0; // copied row for row, so still top row first
    return true;
}

void free_image(CImage32* img)
{
    if (img->pixels)
        hymem::release(img->pixels);
    *img = CImage32{};
}

} // namespace

std::int32_t RunRenderCommand(CAEHost* host, CEffect* effect, PF_InData* in, PF_ParamDef** params,
                              PF_LayerDef* output)
{
    if (effect == nullptr || host == nullptr)
        return 0;
    host->Bind(in, params);
    effect->SetHost(host);

    // The output is used in place; its description is copied so the host's record stays untouched.
    if (output == nullptr || !wraps(*output))
        return 1;
    const PF_LayerDef work = *output;
    CImage32 out;
    out.pixels = reinterpret_cast<std::uint8_t*>(work.data);
    out.rowBytes = work.rowbytes;
    out.width = work.width;
    out.height = work.height;
    out.bottomUp = 0; // host worlds keep the top row first

    CImage32 input;
    const PF_ParamDef* inputLayer =
        (params != nullptr && in != nullptr && in->num_params > 0) ? params[0] : nullptr;
    if (inputLayer == nullptr || !copy_convert(inputLayer->u.ld, &input))
        return 1;

    // Image-map layers, checked out at the current time; a map without a layer stays empty.
    CImage32 maps[3];
    PF_ParamDef checkedOut[3];
    bool isOut[3] = {false, false, false};
    const std::int32_t inputs = effect->GetInputCount();
    for (int m = 1; m <= 3; ++m) {
        if (inputs <= m)
            continue;
        const std::int32_t index = effect->GetInputParamIndex(m);
        if (index <= 0 || !host->CheckoutLayer(index, &checkedOut[m - 1]))
            continue;
        isOut[m - 1] = true;
        copy_convert(checkedOut[m - 1].u.ld, &maps[m - 1]);
    }

    CImage32* images[kRenderImageCount] = {&out, &input, nullptr,
                                           maps[0].pixels ? &maps[0] : nullptr,
                                           maps[1].pixels ? &maps[1] : nullptr,
                                           maps[2].pixels ? &maps[2] : nullptr, nullptr};
    const std::int32_t result = effect->Render(inputs, images);

    reverse_pixels(out.pixels, out.rowBytes, out.width, out.height);
    free_image(&input);
    for (int m = 0; m < 3; ++m) {
        free_image(&maps[m]);
        if (isOut[m])
            host->CheckinLayer(&checkedOut[m]);
    }
    return result;
}
