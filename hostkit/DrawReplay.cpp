#include "hostkit/DrawReplay.h"

#include <cmath>
#include <string>

namespace hostkit {
namespace {

hyplat::HyColour colour(const DRAWBOT_ColorRGBA& c)
{
    auto byte = [](float v) { return std::uint8_t(std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f)); };
    return hyplat::HyColour{byte(c.red), byte(c.green), byte(c.blue)};
}

hyplat::HyRect rect(const DRAWBOT_RectF32& r)
{
    const int l = int(std::floor(r.left)), t = int(std::floor(r.top));
    return hyplat::HyRect{l, t, l + int(std::lround(r.width)), t + int(std::lround(r.height))};
}

// A string cut to its truncation width, whole characters only, with "..." when asked for.
std::string truncated(const DrawOp& op)
{
    if (op.truncation == kDRAWBOT_TextTruncation_None || op.truncation_width <= 0.0f ||
        float(hyplat::text_width(op.text)) <= op.truncation_width)
        return op.text;
    const std::string tail = op.truncation == kDRAWBOT_TextTruncation_EndEllipsis ? "..." : "";
    std::string kept;
    for (std::size_t i = 0; i < op.text.size();) {
        const std::size_t start = i;
        hyplat::next_code_point(op.text, i);
        const std::string next = kept + op.text.substr(start, i - start);
        if (float(hyplat::text_width(next + tail)) > op.truncation_width)
            break;
        kept = next;
    }
    return kept + tail;
}

} // namespace

hyplat::HyBitmap replay(const std::vector<DrawOp>& ops, int width, int height, hyplat::HyColour background)
{
    hyplat::HyBitmap picture(width, height, background.word());
    hyplat::HyGraphics gc(picture);
    for (const DrawOp& op : ops) {
        switch (op.kind) {
        case DrawOp::paint_rect:
        case DrawOp::fill_path: gc.fill(rect(op.rect), colour(op.color)); break;
        case DrawOp::stroke_path: gc.frame(rect(op.rect), colour(op.color)); break;
        case DrawOp::clip: gc.set_clip(rect(op.rect)); break;
        case DrawOp::draw_string: {
            // The origin is on the baseline; the font's body sits in the 7 rows above it.
            const std::string text = truncated(op);
            const int w = hyplat::text_width(text);
            int x = int(std::lround(op.origin.x));
            if (op.alignment == kDRAWBOT_TextAlignment_Center)
                x -= w / 2;
            else if (op.alignment == kDRAWBOT_TextAlignment_Right)
                x -= w;
            gc.text(x, int(std::lround(op.origin.y)) - 8, text, colour(op.color));
            break;
        }
        case DrawOp::draw_image:
            if (op.pixels && op.width > 0 && op.height > 0) {
                hyplat::HyBitmap image(op.width, op.height, 0);
                for (int y = 0; y < op.height; ++y)
                    for (int x = 0; x < op.width; ++x)
                        image.at(x, y) = (*op.pixels)[std::size_t(y) * std::size_t(op.width) + std::size_t(x)];
                gc.bitmap(int(std::lround(op.origin.x)), int(std::lround(op.origin.y)), image);
            }
            break;
        case DrawOp::transform: break;
        }
    }
    return picture;
}

} // namespace hostkit
