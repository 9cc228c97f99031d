#include "platform/HyScreen.h"

#include <mutex>

namespace hyplat {
namespace {
std::mutex g_mutex;
HyCursorProvider g_provider = nullptr;
void* g_user = nullptr;
} // namespace

void set_cursor_provider(HyCursorProvider provider, void* user)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_provider = provider;
    g_user = provider ? user : nullptr;
}

bool cursor_screen_position(int* x, int* y)
{
    int px = 0, py = 0;
    bool known = false;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_provider)
            known = g_provider(&px, &py, g_user);
    }
    if (!known)
        px = py = 0;
    if (x)
        *x = px;
    if (y)
        *y = py;
    return known;
}

} // namespace hyplat
