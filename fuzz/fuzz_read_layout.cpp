// libFuzzer target for the layout-text reader: any text must build a window (views inside it or none)
// without a crash, a hang or an unbounded allocation, and the window must draw and take clicks.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/HyWindowSystem.h"
#include "ui/CPWindow.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CPWindow window(900, nullptr);
    load_layout_text(window, text, EffectResources());
    if (window.Width() > CPWindow::kMaxSide || window.Height() > CPWindow::kMaxSide)
        std::abort();
    window.Picture();
    for (const auto& v : window.Views()) {
        hyplat::HyInput click;
        click.x = v->Rect().left;
        click.y = v->Rect().top;
        hyplat::window_system().push(click);
    }
    window.RunModal();
    return 0;
}
