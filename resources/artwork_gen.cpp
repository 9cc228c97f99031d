// Draws the artwork of the presets panel and the preset manager dialogs (bitmaps 98 to 130 and the panel
// background) and writes each as an XPM file into the folder given, where the module's build picks them
// up. Run it after changing the artwork: seavast_artwork_gen resources/bitmaps
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/HyGraphics.h"

using hyplat::HyBitmap;
using hyplat::HyColour;
using hyplat::HyGraphics;
using hyplat::HyRect;

namespace {

constexpr HyColour kDeep{28, 44, 62};
constexpr HyColour kSea{43, 58, 74};
constexpr HyColour kFoam{214, 228, 236};
constexpr HyColour kLabel{196, 214, 226};
constexpr HyColour kAccent{92, 160, 190};
constexpr HyColour kField{250, 250, 246};
constexpr HyColour kEdge{16, 26, 38};

HyColour mix(HyColour a, HyColour b, int t, int n)
{
    auto m = [&](int x, int y) { return std::uint8_t(x + (y - x) * t / n); };
    return HyColour{m(a.red, b.red), m(a.green, b.green), m(a.blue, b.blue)};
}

// A few rows of swell lines: the sea the dialogs are about.
void waves(HyGraphics& g, const HyRect& r, HyColour c)
{
    for (int row = r.top + 6; row < r.bottom - 2; row += 7)
        for (int x = r.left; x < r.right; ++x) {
            const int phase = (x + row * 3) % 24;
            const int dy = phase < 12 ? phase / 4 : (23 - phase) / 4;
            g.fill(HyRect{x, row + dy, x + 1, row + dy + 1}, c);
        }
}

void banded(HyGraphics& g, const HyRect& r, HyColour top, HyColour bottom)
{
    const int bands = 8;
    for (int b = 0; b < bands; ++b) {
        const int y0 = r.top + r.height() * b / bands, y1 = r.top + r.height() * (b + 1) / bands;
        g.fill(HyRect{r.left, y0, r.right, y1}, mix(top, bottom, b, bands - 1));
    }
}

void section(HyGraphics& g, int y, int width, const char* title)
{
    g.text(12, y, title, kFoam);
    g.line(12 + hyplat::text_width(title) + 6, y + 5, width - 12, y + 5, kAccent);
}

enum class Look { Normal, Pressed, Down };

HyBitmap button(int w, int h, const char* label, Look look)
{
    HyBitmap b(w, h);
    HyGraphics g(b);
    const HyColour face = look == Look::Pressed ? HyColour{60, 96, 120} : look == Look::Down ? kAccent : HyColour{120, 170, 196};
    banded(g, HyRect{0, 0, w, h}, mix(face, kFoam, 1, 3), face);
    g.frame(HyRect{0, 0, w, h}, kEdge);
    const int shift = look == Look::Pressed ? 1 : 0;
    g.text_centred(w / 2 + shift, h / 2 + shift, label, look == Look::Pressed ? kFoam : kEdge);
    return b;
}

HyBitmap background(int w, int h)
{
    HyBitmap b(w, h);
    HyGraphics g(b);
    g.fill(HyRect{0, 0, w, h}, kSea);
    return b;
}

HyBitmap dialog_top()
{
    HyBitmap b = background(434, 183);
    HyGraphics g(b);
    banded(g, HyRect{0, 0, 434, 96}, kDeep, kSea);
    waves(g, HyRect{0, 40, 434, 96}, mix(kSea, kAccent, 1, 2));
    g.text(16, 14, "SeaVast Presets", kFoam);
    g.text(16, 28, "Save, sort and share the look of your sea.", kLabel);
    section(g, 126, 434, "Save the current settings as a preset");
    g.text(14, 156, "Name:", kLabel);
    return b;
}

HyBitmap dialog_middle()
{
    HyBitmap b = background(434, 142);
    HyGraphics g(b);
    g.text(14, 5, "Category:", kLabel);
    section(g, 50, 434, "Categories");
    g.text(14, 83, "New category:", kLabel);
    g.text(14, 116, "Category:", kLabel);
    return b;
}

HyBitmap dialog_bottom()
{
    HyBitmap b = background(434, 94);
    HyGraphics g(b);
    section(g, 4, 434, "Presets");
    g.text(14, 51, "Preset:", kLabel);
    return b;
}

HyBitmap rename_back()
{
    HyBitmap b = background(240, 108);
    HyGraphics g(b);
    banded(g, HyRect{0, 0, 240, 30}, kDeep, kSea);
    g.text(20, 12, "New name for the preset:", kFoam);
    return b;
}

HyBitmap panel_back()
{
    HyBitmap b = background(215, 79);
    HyGraphics g(b);
    banded(g, HyRect{0, 0, 215, 14}, kDeep, kSea);
    g.text(8, 2, "SeaVast Presets", kFoam);
    g.text(8, 19, "Preset:", kLabel);
    g.text(8, 33, "Load:", kLabel);
    for (const HyRect& r : {HyRect{74, 18, 191, 31}, HyRect{74, 32, 191, 45}, HyRect{74, 62, 191, 75}}) {
        g.fill(r, kField);
        g.frame(r, kEdge);
    }
    g.text_centred((74 + 191) / 2, (62 + 75) / 2, "Reset groups...", HyColour{90, 96, 104});
    waves(g, HyRect{0, 44, 215, 60}, mix(kSea, kAccent, 1, 2));
    // Load: an arrow pointing into the fields it fills.
    g.fill(HyRect{192, 15, 210, 41}, HyColour{120, 170, 196});
    g.frame(HyRect{192, 15, 210, 41}, kEdge);
    for (int k = 0; k < 6; ++k)
        g.line(197 + k, 22 + k, 197 + k, 33 - k, kEdge);
    const HyBitmap manager = button(53, 13, "Manage", Look::Normal);
    g.bitmap(8, 62, manager);
    return b;
}

// XPM with one character per colour; the palette is small by construction.
bool write_xpm(const std::string& folder, const std::string& name, const HyBitmap& b)
{
    static const std::string kChars =
        " .+@#$%&*=-;>,')!~{]^/(_:<[}|1234567890abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ`";
    std::map<std::uint32_t, char> palette;
    for (std::uint32_t p : b.pixels())
        if (!palette.count(p)) {
            if (palette.size() >= kChars.size()) {
                std::fprintf(stderr, "%s: too many colours\n", name.c_str());
                return false;
            }
            palette.emplace(p, kChars[palette.size()]);
        }
    const std::string path = folder + "/" + name + ".xpm";
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return false;
    std::fprintf(f, "/* XPM */\nstatic const char* const %s_xpm[] = {\n\"%d %d %zu 1\",\n", name.c_str(), b.width(),
                 b.height(), palette.size());
    for (const auto& [word, ch] : palette)
        std::fprintf(f, "\"%c c #%06X\",\n", ch, unsigned(word & 0xFFFFFF));
    for (int y = 0; y < b.height(); ++y) {
        std::string row;
        for (int x = 0; x < b.width(); ++x)
            row += palette[b.at(x, y)];
        std::fprintf(f, "\"%s\"%s\n", row.c_str(), y + 1 < b.height() ? "," : "");
    }
    std::fprintf(f, "};\n");
    return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: seavast_artwork_gen FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    std::vector<std::pair<std::string, HyBitmap>> out = {
        {"bmp098", dialog_top()}, {"bmp099", dialog_middle()}, {"bmp100", dialog_bottom()},
        {"bmp130", rename_back()}, {"panel", panel_back()},
    };
    struct ButtonSet {
        int first, w, h;
        const char* label;
    };
    const ButtonSet sets[] = {
        {103, 62, 13, "Copy"},  {106, 70, 26, "Done"},   {109, 50, 16, "Erase"}, {112, 62, 13, "Rename"},
        {115, 48, 16, "Save"},  {118, 62, 13, "Delete"}, {121, 50, 16, "Create"}, {124, 70, 22, "Save"},
        {127, 70, 22, "Cancel"},
    };
    for (const ButtonSet& s : sets)
        for (int k = 0; k < 3; ++k) {
            char name[16];
            std::snprintf(name, sizeof name, "bmp%03d", s.first + k);
            out.emplace_back(name, button(s.w, s.h, s.label, Look(k)));
        }
    for (const auto& [name, bitmap] : out)
        if (!write_xpm(folder, name, bitmap))
            return 1;
    return 0;
}
