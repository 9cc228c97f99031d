// The module's resources: bitmaps and layout texts come from files under resources/ (see the table the
// build generates), the dialog templates are here.
#include <map>
#include <mutex>

#include "ui/CPWindow.h"
#include "ui/UiResources.h"

namespace {

struct BitmapFile {
    std::int32_t id;
    const char* const* lines;
    int count;
};
struct LayoutFile {
    std::int32_t id;
    const char* text;
};

constexpr std::int32_t kBitmap_panel = kPanelBackgroundBitmap;

#include "ui/ResourceData.inc"

const CDialogTemplate kDialogs[] = {
    {kPresetsDialog, "Presets", 434, 419, kPresetsDialog, {3, 4}},
    {kRenameDialog, "Rename Preset", 240, 108, kRenameDialog, {3}},
};

} // namespace

const hyplat::HyBitmap* CResourceModule::Bitmap(std::int32_t id) const
{
    // Decoded once, on first use; the host's user-interface thread is the usual caller.
    static std::mutex lock;
    static std::map<std::int32_t, hyplat::HyBitmap> decoded;
    const std::lock_guard<std::mutex> guard(lock);
    if (auto it = decoded.find(id); it != decoded.end())
        return &it->second;
    for (const BitmapFile& f : kBitmapFiles)
        if (f.id == id)
            return &decoded.emplace(id, hyplat::HyBitmap::FromXpm(f.lines, f.count)).first->second;
    return nullptr;
}

const char* CResourceModule::LayoutText(std::int32_t id) const
{
    for (const LayoutFile& l : kLayoutTexts)
        if (l.id == id)
            return l.text;
    return nullptr;
}

const CDialogTemplate* CResourceModule::Dialog(std::int32_t id) const
{
    for (const CDialogTemplate& d : kDialogs)
        if (d.id == id)
            return &d;
    return nullptr;
}

const CResourceModule& EffectResources()
{
    static const CResourceModule module;
    return module;
}
